#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <thread>

#include "common/debuglog.h"
#include "common/sysutils.h"
#include "support/testenv.h"

namespace fs = std::filesystem;

namespace {

// Each test builds its own log object against a fresh home and a program path inside it,
// and puts the process-wide switches back afterwards.
class DebugLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_level = g_iDebugLevel;
        m_save = g_bSaveLogFile;
        m_program = home.path() + "/bin/shopdesk";
        fs::create_directories(home.path() + "/bin");
        m_logDir = home.dataHome() + "/QDX/DbgLog";
    }
    void TearDown() override {
        g_iDebugLevel = m_level;
        g_bSaveLogFile = m_save;
    }
    void WriteCfg(const std::string& body) { WriteFileBytes(home.path() + "/bin/DbgLog.cfg", "[DbgLogCfg]\n" + body); }
    std::wstring Program() const { return AnsiToWide(m_program); }
    std::vector<std::string> LogFiles() const {
        std::vector<std::string> out;
        if (fs::exists(m_logDir))
            for (auto& e : fs::directory_iterator(m_logDir))
                if (e.path().extension() == ".log")
                    out.push_back(e.path().string());
        std::sort(out.begin(), out.end());
        return out;
    }
    void MakeLogs(int count, size_t size = 10) {
        fs::create_directories(m_logDir);
        for (int i = 0; i < count; ++i)
            WriteFileBytes(m_logDir + "/log_20240101_" + std::to_string(1000 + i) + ".log", std::string(size, 'x'));
    }

    ScopedTestHome home;
    std::string m_program, m_logDir;
    int m_level = 0;
    bool m_save = false;
};

} // namespace

TEST_F(DebugLogTest, FirstStartWritesDefaultsAndNoLogFile) {
    CDebugLog log(L"DbgLog");
    EXPECT_EQ(log.Init(Program()), -1); // file logging is off by default
    std::string cfg = ReadFileBytes(home.path() + "/bin/DbgLog.cfg");
    std::map<std::string, std::string> values;
    std::istringstream in(cfg);
    std::string line;
    while (std::getline(in, line))
        if (auto eq = line.find('='); eq != std::string::npos)
            values[line.substr(0, eq)] = line.substr(eq + 1);
    std::map<std::string, std::string> expected = {{"g_bSaveLogFile", "0"},
                                                   {"g_iDebugLevel", "2147483647"},
                                                   {"g_iMaxFileNum", "50"},
                                                   {"MAX_LOG_FILE_SIZE", "5242880"},
                                                   {"MAX_LOG_FILE_HOUR", "72"}};
    EXPECT_EQ(values, expected);
    EXPECT_NE(cfg.find("[DbgLogCfg]"), std::string::npos);
    EXPECT_TRUE(LogFiles().empty());
    EXPECT_FALSE(log.IsFileOpen());
}

TEST_F(DebugLogTest, FileLoggingCreatesNamedFileStartingWithPrefixedBanner) {
    WriteCfg("g_bSaveLogFile=1\n");
    CDebugLog log(L"DbgLog");
    ASSERT_EQ(log.Init(Program()), 0);
    auto files = LogFiles();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_TRUE(std::regex_match(fs::path(files[0]).filename().string(), std::regex(R"(log_\d{8}_-?\d+\.log)")));
    std::string text = ReadFileBytes(files[0]);
    std::regex banner(R"(^提示<FILE:[^>]*debuglog\.cpp\(\d+\)>\[ProcessID:\d+,ThreadID:\d+\])"
                      R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}\t={22}应用程序shopdesk启动开始={21}\n)");
    EXPECT_TRUE(std::regex_search(text, banner)) << text;
    // The config file is not rewritten when it exists.
    EXPECT_EQ(ReadFileBytes(home.path() + "/bin/DbgLog.cfg"), "[DbgLogCfg]\ng_bSaveLogFile=1\n");
}

TEST_F(DebugLogTest, CountPruningKeepsTheNewestAndAppendsToTheLast) {
    WriteCfg("g_bSaveLogFile=1\ng_iMaxFileNum=50\n");
    MakeLogs(60);
    CDebugLog log(L"DbgLog");
    ASSERT_EQ(log.Init(Program()), 0);
    auto files = LogFiles();
    ASSERT_EQ(files.size(), 50u);
    EXPECT_EQ(fs::path(files.front()).filename(), "log_20240101_1010.log");
    // The newest file was below the size limit, so it was reused.
    EXPECT_EQ(AnsiToWide(m_logDir + "/log_20240101_1059.log"), log.GetLogFile());
}

TEST_F(DebugLogTest, NaturalOrderMakesTheLongerTickTheNewest) {
    WriteCfg("g_bSaveLogFile=1\n");
    fs::create_directories(m_logDir);
    WriteFileBytes(m_logDir + "/log_20240101_999.log", "a");
    WriteFileBytes(m_logDir + "/log_20240101_1000.log", "b");
    std::vector<std::wstring> list;
    EXPECT_EQ(EnumFilesByExt(AnsiToWide(m_logDir), L".log", list), 2);
    EXPECT_NE(list.back().find(L"_1000.log"), std::wstring::npos);
    CDebugLog log(L"DbgLog");
    ASSERT_EQ(log.Init(Program()), 0);
    EXPECT_NE(log.GetLogFile().find(L"_1000.log"), std::wstring::npos);
}

TEST_F(DebugLogTest, FullNewestFileStartsANewOneAndOldFilesAgeOut) {
    WriteCfg("g_bSaveLogFile=1\nMAX_LOG_FILE_SIZE=100\nMAX_LOG_FILE_HOUR=1\n");
    MakeLogs(3, 99); // newest is at the limit minus one byte
    std::string old = m_logDir + "/log_20240101_1000.log";
    struct timespec times[2] = {{time(nullptr) - 7200, 0}, {time(nullptr) - 7200, 0}};
    utimensat(AT_FDCWD, old.c_str(), times, 0);
    CDebugLog log(L"DbgLog");
    ASSERT_EQ(log.Init(Program()), 0);
    EXPECT_FALSE(fs::exists(old));
    auto files = LogFiles();
    EXPECT_EQ(files.size(), 3u); // two kept plus the new one
    EXPECT_EQ(log.GetLogFile().find(L"log_20240101_"), std::wstring::npos);
}

TEST_F(DebugLogTest, SizeSwitchMovesToAFreshFileAndPrunesAgain) {
    WriteCfg("g_bSaveLogFile=1\nMAX_LOG_FILE_SIZE=300\ng_iMaxFileNum=2\n");
    CDebugLog log(L"DbgLog");
    ASSERT_EQ(log.Init(Program()), 0);
    std::set<std::wstring> used{log.GetLogFile()};
    for (int i = 0; i < 40; ++i) {
        log.Log(LOG_LEVEL_INFO, L"提示", __FILE__, __LINE__, L"line %d", i);
        used.insert(log.GetLogFile());
        std::this_thread::sleep_for(std::chrono::milliseconds(2)); // distinct tick in the name
    }
    EXPECT_GT(used.size(), 2u);
    EXPECT_LE(LogFiles().size(), 2u);
    for (auto& f : LogFiles())
        EXPECT_LT(fs::file_size(f), 300u + 200u);
}

TEST_F(DebugLogTest, ConcurrentWritersLeaveEveryLineWhole) {
    WriteCfg("g_bSaveLogFile=1\nMAX_LOG_FILE_SIZE=1000000000\n");
    CDebugLog log(L"DbgLog");
    ASSERT_EQ(log.Init(Program()), 0);
    const int kThreads = 8, kLines = 10000;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&log, t] {
            for (int i = 0; i < kLines; ++i)
                log.Log(LOG_LEVEL_INFO, L"提示", __FILE__, __LINE__, L"thread=%d line=%d payload=%s", t, i,
                        L"abcdefghijklmnopqrstuvwxyz0123456789");
        });
    for (auto& th : threads)
        th.join();
    std::ifstream in(WideToAnsi(log.GetLogFile()));
    std::regex whole(R"(^提示<FILE:[^>]*>\[ProcessID:\d+,ThreadID:\d+\][-0-9 :.]+\t)"
                     R"(thread=(\d) line=(\d+) payload=abcdefghijklmnopqrstuvwxyz0123456789$)");
    std::vector<int> next(kThreads, 0);
    std::string line;
    int count = 0;
    std::getline(in, line); // start banner
    while (std::getline(in, line)) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(line, m, whole)) << line;
        int t = std::stoi(m[1]);
        EXPECT_EQ(std::stoi(m[2]), next[t]++); // each thread's lines in its own order
        ++count;
    }
    EXPECT_EQ(count, kThreads * kLines);
}

TEST_F(DebugLogTest, LevelMaskAndPercentText) {
    WriteCfg("g_bSaveLogFile=1\ng_iDebugLevel=4\n");
    CDebugLog log(L"DbgLog");
    ASSERT_EQ(log.Init(Program()), 0);
    log.Log(LOG_LEVEL_INFO, L"提示", __FILE__, __LINE__, L"%s", L"url=a%20b%s");
    log.Log(LOG_LEVEL_ERROR, L"错误", __FILE__, __LINE__, L"dropped error");
    std::string text = ReadFileBytes(WideToAnsi(log.GetLogFile()));
    EXPECT_NE(text.find("\turl=a%20b%s\n"), std::string::npos);
    EXPECT_EQ(text.find("dropped error"), std::string::npos);

    g_iDebugLevel = 0;
    log.Log(LOG_LEVEL_INFO, L"提示", __FILE__, __LINE__, L"silenced");
    EXPECT_EQ(ReadFileBytes(WideToAnsi(log.GetLogFile())).find("silenced"), std::string::npos);
}

TEST_F(DebugLogTest, MalformedConfigUsesDefaultsAndUncreatableFolderFails) {
    WriteFileBytes(home.path() + "/bin/DbgLog.cfg", "not [ an ini\n");
    // A file where the log folder should be makes the folder impossible to create.
    WriteFileBytes(home.dataHome() + "/QDX", "file in the way");
    CDebugLog log(L"DbgLog");
    EXPECT_EQ(log.Init(Program()), -1);
    EXPECT_FALSE(g_bSaveLogFile);
    EXPECT_EQ(g_iDebugLevel, 0x7FFFFFFF);
    log.Log(LOG_LEVEL_INFO, L"提示", __FILE__, __LINE__, L"still reaches standard error");
    EXPECT_EQ(ReadFileBytes(home.path() + "/bin/DbgLog.cfg"), "not [ an ini\n");
}

TEST_F(DebugLogTest, LimitsThatAreNotPositiveNumbersFallBackToTheirDefaults) {
    const char* configs[] = {"g_iMaxFileNum=0\nMAX_LOG_FILE_SIZE=-5\nMAX_LOG_FILE_HOUR=soon\n",
                             "g_iMaxFileNum=many\nMAX_LOG_FILE_SIZE=0\nMAX_LOG_FILE_HOUR=-1\n"};
    for (const char* limits : configs) {
        fs::remove_all(m_logDir);
        WriteCfg(std::string("g_bSaveLogFile=1\n") + limits);
        MakeLogs(3);
        CDebugLog log(L"DbgLog");
        ASSERT_EQ(log.Init(Program()), 0);
        // Nothing pruned at start, and no new file for every line.
        EXPECT_EQ(LogFiles().size(), 3u) << limits;
        std::wstring file = log.GetLogFile();
        for (int i = 0; i < 20; ++i)
            log.Log(LOG_LEVEL_INFO, L"提示", __FILE__, __LINE__, L"line %d", i);
        EXPECT_EQ(log.GetLogFile(), file) << limits;
        EXPECT_EQ(LogFiles().size(), 3u) << limits;
        std::string text = ReadFileBytes(WideToAnsi(file));
        for (const char* key : {"g_iMaxFileNum", "MAX_LOG_FILE_SIZE", "MAX_LOG_FILE_HOUR"})
            EXPECT_NE(text.find(std::string("DbgLog.cfg: ") + key + " is not a positive number"), std::string::npos)
                << key << "\n"
                << text;
    }
}

// Stored events expire by comparing these strings, so they must read as the local clock, in
// fixed widths.
TEST(TimeStrings, ReadAsTheLocalClockInFixedWidths) {
    auto local = [](std::time_t t) {
        std::tm tmv{};
        localtime_r(&t, &tmv);
        char buf[32];
        std::strftime(buf, sizeof(buf), "%Y-%m-%d %H:%M:%S", &tmv);
        return std::string(buf);
    };
    std::string before = local(std::time(nullptr));
    std::string plain = WideToUtf8(GetTimeString(false));
    std::string precise = WideToUtf8(GetTimeString(true));
    std::string after = local(std::time(nullptr));
    EXPECT_TRUE(std::regex_match(plain, std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)"))) << plain;
    EXPECT_TRUE(std::regex_match(precise, std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3})"))) << precise;
    EXPECT_LE(before, plain);
    EXPECT_LE(plain, precise.substr(0, plain.size()));
    EXPECT_LE(precise.substr(0, plain.size()), after);
}
