#pragma once
// The new-version offer: "download" hands the link to the desktop's handler and ends with 1,
// "cancel" ends with 2 and opens nothing.
#include <string>

#include "notify/smallwindow.h"

class CVersionMsg : public CSmallWindowUI {
public:
    DuiLib::CDuiString GetSkinFile() override { return L"newversionmsg.xml"; }
    void InitWindow() override;
    void OnClick(DuiLib::TNotifyUI& msg) override;

    // After Create: the download link and the version the offer names.
    void SetVersionInfo(const std::wstring& link, const std::wstring& version);

    // Only a web address goes to the desktop's handler: anything else (a path, a file: or
    // other scheme, text with spaces or control characters) could start something other than
    // a download.
    static bool IsDownloadLink(const std::wstring& link);

private:
    DuiLib::CControlUI* m_pBtnCancel = nullptr;
    DuiLib::CControlUI* m_pBtnDownload = nullptr;
    DuiLib::CControlUI* m_pLabelNewVersion = nullptr;
    DuiLib::CControlUI* m_pLabelHint = nullptr;
    std::wstring m_strLink;
    std::wstring m_strVersion;
};

// Runs the offer modally over `owner`, centred, and returns how it ended (0 when it could not
// be shown).
UINT ShowNewVersion(HWND owner, const std::wstring& link, const std::wstring& version);
