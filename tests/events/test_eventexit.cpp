// Uploads that run on while the process exits still identify the workbench correctly: the
// transport's shared texts outlive every thread that uses them.
#include <gtest/gtest.h>

#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

#include "common/sysutils.h"
#include "demopeer.h"
#include "events/eventlogmanage.h"
#include "net/httpwork.h"
#include "support/testenv.h"

TEST(EventExit, UploadsDuringExitCarryTheUserAgent) {
    ScopedTestHome home;
    const std::string cache = home.path() + "/cache/";
    std::filesystem::create_directories(cache);
    {
        CEventLogManage m;
        ASSERT_TRUE(m.InitDB(Utf8ToWide(cache)));
        CXDBPtr<IXDBConnection> c;
        CreateSQLiteConnection(&c);
        ASSERT_TRUE(SUCCEEDED(c->Open(Utf8ToWide(cache + "shopdesk.db").c_str())));
        SEventLogMsgEx ev;
        ev.event_code = "page";
        ev.event_time = 1700000000;
        for (int i = 0; i < 150; ++i) {
            ev.attr["seq"] = std::to_string(i);
            ASSERT_TRUE(CEventLogManage::SaveFailedEvent(c.Get(), ev));
        }
    }
    DemoPeer peer;
    ASSERT_TRUE(peer.Start(home.path() + "/demo"));
    // Slow answers keep the re-upload going through the whole exit.
    peer.Get("/demo/fault?mode=slow&delay_ms=20&count=-1&path=/mobilelog/");

    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        setenv("SHOPDESK_MOBILE_HOST", peer.BaseUrl().c_str(), 1);
        execl(EXIT_HELPER, EXIT_HELPER, cache.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;

    int uploads = 0;
    for (const Json::Value& r : peer.Requests()) {
        if (r["target"].asString() != "/mobilelog/rest/EventLog/")
            continue;
        ++uploads;
        EXPECT_EQ(r["user_agent"].asString(), GetShopdeskUserAgent()) << "upload " << uploads;
        EXPECT_EQ(r["refused"].asString(), "");
    }
    // The exit window alone lasts a second: far more uploads than the 400 ms before it.
    EXPECT_GT(uploads, 30);
}
