#pragma once
// Per-shop subscription settings: which of the six categories the merchant subscribes to
// (two collapsible groups), and inside a subscribed category the notice setting of each of its
// message types, one at a time or several at once in batch mode. Every request runs on a
// worker and comes back as WM_MSG_REQUEST_DONE; answers for another opening, shop or category
// than the one on screen are dropped.
#include <map>
#include <string>
#include <vector>

#include "duilib/uiwindow.h"
#include "msgcenter/msgmodel.h"
#include "settings/pageview.h"
#include "msgcenter/requestworkers.h"

struct STRUCT_Per {
    bool bHavePermission = false;
    bool bSubscribed = false;
    std::string strName;
};

// Attached as tag to each notice-setting row.
struct STRUCT_SubPer {
    std::string strTitle;
    std::string strMsgType;
    int nStatus = 0;
};

struct SubscribeTask : SRequestTask {
    int32_t nOtaId = 0;
    std::vector<std::string> vecMsgTypes;
    int nValue = 0;
};

class CFrameSubscribeSetUI : public DuiLib::WindowImplBase {
public:
    // Kinds 1 and 2 are the two requests of the opening.
    enum { kKindShopList = 1, kKindPermission = 2, kKindSettings = 3, kKindSubscribe = 4, kKindNotice = 5,
           kKindNoticeBatch = 6 };
    enum { kViewSettings = 1, kViewWaiting = 2, kViewFailed = 4 };
    // More rows than this in an answer are not shown (a list no merchant has).
    static constexpr size_t kMaxRows = 200;

    CFrameSubscribeSetUI();
    ~CFrameSubscribeSetUI() override;

    DuiLib::LPCTSTR GetWindowClassName() const override { return L"MainWnd"; }
    DuiLib::CDuiString GetSkinFile() override { return L"subscribeset.xml"; }
    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
    void InitWindow() override;
    void OnClick(DuiLib::TNotifyUI& msg) override;
    void Notify(DuiLib::TNotifyUI& msg) override;

    void SetMainHwnd(HWND hWnd) { m_hMainWnd = hWnd; }
    // Opening for a shop: false (nothing sent) without cookies. The shop list and the shop's
    // permissions are asked for on workers while the waiting ring shows.
    bool InitDlg(const std::string& cookies, int32_t otaId);

    // For tests.
    const std::string& GetCurrentType() const { return m_strCurType; }
    bool IsCurrentSubscribed() const { return m_bCurSubscribed; }
    int32_t GetShopId() const { return m_nOtaId; }
    const STRUCT_Per* GetCategoryState(const std::string& type) const;
    size_t RunningRequests() const { return m_workers.Running(); }

protected:
    void OnReleaseWindow() override;

private:
    void SetViewState(int flags);
    void StartTask(int kind, std::vector<std::string> msgTypes = {}, int value = 0);
    void OnRequestDone(WPARAM wParam);
    void OnShopListDone(const SubscribeTask& t);
    void OnPermissionDone(const SubscribeTask& t);
    void OnSettingsDone(const SubscribeTask& t);
    void OnSubscribeDone(const SubscribeTask& t);
    void OnBatchDone(const SubscribeTask& t);
    bool ParseSubscribe(const std::string& answer, std::string& firstType, bool& firstSubscribed);
    void UpdateSubscribeGroups();
    void SelectCurrentTypeOption();
    void ShowSubscribeDetail(bool selectOption);
    void SetBatchMode(bool on);
    void SelectAllSubTypes(bool on);
    void OnSubTypeClicked(DuiLib::CControlUI* option);
    void SetSubscribe(int value);
    void BatchSetNotice(int status);
    void OnRowSelectorChosen(DuiLib::CControlUI* combo);
    void OnShopChosen();
    bool DisplaySubSetting(const std::string& answer);
    void ClearSettingList();
    // The category of a group option, or -1; `subscribedGroup` says which group.
    int CategoryOfOption(DuiLib::CControlUI* control, bool& subscribedGroup) const;
    DuiLib::CControlUI* RowPart(int row, const wchar_t* name) const;

    DuiLib::CControlUI* m_pBtnHide = nullptr;
    DuiLib::CControlUI* m_pShopRow = nullptr;
    DuiLib::CComboUI* m_pShopCombo = nullptr;
    DuiLib::CButtonUI* m_pSubscribedHeader = nullptr;
    DuiLib::CButtonUI* m_pNotSubscribedHeader = nullptr;
    DuiLib::COptionUI* m_pSubscribedOptions[kCategoryCount] = {};
    DuiLib::COptionUI* m_pNotSubscribedOptions[kCategoryCount] = {};
    DuiLib::COptionUI* m_pStatusSwitch = nullptr;
    DuiLib::CControlUI* m_pTip = nullptr;
    DuiLib::CControlUI* m_pSettingPane = nullptr;
    DuiLib::CListUI* m_pSettingList = nullptr;
    DuiLib::CControlUI* m_pRingWait = nullptr;
    DuiLib::CControlUI* m_pLoadFailed = nullptr;
    DuiLib::COptionUI* m_pSelectAll = nullptr;
    DuiLib::CControlUI* m_pSetSelectedLabel = nullptr;
    DuiLib::CComboUI* m_pBatchCombo = nullptr;
    DuiLib::CControlUI* m_pBtnBatchSet = nullptr;
    DuiLib::CControlUI* m_pBtnQuitBatch = nullptr;

    HWND m_hMainWnd = nullptr;
    std::string m_strCookies;
    std::string m_strCurType;
    bool m_bCurSubscribed = false;
    int32_t m_nOtaId = 0;
    bool m_bSubscribedOpen = true;
    bool m_bNotSubscribedOpen = true;
    bool m_bPermissionLoaded = false;
    bool m_bBatchMode = false;
    std::map<std::string, STRUCT_Per> m_mapPer;
    // Bumped by every opening and every change of category on screen.
    uint64_t m_nGeneration = 0;
    CPageViewTimer m_pageView{"page_subscribe_set"};
    CRequestWorkers m_workers;
};
