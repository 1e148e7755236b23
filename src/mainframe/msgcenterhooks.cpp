// The main window's side of the message center: the account-kind result that shows or hides
// its buttons, opening the message center and the subscription settings, and the guidance
// pop-up that points at the button.
#include "cmainframeui.h"

#include "common/custommsg.h"
#include "common/sysutils.h"
#include "dialogs/guidancepopups.h"
#include "events/eventlogmanage.h"
#include "msgcenter/cframemsgcenterui.h"
#include "msgcenter/cframesubscribesetui.h"
#include "ownedwnd.h"
#include "platform/profile.h"

using namespace DuiLib;

CFrameMsgCenterUI* CMainFrameUI::MsgCenterWnd() { return OwnedPopupOnFirstUse(m_pMsgCenterWnd, m_hWnd); }

CFrameSubscribeSetUI* CMainFrameUI::SubscribeSetWnd() { return OwnedPopupOnFirstUse(m_pSubscribeSetWnd, m_hWnd); }

CMsgGuidanceUI* CMainFrameUI::MsgGuidanceWnd() {
    return OnFirstUse(m_pMsgGuidanceWnd, [this](CMsgGuidanceUI& wnd) {
        if (!CreateOwnedHidden(wnd, m_hWnd))
            return false;
        wnd.SetMainHwnd(m_hWnd);
        return true;
    });
}

void CMainFrameUI::DeleteMsgCenterWindows() {
    delete m_pMsgGuidanceWnd;
    delete m_pSubscribeSetWnd;
    delete m_pMsgCenterWnd;
    m_pMsgGuidanceWnd = nullptr;
    m_pSubscribeSetWnd = nullptr;
    m_pMsgCenterWnd = nullptr;
}

void CMainFrameUI::OnOtaLogin(int flag) {
    if (flag != 1) {
        if (m_pBtnMsgCenter)
            m_pBtnMsgCenter->SetVisible(false);
        AddLoginEvent();
        return;
    }
    // The permission request runs off the window thread; the buttons, the guidance and the
    // "login" event follow its answer, so "has_per" tells what the server said. The request
    // belongs to the message center, which is made now if it was not yet.
    CFrameMsgCenterUI* center = MsgCenterWnd();
    if (center && center->HasUnreadMsg(m_pCookieVisitor->Get(), [this](bool, bool per, bool unread) {
            OnUnreadKnown(per, unread);
        }))
        return;
    OnUnreadKnown(false, false);
}

void CMainFrameUI::OnUnreadKnown(bool hasPermission, bool hasUnread) {
    m_bHasPermission = hasPermission;
    if (m_pBtnMsgCenter)
        m_pBtnMsgCenter->SetVisible(hasPermission);
    if (m_pBtnUnreadMark)
        m_pBtnUnreadMark->SetVisible(hasUnread);
    ShowMsgGuidanceIfDue();
    AddLoginEvent();
}

void CMainFrameUI::AddLoginEvent() {
    g_EventLogManage.AddEvent("login", {{"uid", m_strUidA},
                                        {"name", WideToAnsi(m_strUserName)},
                                        {"ota_id", std::to_string(m_nOtaId)},
                                        {"has_per", m_bHasPermission ? "1" : "0"}});
}

void CMainFrameUI::ShowMsgGuidanceIfDue() {
    if (m_bHasPermission && m_nIsGuidance == 0 && m_bGuidanceClosed)
        ShowMsgGuidance();
}

void CMainFrameUI::ShowMsgGuidance() {
    if (!m_pBtnMsgCenter || !m_pBtnMsgCenter->GetParent())
        return;
    CMsgGuidanceUI* guide = MsgGuidanceWnd();
    if (!guide)
        return;
    RECT r = m_pBtnMsgCenter->GetParent()->GetPos();
    RECT w{};
    platform::GetWindowRect(m_hWnd, &w);
    MoveGuidanceBelow(guide->GetHWND(), (2 * w.left + r.left + r.right) / 2, w.top + r.bottom);
    guide->ShowWindow(true, true);
}

void CMainFrameUI::OpenMsgCenter() {
    // Whoever opens the message center has found it; the pop-up pointing at it goes.
    if (m_pMsgGuidanceWnd)
        m_pMsgGuidanceWnd->ShowWindow(false, false);
    CFrameMsgCenterUI* center = MsgCenterWnd();
    if (!center)
        return;
    if (m_pBtnUnreadMark)
        m_pBtnUnreadMark->SetVisible(false);
    center->InitDlg(m_pCookieVisitor->Get());
    center->CenterWindow();
    center->ShowWindow(true, true);
    if (m_nIsGuidance == 0) {
        center->ShowSubscribeGuidance();
        m_nIsGuidance = platform::GetPrivateProfileInt(L"Guidance", L"IsGuidance", 0, WideToAnsi(m_strIniPath));
    }
}

void CMainFrameUI::OpenSubscribeSet() {
    CFrameSubscribeSetUI* wnd = SubscribeSetWnd();
    if (!wnd)
        return;
    wnd->InitDlg(m_pCookieVisitor->Get(), m_nOtaId);
    wnd->CenterWindow();
    wnd->ShowWindow(true, true);
}

void CMainFrameUI::ResetMsgCenter() {
    if (!m_pMsgCenterWnd)
        return;
    m_pMsgCenterWnd->CancelUnreadQuery();
    HWND wnd = m_pMsgCenterWnd->GetHWND();
    if (wnd && platform::IsWindowVisible(wnd))
        m_pMsgCenterWnd->ShowWindow(false, false);
}
