// Runs the tests inside a Qt application with the program's skins loaded: windows exist only
// while an application does, and their messages travel through its event queues.
#include <QApplication>
#include <gtest/gtest.h>

#include "duilib/uimanager.h"
#include "platform/textconv.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS();
    platform::SetProcessUtf8Locale();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The browser runtime, when a test starts it, runs without GPU and sandbox here.
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    DuiLib::CPaintManagerUI::SetResourceType(1);
    DuiLib::CPaintManagerUI::SetResourcePath(SHOPDESK_RES_DIR L"/Skin/WkeBrowser/");
    DuiLib::CResourceManager::GetInstance()->LoadResource(L"res.xml");
    return RUN_ALL_TESTS();
}
