// Files written whole: a writer killed at any moment, or refused by the file system, leaves
// the file as it was or as it was meant to be, never a mix.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <random>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "platform/wholefile.h"
#include "support/testenv.h"

TEST(WholeFile, WriterKilledMidSaveLeavesTheOldOrTheNewContent) {
    ScopedTestHome home;
    const std::string path = home.path() + "/store.json";
    const std::string a(1 << 20, 'a'), b(1 << 20, 'b');
    ASSERT_TRUE(platform::WriteFileWhole(path, a));
    std::mt19937 rng(16);
    for (int round = 0; round < 20; ++round) {
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0)
            for (unsigned i = 0;; ++i)
                platform::WriteFileWhole(path, i % 2 ? a : b);
        std::this_thread::sleep_for(std::chrono::milliseconds(std::uniform_int_distribution<int>(2, 40)(rng)));
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        std::string now = ReadFileBytes(path);
        ASSERT_TRUE(now == a || now == b) << "round " << round << ": " << now.size() << " bytes";
    }
}

TEST(WholeFile, ReplacementKeepsPermissionsAndAFailedOneLeavesNoTrace) {
    ScopedTestHome home;
    const std::string path = home.path() + "/private.json";
    ASSERT_TRUE(platform::WriteFileWhole(path, "old"));
    chmod(path.c_str(), 0600);
    ASSERT_TRUE(platform::WriteFileWhole(path, "new"));
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(ReadFileBytes(path), "new");

    // A folder in the file's place: the final rename fails.
    const std::string taken = home.path() + "/taken";
    WriteFileBytes(taken + "/inside", "kept");
    EXPECT_FALSE(platform::WriteFileWhole(taken, "never"));
    EXPECT_EQ(ReadFileBytes(taken + "/inside"), "kept");
    // No folder to write into.
    EXPECT_FALSE(platform::WriteFileWhole(home.path() + "/missing/x.json", "never"));
    EXPECT_TRUE(LeftoverTemporaries(home.path()).empty());
}
