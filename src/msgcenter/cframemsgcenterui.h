#pragma once
// The native message center: one tab per permitted category, a paged list of the selected
// category's messages with unread marks, badges, mark-all-read, the way to the subscription
// settings and a one-time pop-up pointing at it. Every request runs on a worker of its own and
// comes back as WM_MSG_REQUEST_DONE; only the newest request of each kind may change the view.
#include <functional>
#include <string>

#include "duilib/uiwindow.h"
#include "msgcenter/msgmodel.h"
#include "settings/pageview.h"
#include "msgcenter/requestworkers.h"

class CSubGuidanceUI;

struct MsgRequestTask : SRequestTask {
    int nPage = 0;
    int nPageSize = kPageSize;
    uint64_t nListSeq = 0;   // which page request this answers
    uint64_t nProbeSeq = 0;  // non-zero: the answer of HasUnreadMsg number nProbeSeq
};

class CFrameMsgCenterUI : public DuiLib::WindowImplBase {
public:
    enum { kKindPermission = 1, kKindList = 2, kKindAllRead = 3 };
    // Bits of SetViewState.
    enum { kViewList = 1, kViewEmpty = 2, kViewWaiting = 4, kViewFailed = 8 };
    // (permission answer arrived and was usable, some category permitted, some permitted
    // category has unread messages)
    using UnreadCallback = std::function<void(bool ok, bool hasPermission, bool hasUnread)>;

    CFrameMsgCenterUI();
    ~CFrameMsgCenterUI() override;

    DuiLib::LPCTSTR GetWindowClassName() const override { return L"MainWnd"; }
    DuiLib::CDuiString GetSkinFile() override { return L"messagecenter.xml"; }
    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
    void InitWindow() override;
    void OnClick(DuiLib::TNotifyUI& msg) override;
    void Notify(DuiLib::TNotifyUI& msg) override;

    void SetMainHwnd(HWND hWnd) { m_hMainWnd = hWnd; }
    // Opening: false (and nothing sent) without cookies. The permission request runs on a
    // worker while the waiting ring shows; its answer sets the tabs and asks for page 1.
    bool InitDlg(const std::string& cookies);
    // The same permission request and tab update without the list; `done` runs on this
    // window's thread once the answer is in. False (and `done` never runs) without cookies.
    bool HasUnreadMsg(const std::string& cookies, UnreadCallback done);
    // Forgets the callback of a HasUnreadMsg still in flight (the account changed meanwhile).
    void CancelUnreadQuery() { m_fnUnreadDone = nullptr; }
    // Places the subscription pop-up under the subscription button and shows it.
    void ShowSubscribeGuidance();

    // For the owner and for tests.
    CSubGuidanceUI* GetGuidanceWnd() const { return m_pGuidanceWnd; }
    const std::string& GetCurrentCategory() const { return m_strCurCategory; }
    uint64_t GetCurrentPage() const { return m_nCurPage; }
    uint64_t GetTotalPages() const { return m_nTotalPages; }
    size_t RunningRequests() const { return m_workers.Running(); }

protected:
    // The controls go with the native window; their link copies are freed and pointers dropped.
    void OnReleaseWindow() override;

private:
    void SetViewState(int flags);
    void ClearMsgList();
    // Applies a permission answer to rows, tabs and badges (when `apply`); the flags say
    // whether any category is permitted and whether a permitted one has unread messages.
    bool DisplaySubscribe(const std::string& answer, bool apply, bool& hasPermission, bool& hasUnread);
    bool RequestMsgPage(const std::string& category, uint64_t page);
    void StartListRequest(const std::string& category, uint64_t page);
    void ReadAllMsg();
    void StartPermissionRequest(uint64_t probe);
    void OnRequestDone(WPARAM wParam);
    void OnPermissionDone(const MsgRequestTask& task);
    void OnListDone(const MsgRequestTask& task);
    void OnAllReadDone(const MsgRequestTask& task);
    bool DisplayMsgList(const std::string& answer);
    void UpdatePageControls();
    void OpenSelectedItem();
    void OnPageEditReturn();
    void ShowSubscribeSet();
    void HideAll();
    // The category of an option or badge control, or -1.
    int CategoryOfControl(DuiLib::CControlUI* control, bool& isBadge) const;

    DuiLib::CControlUI* m_pBtnHide = nullptr;
    DuiLib::CControlUI* m_pBtnReadAll = nullptr;
    DuiLib::CControlUI* m_pBtnSubscribeSet = nullptr;
    DuiLib::CControlUI* m_pRows[kCategoryCount] = {};
    DuiLib::COptionUI* m_pOptions[kCategoryCount] = {};
    DuiLib::CControlUI* m_pBadges[kCategoryCount] = {};
    DuiLib::CListUI* m_pList = nullptr;
    DuiLib::CControlUI* m_pNoMsg = nullptr;
    DuiLib::CControlUI* m_pRingWait = nullptr;
    DuiLib::CControlUI* m_pLoadFailed = nullptr;
    DuiLib::CControlUI* m_pBtnPrePage = nullptr;
    DuiLib::CControlUI* m_pBtnNextPage = nullptr;
    DuiLib::CEditUI* m_pEditCurPage = nullptr;
    DuiLib::CControlUI* m_pTotalPage = nullptr;
    DuiLib::CControlUI* m_pPageBar = nullptr;

    CSubGuidanceUI* m_pGuidanceWnd = nullptr;
    HWND m_hMainWnd = nullptr;
    std::string m_strCookies;
    uint64_t m_nCurPage = 1;
    uint64_t m_nTotalPages = 1;
    std::string m_strCurCategory;
    uint64_t m_nPermissionSeq = 0;
    uint64_t m_nListSeq = 0;
    uint64_t m_nProbeSeq = 0;
    UnreadCallback m_fnUnreadDone;
    CPageViewTimer m_pageView{"page_msgcenter"};
    // Last member: destroyed first, so no worker outlives the window's state unwaited.
    CRequestWorkers m_workers;
};
