#pragma once
// The settings window: the eight settings as option boxes, the client's version and the
// check for a newer one. It stores nothing: every change goes to the main window as
// WM_CONFIG_CHANGE (index, new value), and the main window applies, saves and broadcasts it.
#include "notify/smallwindow.h"
#include "settings/configmanage.h"
#include "settings/pageview.h"

class CFrameSettingUI : public CSmallWindowUI {
public:
    // The options in setting-index order (the index of STRUCT_Config's fields).
    static constexpr const wchar_t* kOptionNames[8] = {
        L"op_autostart",         L"op_autologin", L"op_conversationtip", L"op_ordertip", L"op_newcomertip",
        L"op_conversationsound", L"op_ordersound", L"op_newcomersound"};

    CFrameSettingUI() : CSmallWindowUI(false) {}

    DuiLib::CDuiString GetSkinFile() override { return L"setting.xml"; }
    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
    void InitWindow() override;
    void OnClick(DuiLib::TNotifyUI& msg) override;
    void Notify(DuiLib::TNotifyUI& msg) override;

    // Shows the record: each option is selected exactly when its field is non-zero. Showing a
    // record is not a change, so nothing is posted.
    void SetConfig(STRUCT_Config config);

    // Asks the server; offers a newer client in the version window, or shows `label_tip` when
    // there is none. The window stays usable while the answer is awaited.
    void CheckNewVersion();

private:
    int OptionIndex(DuiLib::CControlUI* sender) const;

    DuiLib::COptionUI* m_pOptions[8] = {};
    DuiLib::CControlUI* m_pBtnHide = nullptr;
    DuiLib::CControlUI* m_pLabelVersion = nullptr;
    DuiLib::CControlUI* m_pLabelTip = nullptr;
    DuiLib::CControlUI* m_pBtnCheckNew = nullptr;
    CPageViewTimer m_PageView{"page_settings"};
};
