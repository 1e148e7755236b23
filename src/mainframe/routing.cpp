// Unread state and notification routing: the tray icon and tooltip, the hover list, tips and
// pop-ups by kind and settings, taskbar flashing and sounds.
#include "cmainframeui.h"

#include "common/custommsg.h"
#include "common/debug.h"
#include "events/eventlogmanage.h"
#include "notify/cframehoverui.h"
#include "notify/cframepopui.h"
#include "notify/cframetipui.h"
#include "ownedwnd.h"
#include "pagescripts.h"
#include "platform/sysinfo.h"

using namespace DuiLib;

namespace {
const wchar_t kTrayTitle[] = L"塔铎工作台";

// The pop-up and sound settings of a kind; none for a kind that has no settings.
struct KindSettings {
    const int32_t* tip = nullptr;
    const int32_t* sound = nullptr;
};

KindSettings SettingsOf(const STRUCT_Config& c, const std::wstring& kind) {
    if (kind == g_szKindConversation)
        return {&c.ConversationTip, &c.ConversationSound};
    if (kind == g_szKindOrder)
        return {&c.OrderTip, &c.OrderSound};
    if (kind == g_szKindNewcomer)
        return {&c.NewcomerTip, &c.NewcomerSound};
    return {};
}

// A notification window that is still ours, or a fresh one in its place when something
// outside the program destroyed it.
template <class Wnd>
Wnd* EnsureNotifyWnd(Wnd*& wnd, HWND mainWnd) {
    if (wnd && platform::IsWindow(wnd->GetHWND()))
        return wnd;
    if (wnd) {
        platform::OutputDebugString(L"出现特殊事件：右下角气泡弹窗被360等拦截销毁！\n");
        delete wnd;
        wnd = nullptr;
    }
    return OwnedPopupOnFirstUse(wnd, mainWnd);
}

} // namespace

void CMainFrameUI::SetOnlineIcon(bool online) {
    if (online == m_bOnline)
        return;
    m_bOnline = online;
    if (m_pTrayIcon)
        m_pTrayIcon->SetIcon(online ? 128 : 150);
}

void CMainFrameUI::ResetAccountState() {
    if (m_pTrayIcon)
        m_pTrayIcon->StopTwinkling();
    if (m_pTipWnd)
        m_pTipWnd->HideMessage();
    if (m_pHoverWnd) {
        m_pHoverWnd->ClearMessages();
        m_pHoverWnd->HideHover();
    }
    m_strUidA.clear();
    g_EventLogManage.SetUid("");
    m_strTrayTip = kTrayTitle;
    if (m_pTrayIcon)
        m_pTrayIcon->SetTooltipText(m_strTrayTip.c_str());
    // The page may have sent any length of name; clear() would keep its buffer for the session.
    std::wstring().swap(m_strUserName);
    m_bHasPermission = false;
    m_nOtaId = 0;
    if (m_pBtnMsgCenter)
        m_pBtnMsgCenter->SetVisible(false);
    if (m_pBtnUnreadMark)
        m_pBtnUnreadMark->SetVisible(false);
    ResetMsgCenter();
}

bool CMainFrameUI::IsMainActive() const { return platform::GetActiveWindow() == m_hWnd; }

void CMainFrameUI::ReceiveMessage(const MessageRecord& r) {
    g_EventLogManage.AddEvent("sales_tessaril_receive_msg", {{"msg_content", WideToAnsi(r.strContent)},
                                                            {"msg_id", r.strMsgId},
                                                            {"c_id", WideToAnsi(r.strConversationId)},
                                                            {"type", WideToAnsi(r.strKind)},
                                                            {"is_curuser", WideToAnsi(r.strIsCurUser)}});
    const std::wstring& avatar = r.strAvatarPath;
    bool active = IsMainActive();
    if (!active)
        FlashTaskbar();
    if (r.strKind == g_szKindConversation) {
        if (r.strIsCurUser == L"1") {
            if (!active)
                ShowNotification(r.strKind, r.strConversationId, r.strName, avatar, r.strContent, L"");
        } else {
            if (CFrameHoverUI* hover = HoverWnd())
                hover->AddMessage(r.strConversationId, r.strName, avatar, r.strContent);
            if (m_pTrayIcon && !m_pTrayIcon->IsTwinkling())
                m_pTrayIcon->StartTwinkling();
            ShowNotification(r.strKind, r.strConversationId, r.strName, avatar, r.strContent, L"");
        }
    } else {
        ShowNotification(r.strKind, r.strConversationId, r.strName, avatar, r.strContent, L"");
    }
    PlayKindSound(r.strKind);
}

void CMainFrameUI::ShowNotification(const std::wstring& kind, const std::wstring& id, const std::wstring& name,
                                    const std::wstring& avatar, const std::wstring& text, const std::wstring& link) {
    const int32_t* tip = SettingsOf(m_Settings, kind).tip;
    if (!tip || *tip == 0)
        return;
    std::lock_guard<std::recursive_mutex> lock(m_csNotify);
    if (kind == g_szKindOrder) {
        if (CFramePopUI* pop = EnsureNotifyWnd(m_pPopWnd, m_hWnd))
            pop->ShowMessage(name, text, link, m_pTipWnd && m_pTipWnd->IsShown());
    } else if (CFrameTipUI* tipWnd = EnsureNotifyWnd(m_pTipWnd, m_hWnd)) {
        tipWnd->ShowMessage(id, name, avatar, text, link, m_pPopWnd && m_pPopWnd->IsShown());
    }
}

void CMainFrameUI::PlayKindSound(const std::wstring& kind) {
    const int32_t* sound = SettingsOf(m_Settings, kind).sound;
    if (sound && *sound != 0)
        m_PlaySound.Play(kind);
}

void CMainFrameUI::FlashTaskbar() {
    FLASHWINFO info{};
    info.cbSize = sizeof(info);
    info.hwnd = m_hWnd;
    info.dwFlags = FLASHW_TRAY | FLASHW_TIMERNOFG;
    info.uCount = 5;
    info.dwTimeout = 0;
    platform::FlashWindowEx(&info);
}

void CMainFrameUI::OnOpenConversation(std::wstring* id) {
    if (!id)
        return;
    std::wstring conversation = *id;
    delete id;
    if (conversation.empty())
        return;
    RunScript(ScriptJumptoUser(conversation));
    if (m_pHoverWnd)
        m_pHoverWnd->RemoveMessage(conversation);
    BringToFront();
}
