// Notification road timings inside a real main window, against the demo server. Each section
// prints its figures and "ratio:" lines against a floor measured in the same run:
//   avatars  the window thread's longest stall while 20 new customers' avatars come slowly
//   memory   the main process's memory around ten rounds of 1 MB page arguments and sign-out
//   tip      "UnReadMessage" from the page call until every effect, hover list closed and open
//   burst    1,000 page calls made by script in the page, through its own bridge
//   scaling  one "UnReadMessage" with 1, 10, 100 and 1,000 conversations in the hover list
//   rebuild  the hover list's four-row rebuild against the tip's latency (measures tip too)
// With section names as arguments only those run; without, all of them, slow ones first.
#include <unistd.h>

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "common/custommsg.h"
#include "demopeer.h"
#include "duilib/uicefbrowser.h"
#include "mainframe/cmainframeui.h"
#include "notifyrig.h"
#include "sections.h"
#include "common/sysutils.h"
#include "platform/heap.h"
#include "platform/textconv.h"
#include "platform/winuser.h"
#include "settings/configmanage.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    // As the program's own start does.
    platform::HeapSetInformation(platform::GetProcessHeap(), platform::HeapCompatibilityInformation,
                                 &platform::kHeapLowFragmentation, sizeof(platform::kHeapLowFragmentation));
    platform::SetProcessUtf8Locale();
    auto wanted = [&](const char* name) { return BenchSectionWanted(argc, argv, name); };
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("SDL_AUDIODRIVER"))
        qputenv("SDL_AUDIODRIVER", "dummy");
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");

    std::string work = fs::temp_directory_path().string() + "/shopdesk-bench-notify-" + std::to_string(getpid());
    fs::create_directories(work + "/cache");
    DemoPeer server;
    if (!server.Start(work + "/data")) {
        std::fprintf(stderr, "demo server did not start\n");
        return 1;
    }
    std::string base = server.BaseUrl();
    setenv("SHOPDESK_CONSOLE_HOST", base.c_str(), 1);
    setenv("SHOPDESK_MERCHANT_HOST", base.c_str(), 1);
    setenv("SHOPDESK_MOBILE_HOST", base.c_str(), 1);

    int qtArgc = 1;
    CTimedApplication app(qtArgc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    DuiLib::CPaintManagerUI::SetResourceType(1);
    DuiLib::CPaintManagerUI::SetResourcePath(SHOPDESK_RES_DIR L"/Skin/WkeBrowser/");
    DuiLib::CResourceManager::GetInstance()->LoadResource(L"res.xml");

    std::wstring cacheDir = AnsiToWide(work + "/cache/");
    STRUCT_Config settings{0, 0, 1, 1, 1, 1, 1, 1};
    CConfigManage::GetInstance()->Init(cacheDir);
    CConfigManage::GetInstance()->SaveConfig(settings);
    if (!DuiLib::CCefBrowserUI::InitCef(nullptr, L"", L""))
        return 1;
    SNotifyRig rig;
    rig.server = &server;
    rig.frame = new CMainFrameUI();
    rig.frame->InitParams(cacheDir, settings, L"");
    if (!rig.frame->Create(nullptr, kMainWndTitle, WS_OVERLAPPEDWINDOW, WS_EX_WINDOWEDGE))
        return 1;
    rig.frame->OnPageCall(L"WindowsConfig", {L"bench-m", L"Manager", rig.Url("/avatar/manager.png")});
    rig.RunUntilIdle(0);

    if (wanted("avatars"))
        MeasureSlowAvatarStall(rig, 20, 500);
    if (wanted("memory")) {
        MeasureHugeArgumentMemory(rig, 10);
        rig.frame->OnPageCall(L"WindowsConfig", {L"bench-m", L"Manager", rig.Url("/avatar/manager.png")});
        rig.RunUntilIdle(0);
    }
    if (wanted("burst"))
        MeasurePageBurst(rig, 1000);
    if (wanted("scaling"))
        MeasureHoverScaling(rig);
    if (wanted("tip") || wanted("rebuild")) {
        double tipUs = MeasureTipLatency(rig, 1000);
        if (wanted("rebuild"))
            MeasureHoverRebuild(tipUs);
    }

    delete rig.frame;
    DuiLib::CCefBrowserUI::Quit();
    std::error_code ec;
    fs::remove_all(work, ec);
    return 0;
}
