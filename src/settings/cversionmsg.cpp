#include "cversionmsg.h"

#include "common/debug.h"
#include "platform/shell.h"

using DuiLib::TNotifyUI;

void CVersionMsg::InitWindow() {
    m_pBtnCancel = Find(L"btn_cancel");
    m_pBtnDownload = Find(L"btn_download");
    m_pLabelNewVersion = Find(L"label_newversion");
    m_pLabelHint = Find(L"label_hint");
}

void CVersionMsg::SetVersionInfo(const std::wstring& link, const std::wstring& version) {
    m_strLink = link;
    m_strVersion = version;
    if (m_pLabelNewVersion)
        m_pLabelNewVersion->SetText(FormatString(L"发现新版本 %s，请问是否进行下载？", version.c_str()).c_str());
}

bool CVersionMsg::IsDownloadLink(const std::wstring& link) {
    size_t hostStart = 0;
    if (DuiLib::EqualNoCase(link.substr(0, 7).c_str(), L"http://"))
        hostStart = 7;
    else if (DuiLib::EqualNoCase(link.substr(0, 8).c_str(), L"https://"))
        hostStart = 8;
    else
        return false;
    if (hostStart >= link.size() || link[hostStart] == L'/')
        return false; // no host
    for (wchar_t c : link)
        if (c <= L' ' || c == 0x7F)
            return false;
    return true;
}

void CVersionMsg::OnClick(TNotifyUI& msg) {
    DuiLib::CDuiString name = msg.pSender->GetName();
    if (name == L"btn_cancel") {
        Close(IDCANCEL);
    } else if (name == L"btn_download") {
        if (IsDownloadLink(m_strLink))
            platform::ShellOpen(m_strLink);
        else
            DEBUG_LOG(LOG_LEVEL_INFO, L"警告", L"download link refused: %s", m_strLink.c_str());
        Close(IDOK);
    }
    CSmallWindowUI::OnClick(msg);
}

UINT ShowNewVersion(HWND owner, const std::wstring& link, const std::wstring& version) {
    CVersionMsg offer;
    if (!offer.Create(owner, L"", WS_POPUP | WS_CLIPCHILDREN, WS_EX_TOOLWINDOW))
        return 0;
    offer.CenterWindow();
    offer.SetMainHwnd(owner);
    offer.SetVersionInfo(link, version);
    return offer.ShowModal();
}
