// The URL-protocol check's verdict and the repair script it writes and hands to the shell.
#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

#include "app/protocolcheck.h"
#include "common/sysutils.h"
#include "platform/desktopentry.h"
#include "platform/textconv.h"
#include "support/testenv.h"

namespace fs = std::filesystem;

TEST(UrlProtocolScript, IsTheTenLinesWithTheDoubledPath) {
    // The program runs in a UTF-8 locale, its "ANSI code page".
    ASSERT_TRUE(platform::SetProcessUtf8Locale());
    EXPECT_EQ(MakeUrlProtocolScript(L"C:\\商户 apps\\shopdesk.exe"),
              "Windows Registry Editor Version 5.00\n"
              "[HKEY_CLASSES_ROOT\\tessaril]\n"
              "@=\"tessarilProtocol\"\n"
              "\"URL Protocol\"=\"C:\\\\\xE5\x95\x86\xE6\x88\xB7 apps\\\\shopdesk.exe\"\n"
              "[HKEY_CLASSES_ROOT\\tessaril\\DefaultIcon]\n"
              "@=\"C:\\\\\xE5\x95\x86\xE6\x88\xB7 apps\\\\shopdesk.exe,1\"\n"
              "[HKEY_CLASSES_ROOT\\tessaril\\shell]\n"
              "[HKEY_CLASSES_ROOT\\tessaril\\shell\\open]\n"
              "[HKEY_CLASSES_ROOT\\tessaril\\shell\\open\\command]\n"
              "@=\"\\\"C:\\\\\xE5\x95\x86\xE6\x88\xB7 apps\\\\shopdesk.exe\\\" \\\"%1\\\"\"\n");
}

class UrlProtocolCheck : public ::testing::Test {
protected:
    std::wstring Cache() const { return Utf8ToWide(m_home.path() + "/cache/"); }

    ScopedTestHome m_home;
    ScopedSystemFolders m_system{m_home.path() + "/system"};
    std::wstring m_exe = GetModulePath();
};

TEST_F(UrlProtocolCheck, RepairMakesTheNextCheckPassOnlyForThisFolder) {
    EXPECT_EQ(ExpectedProtocolExecutable(GetDirOfPath(m_exe)), m_exe);
    EXPECT_FALSE(IsUrlProtocolRegistered(m_exe));
    fs::create_directories(m_home.path() + "/cache");

    ASSERT_EQ(WriteAndOpenUrlProtocolScript(m_exe, Cache()), 1);
    EXPECT_EQ(ReadFileBytes(m_home.path() + "/cache/shopdesk.reg"), MakeUrlProtocolScript(m_exe));
    EXPECT_TRUE(IsUrlProtocolRegistered(m_exe));
    // The same program moved elsewhere does not match, and neither does a handler without its icon.
    EXPECT_FALSE(IsUrlProtocolRegistered(ExpectedProtocolExecutable(L"/opt/elsewhere/")));
    std::string entry = m_home.dataHome() + "/applications/shopdesk-url-handler.desktop";
    ASSERT_TRUE(platform::WriteDesktopEntry(entry, "shopdesk", WideToUtf8(m_exe), "%u",
                                            "MimeType=x-scheme-handler/tessaril;\n"));
    EXPECT_FALSE(IsUrlProtocolRegistered(m_exe));
}

TEST_F(UrlProtocolCheck, ScriptGoesToTheWorkingFolderWithoutCacheAndNowhereWhenUnwritable) {
    // A cache "folder" below a plain file cannot be written, whoever runs the test.
    WriteFileBytes(m_home.path() + "/file", "x");
    EXPECT_EQ(WriteAndOpenUrlProtocolScript(m_exe, Utf8ToWide(m_home.path() + "/file/")), 0);
    EXPECT_FALSE(IsUrlProtocolRegistered(m_exe));

    std::string previous = fs::current_path().string();
    fs::current_path(m_home.path());
    EXPECT_EQ(WriteAndOpenUrlProtocolScript(m_exe, L""), 1);
    fs::current_path(previous);
    EXPECT_TRUE(fs::exists(m_home.path() + "/shopdesk.reg"));
    EXPECT_TRUE(IsUrlProtocolRegistered(m_exe));
}
