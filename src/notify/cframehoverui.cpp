#include "cframehoverui.h"

#include <algorithm>
#include <memory>

#include "cheadui.h"
#include "common/custommsg.h"
#include "displaytext.h"
#include "duilib/uidlgbuilder.h"
#include "platform/sysinfo.h"

using namespace DuiLib;

namespace {
// Posted to the window itself: wParam is a heap std::function run and deleted there.
constexpr UINT kRunPostedWork = WM_USER + 0x311;
// Posted to the window itself: the records changed since the rows were last laid out.
constexpr UINT kRefreshRows = WM_USER + 0x312;
} // namespace

SIZE HoverClientSize(size_t count) {
    static const LONG kHeights[] = {136, 136, 196, 256, 316};
    return SIZE{258, kHeights[count > 4 ? 4 : count]};
}

POINT HoverWindowPosition(const RECT& icon, const RECT& work, int width, int height) {
    int cx = (icon.left + icon.right) / 2;
    int right = cx + width / 2;
    if (work.right < right)
        right = work.right;
    return POINT{right - width, work.bottom - height};
}

CFrameHoverUI::CFrameHoverUI() = default;

CFrameHoverUI::~CFrameHoverUI() {
    ClearMessages();
    FreeRowTags();
}

void CFrameHoverUI::OnReleaseWindow() {
    FreeRowTags();
    m_pManagerName = nullptr;
    m_pHeadImage = nullptr;
    m_pViewAll = nullptr;
    m_pList = nullptr;
    m_bShow = 0;
    {
        std::lock_guard<std::recursive_mutex> lock(m_csMsg);
        m_bRefreshPosted = false; // the posted refresh goes with the window
    }
    CSmallWindowUI::OnReleaseWindow();
}

// Row tags own heap copies of the ids.
void CFrameHoverUI::FreeRowTags() {
    std::lock_guard<std::recursive_mutex> lock(m_csMsg);
    if (!m_pList)
        return;
    for (int i = 0; i < m_pList->GetCount(); ++i) {
        CControlUI* row = m_pList->GetItemAt(i);
        if (!row)
            break;
        delete reinterpret_cast<std::wstring*>(row->GetTag());
        row->SetTag(0);
    }
}

void CFrameHoverUI::InitWindow() {
    m_pManagerName = Find(L"manager_name");
    CControlUI* head = Find(L"head_image");
    m_pHeadImage = head ? static_cast<CHeadUI*>(head->GetInterface(L"HeadIcon")) : nullptr;
    m_pViewAll = Find(L"view_all");
    CControlUI* list = Find(L"list_message");
    m_pList = list ? static_cast<CListUI*>(list->GetInterface(L"List")) : nullptr;
}

LRESULT CFrameHoverUI::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (uMsg == kRunPostedWork) {
        std::unique_ptr<std::function<void()>> work(reinterpret_cast<std::function<void()>*>(wParam));
        if (work)
            (*work)();
        return 0;
    }
    if (uMsg == kRefreshRows) {
        {
            std::lock_guard<std::recursive_mutex> lock(m_csMsg);
            m_bRefreshPosted = false;
        }
        RefreshList();
        return 0;
    }
    if (uMsg == WM_TIMER)
        OnHoverTimer(wParam);
    return CSmallWindowUI::HandleMessage(uMsg, wParam, lParam);
}

void CFrameHoverUI::Notify(TNotifyUI& msg) {
    if (msg.sType == DUI_MSGTYPE_ITEMSELECT && msg.pSender && msg.pSender->GetName() == L"list_message")
        OnRowChosen();
    CSmallWindowUI::Notify(msg);
}

void CFrameHoverUI::OnClick(TNotifyUI& msg) {
    if (msg.pSender->GetName() == L"view_all") {
        HideHover();
        platform::PostMessage(m_hMainWnd, WM_SHOW_MAIN_WND, 0, 0);
    }
    CSmallWindowUI::OnClick(msg);
}

void CFrameHoverUI::OnWindowThread(std::function<void()> work) {
    if (!m_hWnd || platform::GetWindowThreadProcessId(m_hWnd, nullptr) == platform::GetCurrentThreadId()) {
        work();
        return;
    }
    auto* posted = new std::function<void()>(std::move(work));
    if (!platform::PostMessage(m_hWnd, kRunPostedWork, reinterpret_cast<WPARAM>(posted), 0))
        delete posted;
}

void CFrameHoverUI::ScheduleRefresh() {
    std::lock_guard<std::recursive_mutex> lock(m_csMsg);
    if (m_bRefreshPosted)
        return;
    if (!m_hWnd) {
        RefreshList(); // no rows to lay out: only the wanted size follows the records
        return;
    }
    m_bRefreshPosted = platform::PostMessage(m_hWnd, kRefreshRows, 0, 0) != FALSE;
}

void CFrameHoverUI::SetManagerInfo(const std::wstring& id, const std::wstring& name, const std::wstring& avatar,
                                   const std::wstring& trayTip) {
    OnWindowThread([=] {
        m_strManagerId = id;
        m_strManagerName = CutForDisplay(name);
        m_strManagerAvatar = avatar;
        m_strTrayTip = trayTip;
        if (m_pHeadImage)
            m_pHeadImage->SetHeadImage(avatar.c_str());
        if (m_pManagerName)
            m_pManagerName->SetText(m_strManagerName.c_str());
    });
}

void CFrameHoverUI::Upsert(const std::wstring& id, const std::wstring& name, const std::wstring& avatar,
                           const std::wstring& text, const std::function<int(int)>& count) {
    if (id.empty())
        return;
    {
        std::lock_guard<std::recursive_mutex> lock(m_csMsg);
        auto it = m_mapMsg.find(id);
        if (it == m_mapMsg.end()) {
            auto* record = new CMsgInfo();
            record->m_strId = id;
            record->m_strName = CutForDisplay(name);
            record->m_nCount = count(0);
            record->m_strText = CutForDisplay(text);
            record->m_strAvatar = avatar;
            m_mapMsg[id] = record;
            m_vecMsg.insert(m_vecMsg.begin(), record);
        } else {
            CMsgInfo* record = it->second;
            record->m_strName = CutForDisplay(name);
            record->m_strText = CutForDisplay(text);
            record->m_strAvatar = avatar;
            record->m_nCount = count(record->m_nCount);
            record->m_tTime = static_cast<int64_t>(time(nullptr));
            MoveToFront(record);
        }
    }
    ScheduleRefresh();
}

void CFrameHoverUI::AddMessage(const std::wstring& id, const std::wstring& name, const std::wstring& avatar,
                               const std::wstring& text) {
    Upsert(id, name, avatar, text, [](int old) { return old + 1; });
}

void CFrameHoverUI::SetUnreadMessage(const std::wstring& id, const std::wstring& name, int count,
                                     const std::wstring& avatar, const std::wstring& text) {
    Upsert(id, name, avatar, text, [count](int) { return count; });
}

bool CFrameHoverUI::MoveToFront(CMsgInfo* record) {
    for (auto it = m_vecMsg.begin(); it != m_vecMsg.end(); ++it) {
        if ((*it)->m_strId != record->m_strId)
            continue;
        if (it != m_vecMsg.begin()) {
            m_vecMsg.erase(it);
            m_vecMsg.insert(m_vecMsg.begin(), record);
        }
        return true;
    }
    return false;
}

void CFrameHoverUI::RemoveMessage(const std::wstring& id) {
    if (id.empty())
        return;
    {
        std::lock_guard<std::recursive_mutex> lock(m_csMsg);
        auto it = m_mapMsg.find(id);
        if (it != m_mapMsg.end()) {
            for (auto v = m_vecMsg.begin(); v != m_vecMsg.end(); ++v) {
                if ((*v)->m_strId == id) {
                    delete *v;
                    m_vecMsg.erase(v);
                    break;
                }
            }
            m_mapMsg.erase(it);
        }
    }
    ScheduleRefresh();
    OnWindowThread([this] { AfterRemoval(); });
}

void CFrameHoverUI::AfterRemoval() {
    if (GetMessageCount() == 0) {
        HideHover();
        platform::PostMessage(m_hMainWnd, WM_HOVER_EMPTY, 0, 0);
    }
}

void CFrameHoverUI::ClearMessages() {
    std::lock_guard<std::recursive_mutex> lock(m_csMsg);
    for (CMsgInfo* record : m_vecMsg)
        delete record;
    m_vecMsg.clear();
    m_mapMsg.clear();
}

int CFrameHoverUI::GetMessageCount() {
    std::lock_guard<std::recursive_mutex> lock(m_csMsg);
    return static_cast<int>(m_vecMsg.size());
}

std::vector<std::wstring> CFrameHoverUI::GetMessageIds() {
    std::lock_guard<std::recursive_mutex> lock(m_csMsg);
    std::vector<std::wstring> ids;
    for (const CMsgInfo* record : m_vecMsg)
        ids.push_back(record->m_strId);
    return ids;
}

bool CFrameHoverUI::GetMessage(const std::wstring& id, CMsgInfo& out) {
    std::lock_guard<std::recursive_mutex> lock(m_csMsg);
    auto it = m_mapMsg.find(id);
    if (it == m_mapMsg.end())
        return false;
    out = *it->second;
    return true;
}

void CFrameHoverUI::RefreshList() {
    RebuildList();
    AdjustPosition();
}

std::wstring* CFrameHoverUI::RowId(CControlUI* row) { return reinterpret_cast<std::wstring*>(row->GetTag()); }

// One row per place: the i-th conversation is shown in the i-th row, and a row the records no
// longer fill is hidden rather than removed. Adding or moving a row sets up its whole subtree
// again, which costs several times showing the tip; changing its texts costs a part of that.
void CFrameHoverUI::RebuildList() {
    std::lock_guard<std::recursive_mutex> lock(m_csMsg);
    SIZE size = HoverClientSize(m_vecMsg.size());
    m_rcSize = RECT{0, 0, size.cx, size.cy};
    if (!m_pList)
        return;
    // A kept selection would swallow the next click on the same row.
    m_pList->SelectItem(-1, false, false);
    const int shown = static_cast<int>(std::min(m_vecMsg.size(), static_cast<size_t>(kMaxRows)));
    while (m_pList->GetCount() < shown) {
        CControlUI* row = CreateRow();
        if (!row)
            break;
        m_pList->Add(row);
    }
    for (int i = 0; i < m_pList->GetCount(); ++i) {
        CControlUI* row = m_pList->GetItemAt(i);
        if (i < shown) {
            const CMsgInfo& r = *m_vecMsg[static_cast<size_t>(i)];
            SetRowId(row, &r.m_strId);
            FillRow(row, r);
            row->SetVisible(true);
        } else {
            SetRowId(row, nullptr);
            row->SetVisible(false);
        }
    }
}

void CFrameHoverUI::SetRowId(CControlUI* row, const std::wstring* id) {
    std::wstring* now = RowId(row);
    if (now && id && *now == *id)
        return;
    delete now;
    row->SetTag(id ? reinterpret_cast<UINT_PTR>(new std::wstring(*id)) : 0);
}

CControlUI* CFrameHoverUI::CreateRow() {
    CDialogBuilder builder;
    CControlUI* row = builder.Create(L"listitem_hovermsg.xml", nullptr, this, &m_PaintManager);
    if (!row)
        return nullptr;
    row->SetFixedWidth(254);
    row->SetFixedHeight(60);
    return row;
}

namespace {
void SetTextIfChanged(CControlUI* c, const std::wstring& text) {
    if (c && text != c->GetText().GetData())
        c->SetText(text.c_str());
}
} // namespace

void CFrameHoverUI::FillRow(CControlUI* row, const CMsgInfo& r) {
    CControlUI* item = m_PaintManager.FindSubControlByName(row, L"msg_item");
    if (!item)
        return;
    if (CControlUI* head = m_PaintManager.FindSubControlByName(item, L"head_image"))
        if (auto* avatar = static_cast<CHeadUI*>(head->GetInterface(L"HeadIcon")))
            avatar->SetHeadImage(r.m_strAvatar.c_str());
    SetTextIfChanged(m_PaintManager.FindSubControlByName(item, L"user_name"), r.m_strName);
    SetTextIfChanged(m_PaintManager.FindSubControlByName(item, L"msg_num"),
                     std::to_wstring(r.m_nCount > 99 ? 99 : r.m_nCount));
    SetTextIfChanged(m_PaintManager.FindSubControlByName(item, L"msg_text"), r.m_strText);
}

RECT CFrameHoverUI::TrayIconRect() const {
    RECT icon{0, 0, 0, 0};
    m_trayPos.GetTrayIconRect(m_strTrayTip, icon);
    return icon;
}

void CFrameHoverUI::AdjustPosition() {
    RECT icon = TrayIconRect();
    MONITORINFO mi{};
    mi.cbSize = sizeof(mi);
    platform::GetMonitorInfo(platform::MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTONEAREST), &mi);
    ResizeClient(m_rcSize.right - m_rcSize.left, m_rcSize.bottom - m_rcSize.top);
    RECT rc{};
    platform::GetWindowRect(m_hWnd, &rc);
    POINT at = HoverWindowPosition(icon, mi.rcWork, rc.right - rc.left, rc.bottom - rc.top);
    platform::SetWindowPos(m_hWnd, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CFrameHoverUI::ShowHover() {
    if (GetMessageCount() == 0 || m_bShow)
        return;
    ShowWindow(true, false);
    m_bShow = 1;
    RefreshList();
    platform::KillTimer(m_hWnd, kHoverTimer);
    platform::SetTimer(m_hWnd, kHoverTimer, kHoverCheckMs);
}

void CFrameHoverUI::HideHover() {
    m_bShow = 0;
    ShowWindow(false, false);
}

void CFrameHoverUI::OnHoverTimer(UINT_PTR id) {
    if (id != kHoverTimer)
        return;
    POINT cursor{0, 0};
    platform::GetCursorPos(&cursor);
    RECT self{};
    platform::GetWindowRect(m_hWnd, &self);
    if (platform::PtInRectInclusive(TrayIconRect(), cursor) || platform::PtInRectInclusive(self, cursor))
        return;
    platform::KillTimer(m_hWnd, kHoverTimer);
    HideHover();
}

void CFrameHoverUI::OnRowChosen() {
    std::wstring* id = nullptr;
    {
        std::lock_guard<std::recursive_mutex> lock(m_csMsg);
        int sel = m_pList ? m_pList->GetCurSel() : -1;
        CControlUI* row = sel >= 0 ? m_pList->GetItemAt(sel) : nullptr;
        auto* tag = row ? reinterpret_cast<std::wstring*>(row->GetTag()) : nullptr;
        id = new std::wstring(tag ? *tag : std::wstring());
    }
    if (id->empty()) {
        delete id;
        return;
    }
    if (!platform::PostMessage(m_hMainWnd, WM_OPEN_CONVERSATION, reinterpret_cast<WPARAM>(id), 0))
        delete id;
    HideHover();
}
