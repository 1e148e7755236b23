// The main window's life cycle: parameters, controls, owned windows, DPI sizing, clicks and
// system commands.
#include "cmainframeui.h"

#include "common/custommsg.h"
#include "common/debug.h"
#include "dialogs/cguidanceui.h"
#include "dialogs/modalwnds.h"
#include "dpilayout.h"
#include "events/eventlogmanage.h"
#include "net/deployconfig.h"
#include "net/httpwork.h"
#include "notify/avatarcache.h"
#include "notify/cframehoverui.h"
#include "notify/cframepopui.h"
#include "notify/cframetipui.h"
#include "notify/cheadui.h"
#include "ownedwnd.h"
#include "pagescripts.h"
#include "platform/profile.h"
#include "platform/sysinfo.h"
#include "settings/cframesettingui.h"

using namespace DuiLib;

namespace {
const wchar_t kTrayTitle[] = L"塔铎工作台";
constexpr UINT kIconOnline = 128;
constexpr UINT kIconOffline = 150;
constexpr UINT_PTR kStartupStepsTimer = 1;
// Later than the console's first call on any usual start: fired just before that call, the steps
// would hold it up.
constexpr UINT kStartupStepsLatestMs = 1500;
} // namespace

std::wstring ConsoleUrlForUid(const std::wstring& uid) {
    return AnsiToWide(CHttpWork::GetInstance()->GetDeployHosts().strConsoleHost) + L"/admin/index.php?uid=" +
           Utf8ToWide(UrlEncode(WideToUtf8(uid)));
}

std::wstring ConsoleStartUrl() { return AnsiToWide(CHttpWork::GetInstance()->GetDeployHosts().strConsoleHost) + L"/admin"; }

CMainFrameUI::CMainFrameUI()
    : m_PlaySound(GetDirOfPath(GetModulePath())), m_pCookieVisitor(new CCefCookie()),
      m_PageCalls(PageCallAvatar, [this](const SPageCall& call) { RunPageCall(call); }) {}

CMainFrameUI::~CMainFrameUI() {
    // Closed before the version check was answered, or even asked: the store still opens, so
    // the events the quit leaves in the queue are kept.
    if (m_bStartupPending || (!m_bStartupStepsDone && m_pTrayIcon)) {
        StartTransport();
        m_bStartupPending = false;
        StartEventStore();
    }
    delete m_pTrayMenu;
    delete m_pTipWnd;
    delete m_pPopWnd;
    delete m_pHoverWnd;
    delete m_pWaitRing;
    delete m_pSettingWnd;
    delete m_pGuidanceWnd;
    DeleteMsgCenterWindows();
}

void CMainFrameUI::InitParams(const std::wstring& cacheDir, const STRUCT_Config& settings, const std::wstring& uid) {
    m_strCacheDir = cacheDir;
    m_strIniPath = cacheDir + L"Config.ini";
    std::string ini = WideToAnsi(m_strIniPath);
    platform::WritePrivateProfileString(L"Guidance", L"test", L"test", ini);
    m_nIsGuidance = platform::GetPrivateProfileInt(L"Guidance", L"IsGuidance", 0, ini);
    m_Settings = settings;
    m_strUid = uid;
}

CControlUI* CMainFrameUI::CreateControl(LPCTSTR pstrClass) {
    if (EqualNoCase(pstrClass, L"CefBrowser")) {
        // Without a uid (a start with the desktop session) the merchant signs in on the start page.
        std::wstring url = m_strUid.empty() ? ConsoleStartUrl() : ConsoleUrlForUid(m_strUid);
        auto* browser = new CCefBrowserUI(
            m_hWnd, [this](const std::wstring& name, const std::vector<std::wstring>& args) { return OnPageCall(name, args); },
            this, url.c_str());
        // A private deployment's console carries a certificate of its own CA.
        SDeployHosts hosts = CHttpWork::GetInstance()->GetDeployHosts();
        browser->SetPrivateCa(AnsiToWide(hosts.strCaFile), {AnsiToWide(hosts.strConsoleHost), AnsiToWide(hosts.strMerchantApiHost),
                                                            AnsiToWide(hosts.strMobileApiHost)});
        return browser;
    }
    if (EqualNoCase(pstrClass, L"HeadIcon"))
        return new CHeadUI();
    return nullptr;
}

void CMainFrameUI::InitWindow() {
    m_pBtnHide = m_PaintManager.FindControl(L"btnhide");
    m_pBtnMax = m_PaintManager.FindControl(L"maxbtn");
    m_pBtnRestore = m_PaintManager.FindControl(L"restorebtn");
    m_pBtnMin = m_PaintManager.FindControl(L"minbtn");
    m_pBtnSetting = m_PaintManager.FindControl(L"settingbtn");
    m_pBtnMsgCenter = m_PaintManager.FindControl(L"msgcenterbtn");
    m_pBtnUnreadMark = m_PaintManager.FindControl(L"unreadmarkbtn");
    m_pBrowser = static_cast<CCefBrowserUI*>(m_PaintManager.FindControl(L"TestBrowser"));
    m_pBody = m_PaintManager.FindControl(L"body");
    m_pRingWaitLoad = m_PaintManager.FindControl(L"ring_wait_load");
    m_pRefreshFailedLoad = m_PaintManager.FindControl(L"refresh_failed_load");

    AdjustWindowForDpi();

    // The console loads only while this thread serves it, so the start keeps to what the
    // merchant sees at once. The owned windows (the tip, the pop-up and the hover list among
    // them) are made on first use. A guidance window that cannot be made ends the
    // initialisation.
    if (!ShowGuidanceIfDue())
        return;

    m_strTrayTip = kTrayTitle;
    m_pTrayIcon = CDuiTrayIcon::GetInstance();
    m_PageCalls.Attach(m_hWnd, WM_AVATAR_READY);
    // Events stored by earlier runs go out once the console has made its first call.
    g_EventLogManage.HoldReupload();
    platform::SetTimer(m_hWnd, kStartupStepsTimer, kStartupStepsLatestMs);
}

LRESULT CMainFrameUI::OnTimer(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) {
    if (wParam != kStartupStepsTimer)
        return WindowImplBase::OnTimer(uMsg, wParam, lParam, bHandled);
    RunStartupSteps();
    return 0;
}

void CMainFrameUI::StartTransport() {
    if (m_bTransportStarted)
        return;
    m_bTransportStarted = true;
    CAvatarCache::GetInstance()->Init(m_strCacheDir);
    // The library's loading takes a core for some milliseconds: from the window's first frames
    // it took a core their drawing needed, and before them it held up the libraries they load.
    CHttpWork::GetInstance()->GlobalInit();
}

void CMainFrameUI::RunStartupSteps() {
    if (m_bStartupStepsDone || !m_pTrayIcon)
        return;
    m_bStartupStepsDone = true;
    platform::KillTimer(m_hWnd, kStartupStepsTimer);
    m_pTrayIcon->CreateTrayIcon(m_hWnd, kIconOffline, m_strTrayTip.c_str(), 0);
    SetIcon(kIconOnline);
    // The answer arrives as WM_VERSION_CHECKED; the rest of the start-up waits for it. Its
    // thread is made before the transport's library starts loading, if it has not yet: made
    // during that load, it would wait the whole load for the loader's lock, and this thread
    // with it.
    m_bStartupPending = m_VersionCheck.Start(m_hWnd, WM_VERSION_CHECKED);
    StartTransport();
}

void CMainFrameUI::StartEventStore() {
    if (g_EventLogManage.InitDB(m_strCacheDir)) {
        DEBUG_LOG(LOG_LEVEL_ERROR, L"错误", L"shopdesk数据库初始化成功，并启动事件上报管理器！");
        g_EventLogManage.Start();
    } else {
        DEBUG_LOG(LOG_LEVEL_ERROR, L"错误", L"shopdesk数据库初始化失败！事件上报管理器将不会启动！！");
    }
}

CFrameHoverUI* CMainFrameUI::HoverWnd() { return OwnedPopupOnFirstUse(m_pHoverWnd, m_hWnd); }

CWaitRing* CMainFrameUI::WaitRing() {
    return OnFirstUse(m_pWaitRing, [this](CWaitRing& ring) { return CreateOwnedHidden(ring, m_hWnd); });
}

void CMainFrameUI::AdjustWindowForDpi() {
    int dpi = platform::GetDeviceCaps(m_hWnd, LOGPIXELSX);
    SIZE minSize = m_PaintManager.GetMinInfo();
    MONITORINFO mi{};
    mi.cbSize = sizeof(mi);
    platform::GetMonitorInfo(platform::MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTONEAREST), &mi);
    SDpiLayout l = ComputeDpiLayoutInUnits(dpi, minSize.cx, minSize.cy, mi.rcWork);
    if (l.changed) {
        m_PaintManager.SetMinInfo(l.width, l.height);
        platform::MoveWindow(m_hWnd, l.x, l.y, l.width, l.height, TRUE);
    }
    // The monitor in display pixels, the unit its DPI is given in.
    g_EventLogManage.AddEvent("device",
                              {{"zoomlevel", std::to_string(dpi)},
                               {"width", std::to_string(UnitsToDisplayPixels(mi.rcMonitor.right - mi.rcMonitor.left, dpi))},
                               {"height", std::to_string(UnitsToDisplayPixels(mi.rcMonitor.bottom - mi.rcMonitor.top, dpi))}});
}

void CMainFrameUI::OnClick(TNotifyUI& msg) {
    CDuiString name = msg.pSender->GetName();
    if (name.CompareNoCase(L"btnhide") == 0) {
        HideToTray();
    } else if (name.CompareNoCase(L"minbtn") == 0) {
        SendMessage(WM_SYSCOMMAND, SC_MINIMIZE, 0);
        return;
    } else if (name.CompareNoCase(L"maxbtn") == 0) {
        SendMessage(WM_SYSCOMMAND, SC_MAXIMIZE, 0);
        return;
    } else if (name.CompareNoCase(L"restorebtn") == 0) {
        SendMessage(WM_SYSCOMMAND, SC_RESTORE, 0);
        return;
    } else if (name.CompareNoCase(L"settingbtn") == 0) {
        ShowSettingWnd();
    } else if (name.CompareNoCase(L"msgcenterbtn") == 0 || name.CompareNoCase(L"unreadmarkbtn") == 0) {
        OpenMsgCenter();
    } else if (name.CompareNoCase(L"btn_reload") == 0) {
        if (m_pBrowser)
            m_pBrowser->LoadURL(ConsoleStartUrl());
    } else if (name.CompareNoCase(L"config_btn") == 0) {
        RunScript(ScriptGetWindowsConfig());
    } else if (name.CompareNoCase(L"getstate_btn") == 0) {
        RunScript(ScriptGetState());
    } else if (name.CompareNoCase(L"relogin_btn") == 0) {
        RunScript(ScriptReLogin());
    }
    WindowImplBase::OnClick(msg);
}

LRESULT CMainFrameUI::OnSysCommand(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) {
    if ((wParam & 0xFFF0) == SC_CLOSE) {
        bHandled = TRUE;
        HideToTray();
        return 0;
    }
    return WindowImplBase::OnSysCommand(uMsg, wParam, lParam, bHandled);
}

LRESULT CMainFrameUI::OnDestroy(UINT, WPARAM, LPARAM, BOOL& bHandled) {
    if (m_pTrayIcon)
        m_pTrayIcon->DeleteTrayIcon();
    delete m_pTipWnd;
    m_pTipWnd = nullptr;
    bHandled = FALSE; // HandleCustomMessage sees WM_DESTROY next and ends the run
    return 0;
}

void CMainFrameUI::HideToTray() {
    if (CDuiTrayIcon::IsTrayAvailable())
        ShowWindow(false, false);
    else
        platform::ShowWindow(m_hWnd, SW_MINIMIZE);
}

void CMainFrameUI::BringToFront() {
    HWND foreground = platform::GetForegroundWindow();
    DWORD self = platform::GetCurrentThreadId();
    DWORD other = foreground ? platform::GetWindowThreadProcessId(foreground, nullptr) : 0;
    if (other && other != self)
        platform::AttachThreadInput(self, other, TRUE);
    platform::SetForegroundWindow(m_hWnd);
    if (other && other != self)
        platform::AttachThreadInput(self, other, FALSE);
    if (platform::IsIconic(m_hWnd))
        SendMessage(WM_SYSCOMMAND, SC_RESTORE, 0);
    else
        ShowWindow(true, true);
    PostMessage(WM_NULL, 0, 0);
}

void CMainFrameUI::QuitApp() {
    if (m_pBrowser)
        m_pBrowser->CloseCefWindow();
    platform::PostQuitMessage(0);
}
