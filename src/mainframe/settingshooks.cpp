// The main window's side of the settings: the settings window it owns, the gear button and
// tray entry that show it, and the version check at start.
#include "cmainframeui.h"

#include "settings/cframesettingui.h"
#include "settings/cversionmsg.h"
#include "settings/versioncheck.h"

bool CMainFrameUI::CreateSettingWnd() {
    m_pSettingWnd = new CFrameSettingUI();
    if (!CreateOwnedPopup(m_pSettingWnd))
        return false;
    m_pSettingWnd->SetMainHwnd(m_hWnd);
    return true;
}

void CMainFrameUI::ShowSettingWnd() {
    if (!m_pSettingWnd)
        return;
    m_pSettingWnd->SetConfig(m_Settings);
    m_pSettingWnd->CenterWindow();
    m_pSettingWnd->ShowWindow(true, true);
}

void CMainFrameUI::CheckForNewVersion() {
    // The rest of the start-up waits for the answer and, for a newer client, for the offer
    // to be answered.
    SVersionOffer offer;
    if (RunVersionCheck(m_hWnd, offer) == eVersionNewer)
        ShowNewVersion(m_hWnd, offer.strLink, offer.strVersion);
}
