// The main window's message table: instance forwarding, tray events and menu, the quit flow,
// settings changes with their broadcast, and the activation events.
#include "cmainframeui.h"

#include <ctime>

#include "common/custommsg.h"
#include "common/debug.h"
#include "dialogs/modalwnds.h"
#include "events/eventlogmanage.h"
#include "notify/cframehoverui.h"
#include "notify/displaytext.h"
#include "pagescripts.h"
#include "platform/profile.h"
#include "platform/sysinfo.h"
#include "settings/cframesettingui.h"

using namespace DuiLib;

namespace {
// Seconds since 1970 of the last switch between foreground and background.
int64_t g_nLastSwitchTime = 0;
} // namespace

LRESULT CMainFrameUI::HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) {
    static const UINT taskbarCreated = platform::RegisterWindowMessage(L"TaskbarCreated");
    bHandled = FALSE;
    if (uMsg == WM_DESTROY) {
        platform::PostQuitMessage(0);
        bHandled = TRUE;
        return 0;
    }
    if (uMsg == taskbarCreated) {
        if (m_pTrayIcon)
            m_pTrayIcon->ReCreateTrayIcon();
    } else if (uMsg == WM_CLOSE) {
        // The window manager's close (title bar, Alt+F4) hides like the system close command.
        HideToTray();
        bHandled = TRUE;
    } else if (uMsg == WM_COPYDATA) {
        // TRUE tells the sending launch that a workbench took its packet, so it may end.
        OnCopyData(lParam);
        bHandled = TRUE;
        return TRUE;
    } else if (uMsg == WM_TRAY_ICON) {
        if (lParam == WM_RBUTTONUP)
            ShowTrayMenu();
        else if (lParam == WM_LBUTTONDOWN)
            BringToFront();
        else if (lParam == WM_MOUSEMOVE) {
            if (CFrameHoverUI* hover = HoverWnd())
                hover->ShowHover();
        }
    } else if (uMsg == WM_OPEN_CONVERSATION) {
        OnOpenConversation(reinterpret_cast<std::wstring*>(wParam));
    } else if (uMsg == WM_SHOW_MAIN_WND) {
        BringToFront();
    } else if (uMsg == WM_HOVER_EMPTY) {
        if (m_pTrayIcon)
            m_pTrayIcon->StopTwinkling();
    } else if (uMsg == WM_OTHER_PLACE_LOGIN) {
        ShowOtherPlaceLogin();
    } else if (uMsg == WM_CHANGE_STATE) {
        OnChangeState(static_cast<int>(wParam), static_cast<int>(lParam));
    } else if (uMsg == WM_SHOW_QUIT_MSG) {
        ShowQuitConfirm();
    } else if (uMsg == WM_QUIT_APP) {
        QuitApp();
    } else if (uMsg == WM_CONFIG_CHANGE) {
        OnConfigChange(static_cast<int>(wParam), static_cast<int>(lParam));
    } else if (uMsg == WM_RELOAD_CONFIG) {
        CConfigManage::GetInstance()->ReadConfig(m_Settings);
    } else if (uMsg == WM_LOAD_ERROR) {
        // A console that did not load makes no first call: the tray icon and the version check
        // come now, before the merchant is asked what to do.
        RunStartupSteps();
        ShowNoNetwork();
    } else if (uMsg == WM_RECEIVE_MSG) {
        auto* record = reinterpret_cast<MessageRecord*>(wParam);
        if (record) {
            ReceiveMessage(*record);
            delete record;
        }
    } else if (uMsg == WM_OTA_LOGIN) {
        OnOtaLogin(static_cast<int>(wParam));
        bHandled = TRUE;
        return 0;
    } else if (uMsg == WM_SHOW_SUBSCRIBE_SET) {
        OpenSubscribeSet();
    } else if (uMsg == WM_SHOW_MSG_CENTER) {
        OpenMsgCenter();
    } else if (uMsg == WM_GUIDANCE_CLOSED) {
        m_bGuidanceClosed = true;
        ShowMsgGuidanceIfDue();
    } else if (uMsg == WM_GUIDANCE_DONE) {
        platform::WritePrivateProfileString(L"Guidance", L"IsGuidance", L"1", WideToAnsi(m_strIniPath));
    } else if (uMsg == WM_MENU_CLICK) {
        auto* item = reinterpret_cast<CDuiString*>(wParam);
        if (item) {
            std::wstring name = *item;
            CPaintManagerUI::DeletePtr(item);
            OnMenuClick(name);
        }
    } else if (uMsg == WM_ACTIVATEAPP) {
        OnActivateApp(wParam);
    } else if (uMsg == WM_VERSION_CHECKED) {
        OnVersionChecked();
    } else if (uMsg == WM_AVATAR_READY) {
        m_PageCalls.OnAnswer(reinterpret_cast<SAvatarAnswer*>(wParam));
    } else if (uMsg == WM_GET_WINDOWS_CONFIG) {
        RunScript(ScriptGetWindowsConfig());
    }
    return 0;
}

void CMainFrameUI::OnCopyData(LPARAM lParam) {
    auto* packet = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    if (!packet)
        return;
    std::wstring uid;
    if (packet->cbData == 256 && packet->lpData) {
        // 128 UTF-16 units, zero-terminated within the packet.
        const auto* units = static_cast<const uint16_t*>(packet->lpData);
        std::u16string text;
        for (int i = 0; i < 128 && units[i]; ++i)
            text.push_back(static_cast<char16_t>(units[i]));
        for (size_t i = 0; i < text.size(); ++i) {
            char32_t c = text[i];
            if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
                ++i;
            }
            uid.push_back(static_cast<wchar_t>(c));
        }
    }
    if (uid.empty() || !m_pBrowser)
        return;
    m_pBrowser->LoadURL(ConsoleUrlForUid(uid));
    BringToFront();
}

void CMainFrameUI::ShowTrayMenu() {
    if (m_pHoverWnd)
        m_pHoverWnd->HideHover();
    if (m_nQuitState > 0)
        return;
    platform::SetForegroundWindow(m_hWnd);
    // Only the last menu is kept; an earlier one is closed by now or replaced by this one.
    delete m_pTrayMenu;
    m_pTrayMenu = new CMenuWnd();
    POINT pt{0, 0};
    platform::GetCursorPos(&pt);
    MONITORINFO mi{};
    mi.cbSize = sizeof(mi);
    platform::GetMonitorInfo(platform::MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTONEAREST), &mi);
    if (pt.y > mi.rcWork.bottom)
        pt.y = mi.rcWork.bottom;
    m_pTrayMenu->Init(nullptr, L"trayicon_menu_online.xml", pt, &m_PaintManager, nullptr,
                      eMenuAlignment_Left | eMenuAlignment_Bottom);
    CMenuUI* menu = m_pTrayMenu->GetMenuUI();
    CControlUI* first = menu && menu->GetCount() > 0 ? menu->GetItemAt(0) : nullptr;
    if (CControlUI* account = first ? m_pTrayMenu->GetPaintManager().FindSubControlByName(first, L"account") : nullptr) {
        std::wstring text = L"管家:" + CutForDisplay(m_strUserName);
        account->SetText(text.c_str());
        account->SetToolTip(text.c_str());
    }
    PostMessage(WM_NULL, 0, 0);
}

void CMainFrameUI::OnMenuClick(const std::wstring& item) {
    if (EqualNoCase(item.c_str(), L"menu_quit")) {
        if (!m_bOnline) {
            QuitApp();
            return;
        }
        m_nQuitState = 1;
        RunScript(ScriptGetState());
    } else if (EqualNoCase(item.c_str(), L"menu_switch")) {
        SetOnlineIcon(false);
        if (m_pBrowser)
            m_pBrowser->SwitchUser();
        ResetAccountState();
        BringToFront();
    } else if (EqualNoCase(item.c_str(), L"menu_setting")) {
        BringToFront();
        ShowSettingWnd();
    }
}

void CMainFrameUI::ShowQuitConfirm() {
    BringToFront();
    if (m_pSettingWnd)
        m_pSettingWnd->ShowWindow(false, false);
    CQuitMsgUI quit;
    if (!quit.Create(m_hWnd, L"", WS_POPUP | WS_CLIPCHILDREN, WS_EX_TOOLWINDOW))
        return;
    quit.CenterWindow();
    quit.SetMainHwnd(m_hWnd);
    if (quit.ShowModal() == IDCANCEL)
        m_nQuitState = 0;
    // The dialog's end gives its owner back its input; a state change it asked for keeps the
    // merchant out until the page confirms it.
    if (m_nQuitState == 2)
        platform::EnableWindow(m_hWnd, FALSE);
    if (quit.IsForceQuit())
        QuitApp();
}

void CMainFrameUI::OnChangeState(int a, int b) {
    m_nQuitState = 2;
    RunScript(ScriptChangeState(a, b));
    if (CWaitRing* ring = WaitRing()) {
        ring->CenterWindow();
        ring->ShowWindow(true, false);
    }
    platform::EnableWindow(m_hWnd, FALSE);
}

void CMainFrameUI::OnConfigChange(int index, int value) {
    int32_t* fields[] = {&m_Settings.AutoStart,         &m_Settings.AutoLogin,   &m_Settings.ConversationTip,
                         &m_Settings.OrderTip,          &m_Settings.NewcomerTip, &m_Settings.ConversationSound,
                         &m_Settings.OrderSound,        &m_Settings.NewcomerSound};
    if (index < 0 || index > 7) {
        platform::OutputDebugString(FormatString(L"Unknown config type = %d", index));
        return;
    }
    if (*fields[index] == value)
        return;
    if (index == 0 && !SetAutoRun(value != 0)) {
        platform::OutputDebugString(FormatString(L"!SetAutoRun(_value) _value = %d", value));
        // The option was already flipped by the click: show the setting as it really is.
        if (m_pSettingWnd)
            m_pSettingWnd->SetConfig(m_Settings);
        return;
    }
    *fields[index] = value;
    CConfigManage::GetInstance()->SaveConfig(m_Settings);
    // Every running instance, this one included, reloads the file.
    platform::EnumWindows([](HWND hwnd) {
        if (EqualNoCase(platform::GetWindowText(hwnd).c_str(), kMainWndTitle))
            platform::PostMessage(hwnd, WM_RELOAD_CONFIG, 0, 0);
        return true;
    });
}

void CMainFrameUI::OnActivateApp(WPARAM activated) {
    int64_t now = static_cast<int64_t>(time(nullptr));
    if (g_nLastSwitchTime == 0)
        g_nLastSwitchTime = now;
    if (activated == 1) {
        int64_t background = now - g_nLastSwitchTime;
        g_nLastSwitchTime = now;
        std::string newGuid = WideToAnsi(MakeGuidString());
        std::map<std::string, std::string> attrs = {
            {"bg_lunch_guid", g_EventLogManage.GetLaunchGuid()},
            {"bg_duration", WideToAnsi(FormatString(L"%lld", static_cast<long long>(background)))}};
        g_EventLogManage.SetLaunchGuid(newGuid);
        g_EventLogManage.AddEvent("launch_begin", attrs);
    } else if (activated == 0) {
        int64_t duration = now - g_nLastSwitchTime;
        g_nLastSwitchTime = now;
        g_EventLogManage.AddEvent("launch", {{"duration", WideToAnsi(FormatString(L"%lld", static_cast<long long>(duration)))}});
        g_EventLogManage.SetLaunchGuid(WideToAnsi(MakeGuidString()));
    }
}
