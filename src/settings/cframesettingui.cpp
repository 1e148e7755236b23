#include "cframesettingui.h"

#include "common/custommsg.h"
#include "common/sysutils.h"
#include "net/httpwork.h"
#include "settings/cversionmsg.h"
#include "settings/versioncheck.h"

using DuiLib::CControlUI;
using DuiLib::TNotifyUI;

LRESULT CFrameSettingUI::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (uMsg == WM_SHOWWINDOW)
        m_PageView.OnShowWindow(wParam != 0);
    return CSmallWindowUI::HandleMessage(uMsg, wParam, lParam);
}

void CFrameSettingUI::InitWindow() {
    for (int i = 0; i < 8; ++i)
        m_pOptions[i] = static_cast<DuiLib::COptionUI*>(Find(kOptionNames[i]));
    m_pBtnHide = Find(L"hidebtn");
    m_pLabelVersion = Find(L"label_version");
    m_pLabelTip = Find(L"label_tip");
    m_pBtnCheckNew = Find(L"btn_checknew");
    if (m_pLabelVersion)
        m_pLabelVersion->SetText(AnsiToWide(kShopdeskAppVersion).c_str());
}

void CFrameSettingUI::SetConfig(STRUCT_Config config) {
    const int32_t values[8] = {config.AutoStart,   config.AutoLogin,         config.ConversationTip,
                               config.OrderTip,    config.NewcomerTip,       config.ConversationSound,
                               config.OrderSound,  config.NewcomerSound};
    for (int i = 0; i < 8; ++i)
        if (m_pOptions[i])
            m_pOptions[i]->Selected(values[i] != 0, false);
}

int CFrameSettingUI::OptionIndex(CControlUI* sender) const {
    for (int i = 0; i < 8; ++i)
        if (sender && sender == m_pOptions[i])
            return i;
    return -1;
}

void CFrameSettingUI::Notify(TNotifyUI& msg) {
    if (msg.sType == DUI_MSGTYPE_SELECTCHANGED) {
        int index = OptionIndex(msg.pSender);
        if (index >= 0)
            platform::PostMessage(m_hMainWnd, WM_CONFIG_CHANGE, index, m_pOptions[index]->IsSelected() ? 1 : 0);
    }
    CSmallWindowUI::Notify(msg);
}

void CFrameSettingUI::OnClick(TNotifyUI& msg) {
    DuiLib::CDuiString name = msg.pSender->GetName();
    if (name == L"hidebtn") {
        ShowWindow(false, false);
        if (m_pLabelTip)
            m_pLabelTip->SetVisible(false);
    } else if (name == L"btn_checknew") {
        CheckNewVersion();
    }
    CSmallWindowUI::OnClick(msg);
}

void CFrameSettingUI::CheckNewVersion() {
    // One check at a time: the button waits with the window while the answer is awaited.
    if (m_pBtnCheckNew)
        m_pBtnCheckNew->SetEnabled(false);
    if (m_pLabelTip)
        m_pLabelTip->SetVisible(false);
    SVersionOffer offer;
    EVersionAnswer answer = RunVersionCheck(m_hWnd, offer);
    if (m_pBtnCheckNew)
        m_pBtnCheckNew->SetEnabled(true);
    if (answer == eVersionNewer)
        ShowNewVersion(m_hWnd, offer.strLink, offer.strVersion);
    else if (answer == eVersionCurrent && m_pLabelTip)
        m_pLabelTip->SetVisible(true);
}
