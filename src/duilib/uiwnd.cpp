// The native child host.
#include "uiwnd.h"

namespace DuiLib {

CWndUI::~CWndUI() {
    // The control owns what it attached: a removed host takes its child window along.
    if (m_hWnd && platform::IsWindow(m_hWnd))
        platform::DestroyWindow(m_hWnd);
}

LPVOID CWndUI::GetInterface(LPCTSTR pstrName) {
    if (EqualNoCase(pstrName, L"Wnd"))
        return this;
    return CControlUI::GetInterface(pstrName);
}

void CWndUI::SyncChildVisibility() {
    if (!m_hWnd || !platform::IsWindow(m_hWnd))
        return;
    platform::ShowWindow(m_hWnd, IsVisible() ? SW_SHOW : SW_HIDE);
    if (IsVisible())
        platform::SetWindowPos(m_hWnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void CWndUI::SetVisible(bool bVisible) {
    CControlUI::SetVisible(bVisible);
    SyncChildVisibility();
}

void CWndUI::SetInternVisible(bool bVisible) {
    CControlUI::SetInternVisible(bVisible);
    SyncChildVisibility();
}

void CWndUI::SetPos(RECT rc) {
    CControlUI::SetPos(rc, true);
    if (m_hWnd)
        platform::SetWindowPos(m_hWnd, nullptr, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top,
                               SWP_NOZORDER | SWP_NOACTIVATE);
}

HWND CWndUI::CreateChild(HWND hParent, RECT rc) {
    HWND h = platform::CreateChildWindow(hParent, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, IsVisible());
    if (!h || !Attach(h))
        return nullptr;
    return h;
}

bool CWndUI::Attach(HWND hWndNew) {
    if (!platform::IsWindow(hWndNew))
        return false;
    m_hWnd = hWndNew;
    SyncChildVisibility();
    return true;
}

} // namespace DuiLib
