// Messages between two running instances over the per-user socket.
#include <gtest/gtest.h>

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "common/custommsg.h"
#include "platform/winuser.h"
#include "support/busclient.h"
#include "winbus_peer.h"

using namespace platform;

TEST(WinBus, CopyDataAndPostsReachAWindowOfAnotherInstance) {
    SelfWindow self;

    Peer peer("QDX_IM_PEER");
    ASSERT_NE(peer.hwnd, nullptr);
    HWND remote = FindByTitle(L"QDX_IM_PEER");
    ASSERT_EQ(remote, peer.hwnd);
    EXPECT_FALSE(IsLocalWindow(remote));
    EXPECT_TRUE(IsWindow(remote));
    EXPECT_EQ(GetWindowText(remote), L"QDX_IM_PEER");

    std::vector<char> packet = Packet("12345");
    COPYDATASTRUCT cds{0, 256, packet.data()};
    EXPECT_EQ(SendMessage(remote, WM_COPYDATA, reinterpret_cast<WPARAM>(remote), reinterpret_cast<LPARAM>(&cds)),
              256 * 1000 + '1');
    std::string line = peer.ReadLine(3000);
    EXPECT_NE(line.find("size=256 text=12345"), std::string::npos) << line;
    EXPECT_NE(line.find("w=" + std::to_string(reinterpret_cast<uintptr_t>(remote))), std::string::npos) << line;

    // Short and unterminated: the handler gets exactly these three bytes.
    char shortData[3] = {'A', 0, 'B'};
    COPYDATASTRUCT shortCds{7, 3, shortData};
    EXPECT_EQ(SendMessage(remote, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&shortCds)), 3 * 1000 + 'A');
    line = peer.ReadLine(3000);
    EXPECT_NE(line.find("data=7 size=3 text=A"), std::string::npos) << line;

    // Empty packet, and one whose size promises bytes it does not have.
    COPYDATASTRUCT empty{0, 0, nullptr};
    EXPECT_EQ(SendMessage(remote, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&empty)), 0);
    EXPECT_NE(peer.ReadLine(3000).find("size=0"), std::string::npos);
    COPYDATASTRUCT lying{0, 16, nullptr};
    EXPECT_EQ(SendMessage(remote, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&lying)), 0);

    // Posted and sent numbers; copied data cannot be posted.
    EXPECT_TRUE(PostMessage(remote, WM_CONFIG_CHANGE, 7, 9));
    line = peer.ReadLine(3000);
    EXPECT_EQ(line, "message " + std::to_string(WM_CONFIG_CHANGE) + " 7 9");
    EXPECT_EQ(SendMessage(remote, WM_CHANGE_STATE, 20, 22), 42);
    EXPECT_EQ(peer.ReadLine(3000), "message " + std::to_string(WM_CHANGE_STATE) + " 20 22");
    EXPECT_FALSE(PostMessage(remote, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds)));

    // A handle the peer never had is refused over there.
    HWND bogus = reinterpret_cast<HWND>(reinterpret_cast<uintptr_t>(remote) + 1000);
    EXPECT_FALSE(IsWindow(bogus));
    EXPECT_FALSE(PostMessage(bogus, WM_CONFIG_CHANGE, 0, 0));

    // When the peer ends, its windows go with it.
    EXPECT_TRUE(PostMessage(remote, WM_QUIT_APP, 0, 0));
    EXPECT_EQ(peer.ReadLine(3000), "quit");
    ASSERT_TRUE(peer.proc.waitForFinished(5000));
    EXPECT_FALSE(IsWindow(remote));
    EXPECT_EQ(FindByTitle(L"QDX_IM_PEER"), nullptr);
    EXPECT_FALSE(PostMessage(remote, WM_CONFIG_CHANGE, 0, 0));
    EXPECT_EQ(SendMessage(remote, WM_CHANGE_STATE, 1, 1), 0);
}

TEST(WinBus, MessagesCarryingPointersAreRefusedByTheReceivingWindow) {
    Peer peer("QDX_IM_TARGET");
    ASSERT_NE(peer.hwnd, nullptr);
    uint64_t h = reinterpret_cast<uintptr_t>(peer.hwnd);
    const uint64_t forged = 0x41414141;

    // Heap records the receiver would read and delete, copied data without its bytes, a timer
    // callback, the window's own end, a per-process registered number, an unknown number.
    const uint32_t refused[] = {WM_RECEIVE_MSG, WM_OPEN_CONVERSATION, WM_MENU_CLICK, WM_MSG_REQUEST_DONE,
                                WM_AVATAR_READY, WM_COPYDATA, WM_TIMER, WM_SETTEXT, WM_DESTROY, 0xC001,
                                WM_USER + 5};
    for (uint32_t msg : refused) {
        for (uint8_t op : {uint8_t(2), uint8_t(3)}) {
            SRawAnswer a = SendRawMessage(peer.Pid(), op, h, msg, forged, static_cast<int64_t>(forged));
            EXPECT_TRUE(a.answered && a.found) << msg;
            EXPECT_EQ(a.value, 0) << msg;
        }
    }
    // Numbers pass, and they are the first thing the window has seen.
    SRawAnswer sent = SendRawMessage(peer.Pid(), 3, h, WM_CONFIG_CHANGE, 3, 1);
    EXPECT_TRUE(sent.answered && sent.found);
    EXPECT_EQ(sent.value, 4);
    EXPECT_EQ(peer.ReadLine(3000), "message " + std::to_string(WM_CONFIG_CHANGE) + " 3 1");
    EXPECT_EQ(SendRawMessage(peer.Pid(), 2, h, WM_OTA_LOGIN, 1, 0).value, 1);
    EXPECT_EQ(peer.ReadLine(3000), "message " + std::to_string(WM_OTA_LOGIN) + " 1 0");

    EXPECT_TRUE(SendRawMessage(peer.Pid(), 2, h, WM_QUIT_APP, 0, 0).value);
    EXPECT_EQ(peer.ReadLine(3000), "quit");
    std::string log = peer.Ended();
    EXPECT_EQ(peer.proc.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(peer.proc.exitCode(), 0);
    // Each refused number is named once, however often it came.
    for (uint32_t msg : refused)
        EXPECT_EQ(Count(log, "refused message " + std::to_string(msg) + " "), 1u) << log;
}

TEST(WinBus, StalledConnectionsDelayNoForward) {
    Peer peer("QDX_IM_BUSY");
    ASSERT_NE(peer.hwnd, nullptr);

    // Ten callers that connect and go silent, one of them halfway through a length.
    std::vector<int> stalled;
    for (int i = 0; i < 10; ++i) {
        int fd = ConnectToInstance(peer.Pid());
        ASSERT_GE(fd, 0);
        stalled.push_back(fd);
    }
    ASSERT_EQ(send(stalled[0], "\x10\x00", 2, MSG_NOSIGNAL), 2);

    // The whole forward: find the window by its title, hand it the packet.
    HWND remote = FindByTitle(L"QDX_IM_BUSY");
    ASSERT_EQ(remote, peer.hwnd);
    std::vector<char> packet = Packet("stalled");
    COPYDATASTRUCT cds{0, 256, packet.data()};
    EXPECT_EQ(SendMessage(remote, WM_COPYDATA, reinterpret_cast<WPARAM>(remote), reinterpret_cast<LPARAM>(&cds)),
              256 * 1000 + 's');
    EXPECT_NE(peer.ReadLine(3000).find("text=stalled"), std::string::npos);

    // It did not wait for the silent ones to be given up: all of them are still open...
    for (int fd : stalled) {
        pollfd p{fd, POLLIN, 0};
        EXPECT_EQ(poll(&p, 1, 0), 0) << "a stalled connection was dropped before the forward ended";
    }
    // ...until their own time-out ends each of them.
    for (int fd : stalled) {
        pollfd p{fd, POLLIN, 0};
        EXPECT_EQ(poll(&p, 1, 10000), 1);
        char c;
        EXPECT_EQ(recv(fd, &c, 1, 0), 0);
        close(fd);
    }
}

TEST(WinBus, AKilledInstanceLeavesNothingThatBlocksEnumeration) {
    Peer peer("QDX_IM_KILLED");
    ASSERT_NE(peer.hwnd, nullptr);
    peer.proc.kill();
    peer.proc.waitForFinished(3000);
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(FindByTitle(L"QDX_IM_KILLED"), nullptr);
    EXPECT_FALSE(IsWindow(peer.hwnd));
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(2));
}
