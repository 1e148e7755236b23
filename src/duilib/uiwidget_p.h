#pragma once
// The widget behind every control: paints through the control and turns mouse input into the
// control's hot, pushed and clicked states.
#include <QWidget>
#include "uicontrols.h"
#include "uiskin_p.h"

namespace DuiLib {

class DuiWidget : public QWidget {
public:
    // No Qt::WA_Hover: it repaints every widget the pointer enters or leaves, the window's
    // root and containers included; a control's hot state repaints only that control.
    explicit DuiWidget(CControlUI* owner) : m_owner(owner) {}
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

// "file" or "file='x' dest='l,t,r,b' source='l,t,r,b' fade='0..255'" ("res" = "file").
struct ImageDescription {
    std::wstring file;
    RECT dest{0, 0, 0, 0}, source{0, 0, 0, 0};
    bool hasDest = false, hasSource = false;
    int fade = 255;
};
// False when the description names no file.
bool ParseImageDescription(const std::wstring& text, ImageDescription& out);

// Text of a label-like control inside its widget, with the label text style bits.
void DrawControlText(HDC hDC, QWidget* w, CPaintManagerUI* pm, const CDuiString& text, DWORD color, int font,
                     UINT style, RECT pad);

} // namespace DuiLib
