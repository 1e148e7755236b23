#pragma once
// The Qt top-level widget behind a CWindowWnd: forwards the window-system events to the
// window's message handler as their Win32 messages.
#include <QWidget>
#include "uiwindow.h"

namespace DuiLib {

class DuiHostWidget : public QWidget {
public:
    explicit DuiHostWidget(CWindowWnd* owner);
    void Detach() { m_owner = nullptr; }
    CWindowWnd* Owner() const { return m_owner; }

protected:
    void closeEvent(QCloseEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    bool InCaption(const QPoint& p) const;
    CWindowWnd* m_owner;
};

} // namespace DuiLib
