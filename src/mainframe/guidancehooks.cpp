// The main window's side of the first-use guidance: the guidance window, made once at start and
// shown centred until the guidance has been viewed (IsGuidance in "Config.ini"). What viewing and
// closing it lead to is in the message table.
#include "cmainframeui.h"

#include "dialogs/cguidanceui.h"

bool CMainFrameUI::CreateGuidanceWnd() {
    m_pGuidanceWnd = new CGuidanceUI();
    if (!m_pGuidanceWnd->Create(nullptr, GetWindowClassName(), WS_POPUP, WS_EX_TOOLWINDOW | WS_EX_TOPMOST))
        return false;
    m_pGuidanceWnd->SetMainHwnd(m_hWnd);
    m_pGuidanceWnd->CenterWindow();
    m_pGuidanceWnd->ShowWindow(m_nIsGuidance == 0, m_nIsGuidance == 0);
    return true;
}
