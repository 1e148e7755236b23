#pragma once
// The widget behind every control: paints through the control and turns mouse input into the
// control's hot, pushed and clicked states.
#include <QWidget>
#include "uicontrols.h"

namespace DuiLib {

class DuiWidget : public QWidget {
public:
    explicit DuiWidget(CControlUI* owner) : m_owner(owner) {
        setAttribute(Qt::WA_Hover, true);
    }
    void Detach() { m_owner = nullptr; }
    CControlUI* Owner() const { return m_owner; }

protected:
    void paintEvent(QPaintEvent* e) override;
    void enterEvent(QEnterEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;

private:
    CControlUI* m_owner;
};

QColor ToQColor(DWORD argb);
// Logs a skin problem through the diagnostic log.
void LogSkinProblem(const wchar_t* text, const wchar_t* detail);

} // namespace DuiLib
