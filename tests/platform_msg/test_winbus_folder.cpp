// The folder of the instance sockets without $XDG_RUNTIME_DIR, where the temporary folder is
// shared with every user: a folder someone else prepared is neither served nor reached, and
// nothing is sent to a socket another user serves.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>

#include "platform/winuser.h"
#include "winbus_peer.h"

namespace fs = std::filesystem;

namespace {

constexpr uid_t kOtherUser = 65534;

// A temporary folder of our own stands in for /tmp.
class BusFolder : public ::testing::Test {
protected:
    void SetUp() override {
        const char* rt = getenv("XDG_RUNTIME_DIR");
        m_oldRuntime = rt ? rt : "";
        unsetenv("XDG_RUNTIME_DIR");
        char tmpl[] = "/tmp/shopdesk-bus-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        tmp = tmpl;
        setenv("TMPDIR", tmp.c_str(), 1);
        base = tmp + "/shopdesk-" + std::to_string(getuid());
        bus = base + "/shopdesk-windows";
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(tmp, ec);
        unsetenv("TMPDIR");
        if (!m_oldRuntime.empty())
            setenv("XDG_RUNTIME_DIR", m_oldRuntime.c_str(), 1);
    }
    static void MakeDir(const std::string& path, mode_t mode, uid_t owner = getuid()) {
        ASSERT_EQ(mkdir(path.c_str(), 0700), 0) << path;
        ASSERT_EQ(chmod(path.c_str(), mode), 0);
        ASSERT_EQ(chown(path.c_str(), owner, static_cast<gid_t>(-1)), 0);
    }
    bool AnySocketUnder(const std::string& root) {
        std::error_code ec;
        for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
             it.increment(ec))
            if (it->is_socket(ec))
                return true;
        return false;
    }
    std::string tmp, base, bus;

private:
    std::string m_oldRuntime;
};

// A listening socket in `dir` under the name an instance with `pid` would use.
int Listen(const std::string& dir, pid_t pid) {
    std::string path = dir + "/" + std::to_string(pid) + ".sock";
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0) {
        if (fd >= 0)
            close(fd);
        return -1;
    }
    return fd;
}

} // namespace

TEST_F(BusFolder, AFolderAnotherUserCouldHavePreparedIsNeitherServedNorReached) {
    struct Layout {
        const char* name;
        std::function<void()> prepare;
        const char* reason;
    };
    const bool root = getuid() == 0;
    const Layout layouts[] = {
        {"another user's folder", [&] { MakeDir(base, 0777, kOtherUser); }, "owned by uid 65534"},
        {"our folder, writable by everyone", [&] { MakeDir(base, 0777); }, "writable by others (mode 0777)"},
        {"the socket folder open to others",
         [&] {
             MakeDir(base, 0700);
             MakeDir(bus, 0755);
         },
         "not private (mode 0755)"},
        {"the socket folder a link to a folder of ours",
         [&] {
             MakeDir(base, 0700);
             MakeDir(tmp + "/elsewhere", 0700);
             ASSERT_EQ(symlink((tmp + "/elsewhere").c_str(), bus.c_str()), 0);
         },
         "a symbolic link"},
        {"a temporary folder anyone may rename in", [&] { ASSERT_EQ(chmod(tmp.c_str(), 0777), 0); },
         "writable by others (mode 0777)"},
    };
    for (const Layout& layout : layouts) {
        SCOPED_TRACE(layout.name);
        if (!root && std::string(layout.reason).find("uid") != std::string::npos)
            continue;  // only root can hand a folder to someone else
        std::error_code ec;
        fs::remove_all(base, ec);
        fs::remove_all(tmp + "/elsewhere", ec);
        chmod(tmp.c_str(), 0700);
        layout.prepare();

        Peer peer("QDX_IM_FOLDER");
        ASSERT_NE(peer.hwnd, nullptr);
        EXPECT_EQ(FindByTitle(L"QDX_IM_FOLDER"), nullptr);
        EXPECT_FALSE(AnySocketUnder(tmp));
        peer.proc.kill();
        std::string log = peer.Ended();
        EXPECT_NE(log.find("refusing "), std::string::npos) << log;
        EXPECT_NE(log.find(layout.reason), std::string::npos) << log;
    }

    // The same temporary folder with its usual mode is trusted, and the workbench is reached.
    fs::remove_all(base);
    fs::remove_all(tmp + "/elsewhere");
    ASSERT_EQ(chmod(tmp.c_str(), 01777), 0);
    Peer peer("QDX_IM_FOLDER");
    EXPECT_EQ(FindByTitle(L"QDX_IM_FOLDER"), peer.hwnd);
    struct stat st;
    ASSERT_EQ(lstat(bus.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0700u);
}

TEST_F(BusFolder, ALaunchSendsNothingIntoAnotherUsersFolder) {
    if (getuid() != 0)
        GTEST_SKIP() << "needs root to prepare a folder as another user";
    // Another user was first: both folders are theirs, and their socket waits for a forward.
    MakeDir(base, 0755, kOtherUser);
    MakeDir(bus, 0755, kOtherUser);
    pid_t alive = getppid();
    int listener = Listen(bus, alive);
    ASSERT_GE(listener, 0);
    ASSERT_EQ(listen(listener, 8), 0);

    std::vector<char> packet = Packet("secret");
    COPYDATASTRUCT cds{0, 256, packet.data()};
    HWND theirs = reinterpret_cast<HWND>((static_cast<uintptr_t>(alive) << 32) | 1);
    EXPECT_EQ(FindByTitle(L"QDX_IM"), nullptr);
    EXPECT_FALSE(platform::IsWindow(theirs));
    EXPECT_EQ(platform::SendMessage(theirs, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds)), 0);
    EXPECT_LT(accept(listener, nullptr, nullptr), 0) << "a connection reached the other user's socket";
    EXPECT_EQ(errno, EAGAIN);
    close(listener);
}

TEST_F(BusFolder, NothingIsSentToASocketServedByAnotherUser) {
    if (getuid() != 0)
        GTEST_SKIP() << "needs root to serve a socket as another user";
    Peer ours("QDX_IM_OURS");
    ASSERT_NE(ours.hwnd, nullptr);

    // A socket in our own folder whose server is another user: bound while it still could,
    // listening as that user, which is whose credentials a caller sees.
    int report[2];
    ASSERT_EQ(pipe(report), 0);
    pid_t other = fork();
    if (other == 0) {
        int fd = Listen(bus, getpid());
        if (fd < 0 || setgid(kOtherUser) != 0 || setuid(kOtherUser) != 0 || listen(fd, 8) != 0)
            _exit(1);
        (void)!write(report[1], "L", 1);
        pollfd p{fd, POLLIN, 0};
        char result[2] = {'-', '0'};
        if (poll(&p, 1, 15000) == 1) {
            int c = accept(fd, nullptr, nullptr);
            result[0] = 'A';
            pollfd q{c, POLLIN, 0};
            char byte;
            // Whatever arrives before the caller hangs up.
            if (poll(&q, 1, 5000) == 1 && recv(c, &byte, 1, 0) == 1)
                result[1] = '1';
        }
        (void)!write(report[1], result, 2);
        _exit(0);
    }
    close(report[1]);
    char ready = 0;
    ASSERT_EQ(read(report[0], &ready, 1), 1);

    // Enumeration asks every instance for its windows: ours answers, the other user hears nothing.
    EXPECT_EQ(FindByTitle(L"QDX_IM_OURS"), ours.hwnd);
    char result[2] = {0, 0};
    EXPECT_EQ(read(report[0], result, 2), 2);
    EXPECT_EQ(result[0], 'A') << "the other user's socket was never tried";
    EXPECT_EQ(result[1], '0') << "bytes were sent to a socket of another user";
    close(report[0]);
    int status = 0;
    waitpid(other, &status, 0);
}
