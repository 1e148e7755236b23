// The re-upload pass held back until the console's first call: stored events stay where they
// are while held, new events are sent meanwhile, and a stop while held ends at once.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "common/sysutils.h"
#include "demopeer.h"
#include "earlierevents.h"
#include "events/eventlogmanage.h"
#include "net/httpwork.h"
#include "storecheck.h"
#include "support/launch.h"
#include "support/testenv.h"

namespace {

const int kStored = 30;

class ReuploadHoldTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { CHttpWork::GlobalInit(); }
    void SetUp() override {
        cacheDir = home.path() + "/cache/";
        ASSERT_EQ(std::system(("mkdir -p '" + cacheDir + "'").c_str()), 0);
        ASSERT_TRUE(peer.Start(home.path() + "/demo"));
        SDeployHosts hosts;
        hosts.strMobileApiHost = peer.BaseUrl();
        CHttpWork::GetInstance()->SetDeployHosts(hosts);
        ASSERT_TRUE(StoreEarlierEvents(cacheDir, kStored));
    }
    std::string DbPath() const { return cacheDir + "shopdesk.db"; }
    unsigned ServerCount() const { return peer.GetJson("/demo/events/count")["count"].asUInt(); }

    ScopedTestHome home;
    DemoPeer peer;
    std::string cacheDir;
};

} // namespace

TEST_F(ReuploadHoldTest, StoredEventsWaitForTheReleaseWhileNewOnesGoOutAtOnce) {
    CEventLogManage m;
    ASSERT_TRUE(m.InitDB(Utf8ToWide(cacheDir)));
    m.HoldReupload();
    m.Start();
    m.AddEvent("launch", {{"duration", "3"}});
    ASSERT_TRUE(WaitUntil([&] { return ServerCount() >= 1; }, 10000));
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    EXPECT_EQ(ServerCount(), 1u) << "stored events went out while held";
    EXPECT_EQ(RowCount(DbPath()), kStored);

    m.ReleaseReupload();
    m.ReleaseReupload(); // the page's later calls release nothing more
    ASSERT_TRUE(WaitUntil([&] { return RowCount(DbPath()) == 0; }, 15000));
    Json::Value events = peer.Events();
    ASSERT_EQ(events["count"].asUInt(), static_cast<unsigned>(kStored + 1));
    EXPECT_EQ(events["events"][0]["basic"]["event_code"].asString(), "launch");
    for (Json::ArrayIndex i = 1; i < events["events"].size(); ++i)
        EXPECT_EQ(events["events"][i]["attr"]["is_reupload"].asString(), "1");
}

TEST_F(ReuploadHoldTest, AStopWhileHeldEndsAtOnceAndKeepsTheStoreForTheNextStart) {
    auto t0 = std::chrono::steady_clock::now();
    {
        CEventLogManage m;
        ASSERT_TRUE(m.InitDB(Utf8ToWide(cacheDir)));
        m.HoldReupload();
        m.Start();
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(CEventLogManage::kReuploadHoldMs / 3));
    EXPECT_EQ(RowCount(DbPath()), kStored);
    EXPECT_EQ(ServerCount(), 0u);
}
