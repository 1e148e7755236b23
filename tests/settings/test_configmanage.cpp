#include <gtest/gtest.h>

#include <algorithm>

#include "common/sysutils.h"
#include "settings/configmanage.h"
#include "support/testenv.h"

namespace {

class ConfigStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        base = home.path() + "/cache/";
        store = CConfigManage::GetInstance();
        store->Init(AnsiToWide(base));
    }
    std::string File() const { return base + "Config/Config.json"; }
    ScopedTestHome home;
    std::string base;
    CConfigManage* store = nullptr;
};

const char kDefaults[] = "{\"Config\":{\"AutoLogin\":1,\"AutoStart\":0,\"ConversationSound\":1,\"ConversationTip\":1,"
                         "\"NewcomerSound\":1,\"NewcomerTip\":1,\"OrderSound\":1,\"OrderTip\":1}}\n";

} // namespace

TEST_F(ConfigStoreTest, NewFileHoldsTheExactDefaults) {
    EXPECT_EQ(ReadFileBytes(File()), kDefaults);
    STRUCT_Config c{};
    ASSERT_TRUE(store->ReadConfig(c));
    EXPECT_EQ(c.AutoStart, 0);
    EXPECT_EQ(c.AutoLogin + c.ConversationTip + c.OrderTip + c.NewcomerTip + c.ConversationSound + c.OrderSound +
                  c.NewcomerSound,
              7);
}

TEST_F(ConfigStoreTest, AutoStartAlwaysMirrorsTheAutorunEntry) {
    WriteFileBytes(File(), "{\"Config\":{\"AutoStart\":1,\"AutoLogin\":1}}");
    STRUCT_Config c{};
    ASSERT_TRUE(store->ReadConfig(c));
    EXPECT_EQ(c.AutoStart, 0);
    ASSERT_TRUE(SetAutoRun(true));
    ASSERT_TRUE(store->ReadConfig(c));
    EXPECT_EQ(c.AutoStart, 1);
    // A new file made while the entry exists says so.
    std::remove(File().c_str());
    store->Init(AnsiToWide(base));
    EXPECT_NE(ReadFileBytes(File()).find("\"AutoStart\":1"), std::string::npos);
}

TEST_F(ConfigStoreTest, EmptyObjectReadsAsOffAndSurvivesInit) {
    WriteFileBytes(File(), "{}");
    store->Init(AnsiToWide(base));
    EXPECT_EQ(ReadFileBytes(File()), "{}");
    STRUCT_Config c;
    memset(&c, 0x55, sizeof(c));
    ASSERT_TRUE(store->ReadConfig(c));
    EXPECT_EQ(c.AutoLogin, 0);
    EXPECT_EQ(c.NewcomerSound, 0);
}

TEST_F(ConfigStoreTest, SaveKeepsExactlyTheEightKeys) {
    WriteFileBytes(File(), "{\"Config\":{\"OrderTip\":0,\"Extra\":5},\"Other\":[1]}");
    STRUCT_Config c{};
    ASSERT_TRUE(store->ReadConfig(c));
    c.OrderSound = 0;
    store->SaveConfig(c);
    EXPECT_EQ(ReadFileBytes(File()),
              "{\"Config\":{\"AutoLogin\":0,\"AutoStart\":0,\"ConversationSound\":0,\"ConversationTip\":0,"
              "\"NewcomerSound\":0,\"NewcomerTip\":0,\"OrderSound\":0,\"OrderTip\":0}}\n");
}

TEST_F(ConfigStoreTest, BrokenOrMistypedFilesLeaveTheRecordUntouched) {
    const char* bad[] = {"{\"Config\":{\"AutoLogin\":1", "not json", "[1,2,3]", "{\"Config\":[1]}",
                         "{\"Config\":{\"AutoLogin\":\"yes\"}}", "{\"Config\":{\"OrderTip\":{}}}",
                         "{\"Config\":{\"OrderTip\":1e20}}", ""};
    for (const char* text : bad) {
        WriteFileBytes(File(), text);
        STRUCT_Config c;
        memset(&c, 0x11, sizeof(c));
        EXPECT_FALSE(store->ReadConfig(c)) << text;
        EXPECT_EQ(c.AutoLogin, 0x11111111) << text;
    }
    std::remove(File().c_str());
    STRUCT_Config c{};
    EXPECT_FALSE(store->ReadConfig(c));
}

TEST_F(ConfigStoreTest, NonZeroValuesReadAsTheirNumbers) {
    WriteFileBytes(File(), "{\"Config\":{\"AutoLogin\":7,\"OrderTip\":-1,\"NewcomerTip\":true}}");
    STRUCT_Config c{};
    ASSERT_TRUE(store->ReadConfig(c));
    EXPECT_EQ(c.AutoLogin, 7);
    EXPECT_EQ(c.OrderTip, -1);
    EXPECT_EQ(c.NewcomerTip, 1);
}

TEST_F(ConfigStoreTest, UnreadableFileIsKeptAsideAndRecreatedWithTheDefaults) {
    const char* unreadable[] = {"\x01\x02garbage", "{\"Config\":{\"AutoLogin\":\"yes\"}}", "[1]", ""};
    for (const char* text : unreadable) {
        WriteFileBytes(File() + ".bad", "an older damaged file");
        WriteFileBytes(File(), text);
        testing::internal::CaptureStderr();
        store->Init(AnsiToWide(base));
        std::string log = testing::internal::GetCapturedStderr();
        EXPECT_EQ(ReadFileBytes(File() + ".bad"), text);
        EXPECT_EQ(ReadFileBytes(File()), kDefaults) << text;
        STRUCT_Config c{};
        ASSERT_TRUE(store->ReadConfig(c));
        EXPECT_EQ(c.ConversationTip + c.ConversationSound + c.AutoLogin, 3);
        EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
        EXPECT_NE(log.find("Config.json.bad"), std::string::npos) << log;
    }
}

TEST_F(ConfigStoreTest, SaveThatCannotBeWrittenLeavesTheOldFile) {
    STRUCT_Config mine{};
    mine.OrderTip = 1;
    store->SaveConfig(mine);
    const std::string before = ReadFileBytes(File());
    STRUCT_Config all{1, 1, 1, 1, 1, 1, 1, 1};
    ASSERT_TRUE(RunWithFileSizeLimit(16, [&] {
        store->SaveConfig(all);
        return true;
    }));
    EXPECT_EQ(ReadFileBytes(File()), before);
    EXPECT_TRUE(LeftoverTemporaries(base + "Config").empty());
    store->SaveConfig(all);
    EXPECT_EQ(ReadFileBytes(File()), CConfigManage::Serialize(all));
}
