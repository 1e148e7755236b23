// The main window's side of the settings: the settings window it owns, the gear button and
// tray entry that show it, and the version check at start with what follows its answer.
#include "cmainframeui.h"

#include "ownedwnd.h"
#include "settings/cframesettingui.h"
#include "settings/cversionmsg.h"

CFrameSettingUI* CMainFrameUI::SettingWnd() { return OwnedPopupOnFirstUse(m_pSettingWnd, m_hWnd); }

void CMainFrameUI::ShowSettingWnd() {
    CFrameSettingUI* wnd = SettingWnd();
    if (!wnd)
        return;
    wnd->SetConfig(m_Settings);
    wnd->CenterWindow();
    wnd->ShowWindow(true, true);
}

void CMainFrameUI::OnVersionChecked() {
    if (!m_bStartupPending)
        return;
    m_bStartupPending = false;
    // A newer client is offered before the event store starts, and the store waits for the
    // offer to be answered.
    SVersionOffer offer;
    if (m_VersionCheck.Finish(offer) == eVersionNewer)
        ShowNewVersion(m_hWnd, offer.strLink, offer.strVersion);
    StartEventStore();
    if (m_fnInitDone)
        m_fnInitDone();
}
