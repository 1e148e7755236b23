#include <gtest/gtest.h>

#include <filesystem>

#include "common/sysutils.h"
#include "support/testenv.h"

namespace {
const wchar_t kRun[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
}

TEST(Registry, StoreKeepsValuesPerHiveAndIgnoresCase) {
    ScopedTestHome home;
    std::wstring out;
    EXPECT_FALSE(RegReadString(HKEY_CURRENT_USER, L"Software\\QDX", L"Name", out));
    ASSERT_TRUE(RegWriteString(HKEY_CURRENT_USER, L"Software\\QDX", L"Name", L"商户 \"quoted\""));
    EXPECT_TRUE(RegReadString(HKEY_CURRENT_USER, L"SOFTWARE\\qdx\\", L"name", out));
    EXPECT_EQ(out, L"商户 \"quoted\"");
    EXPECT_FALSE(RegReadString(HKEY_LOCAL_MACHINE, L"Software\\QDX", L"Name", out));
    EXPECT_TRUE(out.empty());

    std::string narrow;
    EXPECT_TRUE(RegReadString(HKEY_CURRENT_USER, std::string("Software\\QDX"), std::string("Name"), narrow));
    EXPECT_TRUE(RegDeleteValueOf(HKEY_CURRENT_USER, L"Software\\QDX", L"Name"));
    EXPECT_FALSE(RegDeleteValueOf(HKEY_CURRENT_USER, L"Software\\QDX", L"Name"));
    EXPECT_FALSE(RegReadString(HKEY_CURRENT_USER, L"Software\\QDX", L"Name", out));
}

TEST(Registry, CorruptStoreReadsAsEmptyAndIsReplacedOnWrite) {
    ScopedTestHome home;
    WriteFileBytes(home.configHome() + "/shopdesk/registry.json", "[1,2");
    std::wstring out;
    EXPECT_FALSE(RegReadString(HKEY_CURRENT_USER, L"K", L"V", out));
    EXPECT_TRUE(RegWriteString(HKEY_CURRENT_USER, L"K", L"V", L"1"));
    EXPECT_TRUE(RegReadString(HKEY_CURRENT_USER, L"K", L"V", out));
}

TEST(AutoRun, RunValueIsTheXdgAutostartEntry) {
    ScopedTestHome home;
    const std::string entry = home.configHome() + "/autostart/shopdesk.desktop";
    EXPECT_FALSE(IsAutoRun());
    EXPECT_FALSE(SetAutoRun(false)); // nothing to remove
    EXPECT_FALSE(std::filesystem::exists(entry));

    ASSERT_TRUE(SetAutoRun(true));
    EXPECT_TRUE(std::filesystem::exists(entry));
    EXPECT_TRUE(IsAutoRun());
    std::wstring path;
    ASSERT_TRUE(RegReadString(HKEY_CURRENT_USER, kRun, L"shopdesk", path));
    EXPECT_EQ(path, GetModulePath());

    ASSERT_TRUE(SetAutoRun(false));
    EXPECT_FALSE(std::filesystem::exists(entry));
    EXPECT_FALSE(IsAutoRun());
}

TEST(AutoRun, ExecLineSurvivesAwkwardPaths) {
    ScopedTestHome home;
    const std::wstring odd = L"/opt/my apps/shop\"desk\\100%$`/shopdesk";
    ASSERT_TRUE(RegWriteString(HKEY_CURRENT_USER, kRun, L"shopdesk", odd));
    std::wstring back;
    ASSERT_TRUE(RegReadString(HKEY_CURRENT_USER, kRun, L"shopdesk", back));
    EXPECT_EQ(back, odd);
    std::string text = ReadFileBytes(home.configHome() + "/autostart/shopdesk.desktop");
    EXPECT_NE(text.find("[Desktop Entry]"), std::string::npos);
    EXPECT_NE(text.find("100%%"), std::string::npos);
}

TEST(MachineGuid, IsShapedLikeTheWindowsValueAndReadOnly) {
    std::string id = GetMachineGuid();
    if (id.empty())
        GTEST_SKIP() << "no machine-id on this system";
    ASSERT_EQ(id.size(), 36u);
    for (size_t i = 0; i < id.size(); ++i) {
        if (i == 8 || i == 13 || i == 18 || i == 23)
            EXPECT_EQ(id[i], '-');
        else
            EXPECT_TRUE(isxdigit(static_cast<unsigned char>(id[i])) && !isupper(static_cast<unsigned char>(id[i])));
    }
    EXPECT_FALSE(RegWriteString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Cryptography", L"MachineGuid", L"x"));
}

TEST(Registry, WriteTheDiskRefusesLeavesTheOldStore) {
    ScopedTestHome home;
    const wchar_t key[] = L"Software\\QDX";
    for (int i = 0; i < 40; ++i)
        ASSERT_TRUE(RegWriteString(HKEY_CURRENT_USER, key, L"V" + std::to_wstring(i), std::wstring(40, L'x')));
    const std::string folder = home.configHome() + "/shopdesk";
    const std::string before = ReadFileBytes(folder + "/registry.json");
    ASSERT_GT(before.size(), 1024u);
    EXPECT_FALSE(RunWithFileSizeLimit(1024, [&] { return RegWriteString(HKEY_CURRENT_USER, key, L"Late", L"1"); }));
    EXPECT_EQ(ReadFileBytes(folder + "/registry.json"), before);
    EXPECT_TRUE(LeftoverTemporaries(folder).empty());
}
