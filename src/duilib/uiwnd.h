#pragma once
// A control that carries one native child window, for content another library draws (video).
// The child is not laid out: it keeps the rectangle it was created at until the one-argument
// SetPos moves it. It follows the control's visibility, including a hidden parent or tab page.
#include "uicontrols.h"

namespace DuiLib {

class CWndUI : public CControlUI {
public:
    ~CWndUI() override;
    CDuiString GetClass() const override { return L"WndUI"; }
    LPVOID GetInterface(LPCTSTR pstrName) override;

    void SetVisible(bool bVisible = true) override;
    void SetInternVisible(bool bVisible = true) override;
    // Moves and sizes the control and its child (client coordinates of the window). Layouts
    // call the two-argument SetPos, which leaves the child where it is.
    virtual void SetPos(RECT rc);

    // Creates a native child of `hParent` at `rc` (its client coordinates) and attaches it;
    // none when the parent is not a window of this program.
    HWND CreateChild(HWND hParent, RECT rc);
    // Adopts `hWndNew` when it is a window; false otherwise.
    bool Attach(HWND hWndNew);
    HWND GetHWND() const { return m_hWnd; }

private:
    void SyncChildVisibility();
    HWND m_hWnd = nullptr;
};

} // namespace DuiLib
