// The page-call dispatcher: every call of the web console, by name and argument count. The
// browser control delivers calls on the window's thread; a call that shows an avatar waits in
// the page-call queue until the avatar worker has it, and the calls behind it wait too.
// "HandleMessage" is still handed over as a posted record, so its handling follows the other
// queued window messages in order.
#include "cmainframeui.h"

#include <cwchar>

#include "common/custommsg.h"
#include "common/debug.h"
#include "dialogs/modalwnds.h"
#include "events/eventlogmanage.h"
#include "net/httpwork.h"
#include "notify/cframehoverui.h"
#include "notify/displaytext.h"
#include "platform/sysinfo.h"

namespace {

// A decimal count as the page sends it: leading blanks allowed, text after the digits ignored;
// anything that is not a number, or does not fit 32 bits, counts as 0.
int ParseDecimal(const std::wstring& text) {
    const wchar_t* s = text.c_str();
    wchar_t* end = nullptr;
    errno = 0;
    long long v = wcstoll(s, &end, 10);
    if (end == s || errno == ERANGE || v > INT32_MAX || v < INT32_MIN)
        return 0;
    return static_cast<int>(v);
}

unsigned ParseUnsigned(const std::string& text) {
    char* end = nullptr;
    errno = 0;
    unsigned long long v = strtoull(text.c_str(), &end, 10);
    if (end == text.c_str() || errno == ERANGE || v > UINT32_MAX || text.find('-') != std::string::npos)
        return 0;
    return static_cast<unsigned>(v);
}

void TooFew(const std::wstring& name, size_t count, size_t need) {
    platform::OutputDebugString(FormatString(L"Func Name=%s, ArgNum=%d < thisArgNum=%d", name.c_str(),
                                             static_cast<int>(count), static_cast<int>(need)));
}

} // namespace

bool CMainFrameUI::OnPageCall(const std::wstring& name, const std::vector<std::wstring>& args) {
    StartTransport();
    g_EventLogManage.ReleaseReupload();
    m_PageCalls.Submit({name, args, {}});
    return false;
}

bool CMainFrameUI::PageCallAvatar(const SPageCall& call, std::wstring& key, std::wstring& url) {
    const size_t n = call.args.size();
    if ((call.strName == L"UnReadMessage" && n >= 5) || (call.strName == L"HandleMessage" && n >= 6))
        url = call.args[4];
    else if (call.strName == L"WindowsConfig" && n >= 3)
        url = call.args[2];
    else
        return false;
    key = call.args[0];
    return !url.empty();
}

void CMainFrameUI::RunPageCall(const SPageCall& call) {
    RunStartupSteps();
    const std::wstring& name = call.strName;
    const std::vector<std::wstring>& args = call.args;
    const size_t n = args.size();
    if (name == L"HandleMessage") {
        if (n < 6 || !m_bOnline)
            return;
        auto* record = new MessageRecord{args[0], args[1], args[2], args[3], args[4], args[5],
                                         n > 6 ? WideToUtf8(args[6]) : std::string(), call.strAvatarPath};
        if (!platform::PostMessage(m_hWnd, WM_RECEIVE_MSG, reinterpret_cast<WPARAM>(record), 0))
            delete record;
    } else if (name == L"UnReadMessage") {
        if (n >= 5)
            OnUnReadMessage(args, call.strAvatarPath);
    } else if (name == L"WindowsConfig") {
        if (n >= 3)
            OnWindowsConfig(args, call.strAvatarPath);
    } else if (name == L"MessageRead") {
        if (n >= 1 && m_pHoverWnd)
            m_pHoverWnd->RemoveMessage(args[0]);
    } else if (name == L"SendState") {
        if (n >= 2 && m_nQuitState == 1)
            platform::PostMessage(m_hWnd, args[0] != L"stop" ? WM_SHOW_QUIT_MSG : WM_QUIT_APP, 0, 0);
    } else if (name == L"QuitState") {
        if (n < 1)
            return;
        if (args[0] == L"1") {
            platform::EnableWindow(m_hWnd, TRUE);
            if (m_pWaitRing)
                m_pWaitRing->ShowWindow(false, false);
            platform::PostMessage(m_hWnd, WM_QUIT_APP, 0, 0);
        } else {
            platform::OutputDebugString(L"JS Call QuitState  state != 1");
        }
    } else if (name == L"ChangeUser") {
        SetOnlineIcon(false);
        ResetAccountState();
    } else if (name == L"OtherPlaceLogin") {
        SetOnlineIcon(false);
        platform::PostMessage(m_hWnd, WM_OTHER_PLACE_LOGIN, 0, 0);
    } else if (name == L"ReLoginState") {
        if (n >= 1 && args[0] == L"success")
            platform::PostMessage(m_hWnd, WM_GET_WINDOWS_CONFIG, 1, 0);
    } else if (name == L"WindowsInterface") {
        if (n < 1)
            platform::OutputDebugString(L"WindowsInterface ArgNum < 1");
        else
            OnWindowsInterface(args);
    } else {
        platform::OutputDebugString(
            FormatString(L"Unknown Func Name=%s, ArgNum=%d", name.c_str(), static_cast<int>(n)));
    }
}

void CMainFrameUI::OnUnReadMessage(const std::vector<std::wstring>& args, const std::wstring& avatar) {
    const std::wstring &id = args[0], &customer = args[1], &countText = args[2], &text = args[3];
    if (!IsMainActive())
        FlashTaskbar();
    ShowNotification(g_szKindConversation, id, customer, avatar, text, L"");
    int count = ParseDecimal(countText);
    if (CFrameHoverUI* hover = HoverWnd())
        hover->SetUnreadMessage(id, customer, count, avatar, text);
    if (m_pTrayIcon && !m_pTrayIcon->IsTwinkling())
        m_pTrayIcon->StartTwinkling();
    PlayKindSound(g_szKindConversation);
    g_EventLogManage.AddEvent("sales_tessaril_receive_msg", {{"msg_content", WideToAnsi(text)},
                                                            {"c_id", WideToAnsi(id)},
                                                            {"type", "conversation"},
                                                            {"is_curuser", "0"},
                                                            {"unreadnum", WideToAnsi(countText)}});
}

void CMainFrameUI::OnWindowsConfig(const std::vector<std::wstring>& args, const std::wstring& avatar) {
    SetOnlineIcon(true);
    CollectCookies();
    m_strUserName = args[1];
    m_strTrayTip = L"塔铎工作台\r\n管家:" + CutForDisplay(m_strUserName);
    if (m_pTrayIcon)
        m_pTrayIcon->SetTooltipText(m_strTrayTip.c_str());
    if (CFrameHoverUI* hover = HoverWnd())
        hover->SetManagerInfo(args[0], m_strUserName, avatar, m_strTrayTip);
    m_strUidA = WideToUtf8(args[0]);
    CHttpWork::GetInstance()->SetUid(m_strUidA);
    g_EventLogManage.SetUid(m_strUidA);
}

void CMainFrameUI::OnWindowsInterface(const std::vector<std::wstring>& args) {
    const std::wstring& sub = args[0];
    const size_t n = args.size();
    if (sub == L"IsOta") {
        if (n < 2) {
            TooFew(sub, n, 2);
            return;
        }
        if (n > 2)
            m_nOtaId = static_cast<int>(ParseUnsigned(WideToUtf8(args[2])));
        platform::PostMessage(m_hWnd, WM_OTA_LOGIN, static_cast<WPARAM>(ParseDecimal(args[1])), 0);
    } else if (sub == L"OtaMessage") {
        if (n < 5) {
            TooFew(sub, n, 5);
            return;
        }
        OnOtaMessage(args);
    } else if (sub == L"EventSendMsg") {
        if (n < 5) {
            DEBUG_LOG(LOG_LEVEL_INFO, L"提示", L"Func Name=%s, ArgNum=%d < thisArgNum=%d", sub.c_str(),
                      static_cast<int>(n), 5);
            return;
        }
        g_EventLogManage.AddEvent("sales_tessaril_send_msg", {{"c_id", WideToUtf8(args[1])},
                                                             {"content", WideToUtf8(args[2])},
                                                             {"msg_id", WideToUtf8(args[3])},
                                                             {"err_code", WideToUtf8(args[4])}});
    }
}

void CMainFrameUI::OnOtaMessage(const std::vector<std::wstring>& args) {
    const std::wstring &title = args[1], &text = args[2], &link = args[3], &kind = args[4];
    if (m_pBtnMsgCenter && m_pBtnUnreadMark && m_pBtnMsgCenter->IsVisible())
        m_pBtnUnreadMark->SetVisible(true);
    if (!IsMainActive())
        FlashTaskbar();
    ShowNotification(g_szKindOrder, L"", title, L"", text, link);
    if (kind == L"order_is_pay")
        PlayKindSound(g_szKindOrder);
}
