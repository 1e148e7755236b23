#include "msgcenter/cframemsgcenterui.h"

#include <cwctype>

#include "common/custommsg.h"
#include "common/debug.h"
#include "dialogs/guidancepopups.h"
#include "duilib/uidlgbuilder.h"
#include "platform/shell.h"

using namespace DuiLib;

namespace {

// A row shows one line; the rest of a huge text would only cost layout time.
const size_t kMaxShownChars = 1000;

std::wstring Clip(const std::wstring& text) {
    return text.size() > kMaxShownChars ? text.substr(0, kMaxShownChars) : text;
}

// The page edit's text as a page number: decimal digits only, else 0.
uint64_t ParsePageText(const std::wstring& text) {
    size_t b = text.find_first_not_of(L' ');
    size_t e = text.find_last_not_of(L' ');
    if (b == std::wstring::npos)
        return 0;
    uint64_t v = 0;
    for (size_t i = b; i <= e; ++i) {
        if (!std::iswdigit(text[i]) || v > (UINT64_MAX - 9) / 10)
            return 0;
        v = v * 10 + static_cast<uint64_t>(text[i] - L'0');
    }
    return v;
}


} // namespace

CFrameMsgCenterUI::CFrameMsgCenterUI() = default;

CFrameMsgCenterUI::~CFrameMsgCenterUI() {
    m_workers.Close(5000);
    ClearMsgList();
    delete m_pGuidanceWnd;
}

void CFrameMsgCenterUI::OnReleaseWindow() {
    ClearMsgList();
    for (int i = 0; i < kCategoryCount; ++i) {
        m_pRows[i] = nullptr;
        m_pOptions[i] = nullptr;
        m_pBadges[i] = nullptr;
    }
    m_pBtnHide = m_pBtnReadAll = m_pBtnSubscribeSet = nullptr;
    m_pList = nullptr;
    m_pNoMsg = m_pRingWait = m_pLoadFailed = m_pBtnPrePage = m_pBtnNextPage = nullptr;
    m_pEditCurPage = nullptr;
    m_pTotalPage = m_pPageBar = nullptr;
    WindowImplBase::OnReleaseWindow();
}

void CFrameMsgCenterUI::InitWindow() {
    CPaintManagerUI& pm = m_PaintManager;
    m_pBtnHide = pm.FindControl(L"hidebtn");
    m_pBtnReadAll = pm.FindControl(L"readallbtn");
    m_pBtnSubscribeSet = pm.FindControl(L"subscribesetbtn");
    for (int i = 0; i < kCategoryCount; ++i) {
        m_pRows[i] = pm.FindControl(kCategories[i].row);
        CControlUI* option = pm.FindControl(kCategories[i].option);
        m_pOptions[i] = option ? static_cast<COptionUI*>(option->GetInterface(L"Option")) : nullptr;
        m_pBadges[i] = pm.FindControl(kCategories[i].badge);
    }
    CControlUI* list = pm.FindControl(L"list_msginfo");
    m_pList = list ? static_cast<CListUI*>(list->GetInterface(L"List")) : nullptr;
    m_pNoMsg = pm.FindControl(L"default_nomsg");
    m_pRingWait = pm.FindControl(L"ring_wait_container");
    m_pLoadFailed = pm.FindControl(L"load_failed");
    m_pBtnPrePage = pm.FindControl(L"prepagebtn");
    m_pBtnNextPage = pm.FindControl(L"nextpagebtn");
    CControlUI* edit = pm.FindControl(L"edit_cur_page");
    m_pEditCurPage = edit ? static_cast<CEditUI*>(edit->GetInterface(L"Edit")) : nullptr;
    m_pTotalPage = pm.FindControl(L"total_page");
    m_pPageBar = pm.FindControl(L"hlayout_page");

    m_pGuidanceWnd = new CSubGuidanceUI();
    if (m_pGuidanceWnd->Create(m_hWnd, L"", WS_OVERLAPPEDWINDOW, WS_EX_WINDOWEDGE)) {
        m_pGuidanceWnd->SetMainHwnd(m_hWnd);
        m_pGuidanceWnd->ShowWindow(false, false);
    } else {
        delete m_pGuidanceWnd;
        m_pGuidanceWnd = nullptr;
    }
}

LRESULT CFrameMsgCenterUI::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (uMsg == WM_NCLBUTTONDBLCLK)
        return 0;
    if (uMsg == WM_SHOW_SUBSCRIBE_SET)
        ShowSubscribeSet();
    else if (uMsg == WM_MSG_REQUEST_DONE)
        OnRequestDone(wParam);
    else if (uMsg == WM_SHOWWINDOW)
        m_pageView.OnShowWindow(wParam != 0);
    return WindowImplBase::HandleMessage(uMsg, wParam, lParam);
}

void CFrameMsgCenterUI::HideAll() {
    ShowWindow(false, false);
    if (m_pGuidanceWnd)
        m_pGuidanceWnd->ShowWindow(false, false);
}

void CFrameMsgCenterUI::ShowSubscribeSet() {
    HideAll();
    if (m_hMainWnd)
        platform::SendMessage(m_hMainWnd, WM_SHOW_SUBSCRIBE_SET, 0, 0);
}

int CFrameMsgCenterUI::CategoryOfControl(CControlUI* control, bool& isBadge) const {
    for (int i = 0; i < kCategoryCount; ++i) {
        if (control && control == m_pOptions[i]) {
            isBadge = false;
            return i;
        }
        if (control && control == m_pBadges[i]) {
            isBadge = true;
            return i;
        }
    }
    return -1;
}

void CFrameMsgCenterUI::OnClick(TNotifyUI& msg) {
    CControlUI* sender = msg.pSender;
    CDuiString name = sender->GetName();
    bool isBadge = false;
    int category = CategoryOfControl(sender, isBadge);
    if (sender == m_pBtnHide) {
        HideAll();
    } else if (category >= 0) {
        if (isBadge && m_pOptions[category])
            m_pOptions[category]->Selected(true);
        if (m_pBadges[category])
            m_pBadges[category]->SetVisible(false);
        RequestMsgPage(kCategories[category].type, 1);
    } else if (sender == m_pBtnPrePage) {
        if (m_nCurPage - 1 != 0)
            RequestMsgPage(m_strCurCategory, m_nCurPage - 1);
    } else if (sender == m_pBtnNextPage) {
        if (m_nCurPage + 1 <= m_nTotalPages)
            RequestMsgPage(m_strCurCategory, m_nCurPage + 1);
    } else if (sender == m_pBtnReadAll) {
        ReadAllMsg();
    } else if (sender == m_pBtnSubscribeSet) {
        ShowSubscribeSet();
    } else if (name == L"load_failed_refresh") {
        RequestMsgPage(m_strCurCategory, m_nCurPage == 0 ? 1 : m_nCurPage);
    }
    WindowImplBase::OnClick(msg);
}

void CFrameMsgCenterUI::Notify(TNotifyUI& msg) {
    if (msg.sType == DUI_MSGTYPE_ITEMSELECT && msg.pSender && msg.pSender == m_pList)
        OpenSelectedItem();
    else if (msg.sType == DUI_MSGTYPE_RETURN && msg.pSender && msg.pSender == m_pEditCurPage)
        OnPageEditReturn();
    WindowImplBase::Notify(msg);
}

void CFrameMsgCenterUI::OnPageEditReturn() {
    uint64_t page = ParsePageText(m_pEditCurPage->GetText());
    if (page > 0 && RequestMsgPage(m_strCurCategory, page))
        return;
    // Nothing was asked for: the edit goes back to the page on screen.
    m_pEditCurPage->SetText(std::to_wstring(m_nCurPage).c_str());
}

void CFrameMsgCenterUI::SetViewState(int flags) {
    if (m_pList)
        m_pList->SetVisible((flags & kViewList) != 0);
    if (m_pNoMsg)
        m_pNoMsg->SetVisible((flags & kViewEmpty) != 0);
    if (m_pRingWait)
        m_pRingWait->SetVisible((flags & kViewWaiting) != 0);
    if (m_pLoadFailed)
        m_pLoadFailed->SetVisible((flags & kViewFailed) != 0);
    if (!(flags & kViewWaiting) && m_pPageBar)
        m_pPageBar->SetVisible(!(flags & (kViewEmpty | kViewFailed)));
}

void CFrameMsgCenterUI::ClearMsgList() {
    if (!m_pList)
        return;
    for (int i = 0; i < m_pList->GetCount(); ++i)
        if (CControlUI* row = m_pList->GetItemAt(i)) {
            delete reinterpret_cast<std::wstring*>(row->GetTag());
            row->SetTag(0);
        }
    m_pList->RemoveAll();
}

bool CFrameMsgCenterUI::InitDlg(const std::string& cookies) {
    if (m_pNoMsg)
        m_pNoMsg->SetFocus();
    if (cookies.empty()) {
        DEBUG_LOG(LOG_LEVEL_INFO, L"警告", L"CFrameMsgCenterUI::InitDlg(string _strCookies) failed");
        return false;
    }
    m_strCookies = cookies;
    m_strCurCategory.clear();
    ++m_nPermissionSeq;
    ++m_nListSeq; // a page asked for before this opening no longer belongs on screen
    ClearMsgList();
    SetViewState(kViewWaiting);
    StartPermissionRequest(0);
    return true;
}

bool CFrameMsgCenterUI::HasUnreadMsg(const std::string& cookies, UnreadCallback done) {
    if (cookies.empty()) {
        DEBUG_LOG(LOG_LEVEL_INFO, L"警告", L"CFrameMsgCenterUI::HasUnreadMsg(string _strCookies) failed");
        return false;
    }
    m_strCookies = cookies;
    m_fnUnreadDone = std::move(done);
    StartPermissionRequest(++m_nProbeSeq);
    return true;
}

void CFrameMsgCenterUI::StartPermissionRequest(uint64_t probe) {
    auto task = std::make_unique<MsgRequestTask>();
    task->hTarget = m_hWnd;
    task->strCookies = m_strCookies;
    task->nKind = kKindPermission;
    task->nGeneration = m_nPermissionSeq;
    task->nProbeSeq = probe;
    m_workers.Start(std::move(task), [](SRequestTask& t) { CHttpWork::GetInstance()->MsgCenter_GetSubscribe(t.strCookies, t); });
}

bool CFrameMsgCenterUI::RequestMsgPage(const std::string& category, uint64_t page) {
    if (m_strCookies.empty())
        return false;
    if (page >= 2 && page > m_nTotalPages)
        return false;
    // Offsets travel as 32-bit numbers; a page beyond them cannot be asked for.
    if (PageOffset(page) > INT32_MAX)
        return false;
    ClearMsgList();
    SetViewState(kViewWaiting);
    m_nCurPage = page;
    m_strCurCategory = category;
    StartListRequest(category, page);
    return true;
}

void CFrameMsgCenterUI::StartListRequest(const std::string& category, uint64_t page) {
    auto task = std::make_unique<MsgRequestTask>();
    task->hTarget = m_hWnd;
    task->strCookies = m_strCookies;
    task->nKind = kKindList;
    task->strCategory = category;
    task->nPage = static_cast<int>(page);
    task->nPageSize = kPageSize;
    task->nListSeq = ++m_nListSeq;
    m_workers.Start(std::move(task), [](SRequestTask& t) {
        auto& m = static_cast<MsgRequestTask&>(t);
        CHttpWork::GetInstance()->MsgCenter_GetMsgList(m.strCookies, m.strCategory,
                                                       static_cast<long>(PageOffset(static_cast<uint64_t>(m.nPage))),
                                                       m.nPageSize, m);
    });
}

void CFrameMsgCenterUI::ReadAllMsg() {
    if (m_strCookies.empty())
        return;
    SetViewState(kViewList | kViewWaiting);
    auto task = std::make_unique<MsgRequestTask>();
    task->hTarget = m_hWnd;
    task->strCookies = m_strCookies;
    task->nKind = kKindAllRead;
    task->strCategory = m_strCurCategory;
    m_workers.Start(std::move(task), [](SRequestTask& t) { CHttpWork::GetInstance()->MsgCenter_AllRead(t.strCookies, t); });
}

void CFrameMsgCenterUI::OnRequestDone(WPARAM wParam) {
    std::unique_ptr<SRequestTask> task = m_workers.Take(wParam);
    if (!task)
        return;
    const auto& t = static_cast<const MsgRequestTask&>(*task);
    if (t.nKind == kKindPermission)
        OnPermissionDone(t);
    else if (t.nKind == kKindList)
        OnListDone(t);
    else if (t.nKind == kKindAllRead)
        OnAllReadDone(t);
}

void CFrameMsgCenterUI::OnPermissionDone(const MsgRequestTask& t) {
    bool current = t.nGeneration == m_nPermissionSeq;
    bool opening = current && t.nProbeSeq == 0;
    bool ok = false, hasPermission = false, hasUnread = false;
    if (!IsAnswered(t)) {
        DEBUG_LOG(LOG_LEVEL_INFO, L"警告", L"CHttpWork::GetInstance()->MsgCenter_GetSubscribe(m_strCookies, response) failed");
        if (opening)
            SetViewState(kViewFailed);
    } else if (!DisplaySubscribe(t.strResponse, current, hasPermission, hasUnread)) {
        DEBUG_LOG(LOG_LEVEL_INFO, L"警告", L"DisplaySubscribe(response) failed");
        if (opening)
            SetViewState(kViewEmpty);
    } else {
        ok = true;
        if (opening) {
            if (m_strCurCategory.empty()) {
                SetViewState(kViewEmpty); // nothing the merchant may see
            } else {
                m_nCurPage = 1;
                StartListRequest(m_strCurCategory, 1);
            }
        }
    }
    if (t.nProbeSeq != 0 && t.nProbeSeq == m_nProbeSeq && m_fnUnreadDone) {
        UnreadCallback done = std::move(m_fnUnreadDone);
        m_fnUnreadDone = nullptr;
        done(ok, hasPermission, hasUnread);
    }
}

bool CFrameMsgCenterUI::DisplaySubscribe(const std::string& answer, bool apply, bool& hasPermission,
                                         bool& hasUnread) {
    hasPermission = hasUnread = false;
    std::vector<SPermission> items;
    EAnswer r = ParsePermissionAnswer(answer, items);
    if (r != EAnswer::Ok) {
        if (r != EAnswer::NotJson)
            DEBUG_LOG(LOG_LEVEL_INFO, L"警告", L"reader.parse(_strSubscribe, root) failed");
        return false;
    }
    for (const SPermission& p : items) {
        int i = FindCategory(p.type);
        if (p.permitted) {
            hasPermission = true;
            hasUnread = hasUnread || p.unread > 0;
        }
        if (!apply)
            continue;
        if (m_pRows[i])
            m_pRows[i]->SetVisible(p.permitted);
        if (!p.permitted)
            continue;
        if (m_pOptions[i])
            m_pOptions[i]->SetText(p.name.c_str());
        if (m_pBadges[i]) {
            SBadgeLook look = BadgeLook(p.unread);
            m_pBadges[i]->SetVisible(look.visible);
            if (look.visible) {
                m_pBadges[i]->SetText(look.text.c_str());
                m_pBadges[i]->SetBkImage(look.image);
                m_pBadges[i]->SetFixedWidth(look.width);
            }
        }
    }
    if (!apply)
        return true;
    // The tab on screen stays while it may still be seen; otherwise the first visible one.
    int keep = FindCategory(m_strCurCategory);
    if (keep >= 0 && m_pRows[keep] && m_pRows[keep]->IsVisible())
        return true;
    m_strCurCategory.clear();
    for (int i = 0; i < kCategoryCount; ++i) {
        if (m_pRows[i] && m_pRows[i]->IsVisible()) {
            m_strCurCategory = kCategories[i].type;
            if (m_pOptions[i])
                m_pOptions[i]->Selected(true);
            break;
        }
    }
    return true;
}

void CFrameMsgCenterUI::OnListDone(const MsgRequestTask& t) {
    // Only the newest page request may change the view; later clicks made older ones stale.
    if (t.nListSeq != m_nListSeq)
        return;
    if (!IsAnswered(t)) {
        SetViewState(kViewFailed);
        return;
    }
    SetViewState(kViewList);
    if (DisplayMsgList(t.strResponse))
        UpdatePageControls();
}

void CFrameMsgCenterUI::UpdatePageControls() {
    if (m_pEditCurPage)
        m_pEditCurPage->SetText(std::to_wstring(m_nCurPage).c_str());
    bool any = m_nTotalPages != 0;
    if (m_pBtnPrePage)
        m_pBtnPrePage->SetEnabled(any && m_nCurPage != 1);
    if (m_pBtnNextPage)
        m_pBtnNextPage->SetEnabled(any && m_nCurPage != m_nTotalPages);
}

bool CFrameMsgCenterUI::DisplayMsgList(const std::string& answer) {
    if (answer.empty())
        return false;
    ClearMsgList();
    SMessagePage page;
    EAnswer r = ParseMessageListAnswer(answer, page);
    if (r == EAnswer::NotJson)
        return false;
    if (r != EAnswer::Ok) {
        DEBUG_LOG(LOG_LEVEL_INFO, L"警告", L"reader.parse(_strMsgJson, root) failed");
        return false;
    }
    m_nTotalPages = TotalPages(page.total);
    if (m_pTotalPage)
        m_pTotalPage->SetText(std::to_wstring(m_nTotalPages).c_str());
    if (page.total == 0) {
        SetViewState(kViewEmpty);
        return true;
    }
    SetViewState(kViewList);
    if (!page.listIsArray) {
        DEBUG_LOG(LOG_LEVEL_INFO, L"警告", L"reader.parse(_strMsgJson, root) failed");
        return false;
    }
    time_t now = time(nullptr);
    for (const SMessageEntry& e : page.entries) {
        CDialogBuilder builder;
        CControlUI* row = builder.Create(L"listitem_msgcenter.xml", nullptr, this, &m_PaintManager);
        if (!row)
            continue;
        row->SetFixedWidth(584);
        row->SetFixedHeight(41);
        row->SetTag(reinterpret_cast<UINT_PTR>(new std::wstring(e.url)));
        if (m_pList)
            m_pList->Add(row);
        CControlUI* item = m_PaintManager.FindSubControlByName(row, L"msg_item");
        if (!item)
            continue;
        if (CControlUI* mark = m_PaintManager.FindSubControlByName(item, L"container_readtag"))
            mark->SetVisible(e.unread);
        if (CControlUI* title = m_PaintManager.FindSubControlByName(item, L"label_type_name"))
            title->SetText(Clip(e.title).c_str());
        if (CControlUI* info = m_PaintManager.FindSubControlByName(item, L"label_msg_info")) {
            info->SetText(Clip(e.content).c_str());
            info->SetToolTip(Clip(e.content).c_str());
        }
        if (CControlUI* when = m_PaintManager.FindSubControlByName(item, L"msg_time"))
            when->SetText(MessageTimeText(e.timestamp, now).c_str());
    }
    if (page.listSize == 0)
        SetViewState(kViewFailed);
    return true;
}

void CFrameMsgCenterUI::OnAllReadDone(const MsgRequestTask& t) {
    if (m_pRingWait)
        m_pRingWait->SetVisible(false);
    if (!IsAnswered(t)) {
        SetViewState(kViewFailed);
        return;
    }
    if (ParseCodeAnswer(t.strResponse) != EAnswer::Ok)
        return;
    // The server clears these four; system notices and refunds keep their counts.
    for (int i = 0; i < 4; ++i)
        if (m_pBadges[i])
            m_pBadges[i]->SetVisible(false);
    if (!m_pList)
        return;
    for (int i = 0; i < m_pList->GetCount(); ++i)
        if (CControlUI* mark = m_PaintManager.FindSubControlByName(m_pList->GetItemAt(i), L"container_readtag"))
            mark->SetVisible(false);
}

void CFrameMsgCenterUI::OpenSelectedItem() {
    if (!m_pList)
        return;
    CControlUI* row = m_pList->GetItemAt(m_pList->GetCurSel());
    if (!row)
        return;
    auto* tag = reinterpret_cast<std::wstring*>(row->GetTag());
    std::wstring link = tag ? *tag : std::wstring();
    if (CControlUI* mark = m_PaintManager.FindSubControlByName(row, L"container_readtag"))
        mark->SetVisible(false);
    if (!link.empty())
        platform::ShellOpen(link);
}

void CFrameMsgCenterUI::ShowSubscribeGuidance() {
    if (!m_pGuidanceWnd || !m_pBtnSubscribeSet || !m_pBtnSubscribeSet->GetParent())
        return;
    RECT anchor = m_pBtnSubscribeSet->GetParent()->GetPos();
    RECT w{};
    platform::GetWindowRect(m_hWnd, &w);
    int x, y;
    if (anchor.right == 0) {
        x = w.left + 630;
        y = w.top + 35;
    } else {
        x = (anchor.left + anchor.right + 2 * w.left) / 2;
        y = w.top + anchor.bottom;
    }
    MoveGuidanceBelow(m_pGuidanceWnd->GetHWND(), x, y);
    m_pGuidanceWnd->ShowWindow(true, false);
}
