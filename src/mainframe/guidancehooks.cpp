// The main window's side of the first-use guidance: the guidance window, made and shown centred
// at start until the guidance has been viewed (IsGuidance in "Config.ini"). What viewing and
// closing it lead to is in the message table.
#include "cmainframeui.h"

#include "dialogs/cguidanceui.h"
#include "ownedwnd.h"

bool CMainFrameUI::ShowGuidanceIfDue() {
    if (m_nIsGuidance != 0)
        return true;
    m_pGuidanceWnd = new CGuidanceUI();
    if (!CreateOwnedPopup(*m_pGuidanceWnd, m_hWnd))
        return false;
    m_pGuidanceWnd->CenterWindow();
    m_pGuidanceWnd->ShowWindow(true, true);
    return true;
}
