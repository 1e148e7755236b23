#include "cframenotify.h"

#include "common/debug.h"
#include "platform/shell.h"

using DuiLib::TNotifyUI;

LRESULT CFrameNotifyUI::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (uMsg == WM_TIMER && wParam == kHideTimer) {
        HideMessage();
        platform::KillTimer(m_hWnd, kHideTimer);
    }
    return CSmallWindowUI::HandleMessage(uMsg, wParam, lParam);
}

void CFrameNotifyUI::Notify(TNotifyUI& msg) {
    if (msg.sType == DUI_MSGTYPE_CLICK && msg.pSender && msg.pSender->GetName() == L"msg_text") {
        OnTextClicked();
        HideMessage();
    }
    CSmallWindowUI::Notify(msg);
}

void CFrameNotifyUI::OnClick(TNotifyUI& msg) {
    if (msg.pSender->GetName() == L"hidebtn")
        HideMessage();
    CSmallWindowUI::OnClick(msg);
}

void CFrameNotifyUI::HideMessage() {
    ShowWindow(false, false);
    m_bShow = false;
}

void CFrameNotifyUI::AdjustPosition(bool otherShowing, int lift) {
    RECT rc{};
    platform::GetWindowRect(m_hWnd, &rc);
    MONITORINFO mi{};
    mi.cbSize = sizeof(mi);
    platform::GetMonitorInfo(platform::MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTONEAREST), &mi);
    int x = mi.rcWork.right - (rc.right - rc.left) - 10;
    int y = mi.rcWork.bottom - (rc.bottom - rc.top) - 10;
    if (otherShowing)
        y -= lift;
    platform::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CFrameNotifyUI::ShowForAWhile() {
    ShowWindow(true, false);
    m_bShow = true;
    platform::SetTimer(m_hWnd, kHideTimer, kShowMs);
}

void CFrameNotifyUI::OpenLink(const std::wstring& url) {
    if (!platform::ShellOpen(url))
        DEBUG_LOG(LOG_LEVEL_INFO, L"警告", L"could not open %s", url.c_str());
}
