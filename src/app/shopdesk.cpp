#include "shopdesk.h"

#include <cwchar>

#include "common/custommsg.h"
#include "common/debug.h"
#include "duilib/uicefbrowser.h"
#include "duilib/uilog.h"
#include "duilib/uimanager.h"
#include "duilib/uitray.h"
#include "events/eventlogmanage.h"
#include "mainframe/cmainframeui.h"
#include "platform/knownfolders.h"
#include "platform/quitsignals.h"
#include "protocolcheck.h"
#include "startuprules.h"

using namespace DuiLib;

CshopdeskApp::CshopdeskApp(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        m_args.push_back(AnsiToWide(argv[i]));
}

std::vector<uint16_t> MakeForwardPacket(const std::wstring& uid) {
    std::vector<uint16_t> units(128, 0);
    size_t n = 0;
    for (wchar_t c : uid) {
        uint32_t cp = static_cast<uint32_t>(c);
        size_t need = cp >= 0x10000 ? 2 : 1;
        if (n + need > 127)
            break;
        if (need == 2) {
            cp -= 0x10000;
            units[n++] = static_cast<uint16_t>(0xD800 + (cp >> 10));
            units[n++] = static_cast<uint16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            units[n++] = static_cast<uint16_t>(cp);
        }
    }
    return units;
}

BOOL ForwardUidProc(HWND hwnd, LPARAM lParam) {
    if (!hwnd)
        return TRUE;
    auto* request = reinterpret_cast<SForwardUid*>(lParam);
    if (!request)
        return FALSE;
    wchar_t title[1024] = {0};
    platform::GetWindowText(hwnd, title, 1024);
    if (wcscasecmp(title, kMainWndTitle) != 0)
        return TRUE;
    std::vector<uint16_t> packet = MakeForwardPacket(request->uid);
    COPYDATASTRUCT cds{};
    cds.dwData = 0;
    cds.cbData = 256;
    cds.lpData = packet.data();
    // A window that took the packet answers TRUE; a gone window or instance answers 0.
    if (platform::SendMessage(hwnd, WM_COPYDATA, reinterpret_cast<WPARAM>(hwnd), reinterpret_cast<LPARAM>(&cds)))
        ++request->delivered;
    return TRUE;
}

void CshopdeskApp::InitSkinResources() {
    // The toolkit's skin problems and missing files go to our diagnostic log.
    DuiLib::SetLogSink([](DuiLib::UILogLevel level, const std::wstring& text) {
        if (level == DuiLib::UILOG_ERROR)
            DEBUG_LOG(LOG_LEVEL_ERROR, L"错误", L"%s", text.c_str());
        else
            DEBUG_LOG(LOG_LEVEL_INFO, L"警告", L"%s", text.c_str());
    });
    CPaintManagerUI::SetResourceType(1);
    std::wstring path = CPaintManagerUI::GetInstancePath() + L"Skin/WkeBrowser/";
    CPaintManagerUI::SetResourcePath(path.c_str());
    CResourceManager::GetInstance()->LoadResource(L"res.xml");
}

BOOL CshopdeskApp::InitInstance() {
    m_strExeDir = GetDirOfPath(GetModulePath());

    // The first plain parameter is the command text; the URL protocol passes its URL there.
    std::wstring commandText;
    for (const std::wstring& a : m_args) {
        if (!a.empty() && a[0] != L'-') {
            commandText = a;
            break;
        }
    }
    m_strUid = ExtractUid(commandText);

    // A running browser helper of ours means a workbench may run: hand it the uid and end. A
    // helper left over without a workbench takes nothing, and then this launch starts one.
    bool runtimeRunning = IsProcessRunning(kBrowserHelperName);
    if (!m_strUid.empty() && runtimeRunning) {
        SForwardUid request{m_strUid};
        platform::EnumWindows(ForwardUidProc, reinterpret_cast<LPARAM>(&request));
        if (request.delivered > 0)
            return FALSE;
        DEBUG_LOG(LOG_LEVEL_INFO, L"提示", L"no running workbench took uid %s; starting one", m_strUid.c_str());
    }

    // Log-out and shutdown end the program through its quit, which keeps the queued events.
    platform::InstallQuitSignalHandler([] { platform::PostQuitMessage(0); });
    CPaintManagerUI::SetInstance(nullptr);
    InitSkinResources();

    std::string cacheDir = DeriveCacheFolder();
    m_strCacheDir = AnsiToWide(cacheDir);
    if (!cacheDir.empty())
        platform::CreateDirectoryTree(cacheDir);
    CConfigManage* store = CConfigManage::GetInstance();
    store->Init(m_strCacheDir);
    m_config = STRUCT_Config{};
    store->ReadConfig(m_config);

    // Only a first instance that keeps the login gets a profile on disk.
    std::wstring profile = (!runtimeRunning && m_config.AutoLogin != 0) ? m_strCacheDir : std::wstring();
    if (!CCefBrowserUI::InitCef(nullptr, profile, std::wstring()))
        return FALSE;
    {
        CMainFrameUI frame;
        frame.InitParams(m_strCacheDir, m_config, m_strUid);
        frame.SetInitDoneHook([this] { CheckUrlProtocolRegistration(m_strExeDir, m_strCacheDir); });
        if (frame.Create(nullptr, kMainWndTitle, WS_VISIBLE | WS_OVERLAPPEDWINDOW, WS_EX_WINDOWEDGE)) {
            HWND hwnd = frame.GetHWND();
            platform::InstallQuitSignalHandler([hwnd] { platform::PostMessage(hwnd, WM_QUIT_APP, 0, 0); });
            frame.CenterWindow();
            frame.ShowModal();
        }
        platform::InstallQuitSignalHandler({});
    }
    // The event threads end here, before the exit handlers take down the libraries and statics
    // they use.
    g_EventLogManage.Stop();
    // The icon leaves the tray while the application that shows it is still whole.
    CDuiTrayIcon::GetInstance()->DeleteTrayIcon();
    CCefBrowserUI::Quit();
    return FALSE;
}
