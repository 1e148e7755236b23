// Messages between two running instances over the per-user socket.
#include <gtest/gtest.h>

#include <QProcess>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "platform/winuser.h"

using namespace platform;

namespace {

class Peer {
public:
    explicit Peer(const std::string& title) {
        proc.setProgram(QStringLiteral(WINMSG_PEER));
        proc.setArguments({QString::fromStdString(title)});
        proc.start();
        proc.waitForStarted(5000);
        std::string line = ReadLine(5000);
        if (line.rfind("ready ", 0) == 0)
            hwnd = reinterpret_cast<HWND>(static_cast<uintptr_t>(std::stoull(line.substr(6))));
    }
    ~Peer() {
        if (proc.state() != QProcess::NotRunning) {
            proc.kill();
            proc.waitForFinished(3000);
        }
    }
    std::string ReadLine(int ms) {
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (!proc.canReadLine()) {
            if (std::chrono::steady_clock::now() > end)
                return std::string();
            proc.waitForReadyRead(50);
        }
        std::string s = proc.readLine().toStdString();
        while (!s.empty() && (s.back() == '\n' || s.back() == '\r'))
            s.pop_back();
        return s;
    }
    QProcess proc;
    HWND hwnd = nullptr;
};

HWND FindByTitle(const std::wstring& title) {
    HWND found = nullptr;
    EnumWindows([&](HWND h) {
        if (GetWindowText(h) == title) {
            found = h;
            return false;
        }
        return true;
    });
    return found;
}

// The forwarding packet: 128 UTF-16 units, zero-padded.
std::vector<char> Packet(const std::string& text) {
    std::vector<char> bytes(256, 0);
    for (size_t i = 0; i < text.size() && i < 127; ++i)
        bytes[i * 2] = text[i];
    return bytes;
}

} // namespace

TEST(WinBus, CopyDataAndPostsReachAWindowOfAnotherInstance) {
    // This process needs a top-level window of its own for the other side to see it.
    struct Nop : IWindowMessageTarget {
        LRESULT OnWindowMessage(HWND, UINT, WPARAM, LPARAM) override { return 0; }
        void OnDestroyRequest(HWND h) override { DestroyWindowHandle(h); }
    } nop;
    HWND self = RegisterWindowHandle(nullptr, &nop, true, L"TEST_SELF");

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
    EXPECT_TRUE(PostMessage(remote, WM_USER + 5, 7, 9));
    line = peer.ReadLine(3000);
    EXPECT_EQ(line, "message " + std::to_string(WM_USER + 5) + " 7 9");
    EXPECT_EQ(SendMessage(remote, WM_USER + 6, 20, 22), 42);
    EXPECT_EQ(peer.ReadLine(3000), "message " + std::to_string(WM_USER + 6) + " 20 22");
    EXPECT_FALSE(PostMessage(remote, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds)));

    // A handle the peer never had is refused over there.
    HWND bogus = reinterpret_cast<HWND>(reinterpret_cast<uintptr_t>(remote) + 1000);
    EXPECT_FALSE(IsWindow(bogus));
    EXPECT_FALSE(PostMessage(bogus, WM_USER + 5, 0, 0));

    // When the peer ends, its windows go with it.
    EXPECT_TRUE(PostMessage(remote, WM_USER + 99, 0, 0));
    EXPECT_EQ(peer.ReadLine(3000), "quit");
    ASSERT_TRUE(peer.proc.waitForFinished(5000));
    EXPECT_FALSE(IsWindow(remote));
    EXPECT_EQ(FindByTitle(L"QDX_IM_PEER"), nullptr);
    EXPECT_FALSE(PostMessage(remote, WM_USER + 5, 0, 0));
    EXPECT_EQ(SendMessage(remote, WM_USER + 6, 1, 1), 0);

    DestroyWindowHandle(self);
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
