#pragma once
// The hover list over the tray icon: the signed-in manager and up to four unread
// conversations, newest first. The records may be fed from any thread; one lock guards them.
// Everything that touches the window (rows, header, size, hiding) runs on the window's
// thread: from another thread it is posted there. The rows follow the records once per turn
// of the window's message loop, however many updates that turn brought, so a burst of page
// calls costs one rebuild.
#include <ctime>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "ctrayiconpos.h"
#include "smallwindow.h"

class CHeadUI;

// One unread conversation. Name and text are kept as shown, cut for display.
struct CMsgInfo {
    std::wstring m_strId;
    std::wstring m_strName;
    int m_nCount = 0;
    std::wstring m_strText;
    int64_t m_tTime = static_cast<int64_t>(time(nullptr));
    std::wstring m_strAvatar;
};

// Client size of the hover window for `count` records: 258 wide, one 60-pixel row per record
// up to four, 136 high for none or one.
SIZE HoverClientSize(size_t count);
// Top-left corner for a window `width` x `height`: bottom edge on the work area's bottom,
// centred on the icon, never past the work area's right edge.
POINT HoverWindowPosition(const RECT& icon, const RECT& work, int width, int height);

class CFrameHoverUI : public CSmallWindowUI {
public:
    static constexpr UINT_PTR kHoverTimer = 1;
    static constexpr UINT kHoverCheckMs = 2000;
    static constexpr int kMaxRows = 4;

    CFrameHoverUI();
    ~CFrameHoverUI() override;

    DuiLib::CDuiString GetSkinFile() override { return L"iconhovermsg.xml"; }
    void InitWindow() override;
    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
    void Notify(DuiLib::TNotifyUI& msg) override;
    void OnClick(DuiLib::TNotifyUI& msg) override;

    void SetManagerInfo(const std::wstring& id, const std::wstring& name, const std::wstring& avatar,
                        const std::wstring& trayTip);
    // One more message of a conversation: count + 1, moved to the top. Empty ids are ignored.
    // The records change at once; the rows, size and place follow in the next turn of the loop.
    void AddMessage(const std::wstring& id, const std::wstring& name, const std::wstring& avatar,
                    const std::wstring& text);
    // A conversation with a known unread count, moved to the top.
    void SetUnreadMessage(const std::wstring& id, const std::wstring& name, int count, const std::wstring& avatar,
                          const std::wstring& text);
    // Drops a conversation; when none is left the window hides and WM_HOVER_EMPTY is posted.
    void RemoveMessage(const std::wstring& id);
    void ClearMessages();
    int GetMessageCount();
    // The conversation ids in display order (newest first) and one record, for the owner's checks.
    std::vector<std::wstring> GetMessageIds();
    bool GetMessage(const std::wstring& id, CMsgInfo& out);

    void ShowHover();
    void HideHover();
    bool IsShowing() const { return m_bShow != 0; }
    const RECT& GetWantedSize() const { return m_rcSize; }

protected:
    // The native window is going (also when something outside the program destroys it): the
    // controls go with it, so the rows' id copies are freed and the pointers dropped. The
    // records stay and keep being fed.
    void OnReleaseWindow() override;

private:
    void FreeRowTags();
    // Runs `work` now on the window's thread, or posts it there from any other thread.
    void OnWindowThread(std::function<void()> work);
    // Asks for one RefreshList in the next turn of the window's loop, unless one is asked for.
    void ScheduleRefresh();
    // After a removal: hide and tell the owner when nothing is left.
    void AfterRemoval();
    void Upsert(const std::wstring& id, const std::wstring& name, const std::wstring& avatar, const std::wstring& text,
                const std::function<int(int)>& count);
    bool MoveToFront(CMsgInfo* record);
    void RefreshList();
    void RebuildList();
    static std::wstring* RowId(DuiLib::CControlUI* row);
    // The row's tag: a heap copy of the id it shows, or none for a hidden row.
    static void SetRowId(DuiLib::CControlUI* row, const std::wstring* id);
    DuiLib::CControlUI* CreateRow();
    void FillRow(DuiLib::CControlUI* row, const CMsgInfo& r);
    void AdjustPosition();
    void OnHoverTimer(UINT_PTR id);
    void OnRowChosen();
    RECT TrayIconRect() const;

    DuiLib::CControlUI* m_pManagerName = nullptr;
    CHeadUI* m_pHeadImage = nullptr;
    DuiLib::CControlUI* m_pViewAll = nullptr;
    DuiLib::CListUI* m_pList = nullptr;
    std::wstring m_strManagerId;
    std::wstring m_strManagerName;
    std::wstring m_strManagerAvatar;
    std::wstring m_strTrayTip;
    RECT m_rcSize{0, 0, 258, 316};
    std::recursive_mutex m_csMsg;
    std::map<std::wstring, CMsgInfo*> m_mapMsg;
    std::vector<CMsgInfo*> m_vecMsg;
    int m_bShow = 0;
    bool m_bRefreshPosted = false; // guarded by m_csMsg
    CTrayIconPos m_trayPos;
};
