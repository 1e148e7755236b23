// The per-user socket through which running instances see each other's top-level windows and
// deliver posted, sent and copied-data messages to them. Each instance listens on <pid>.sock in
// the folder of winbus_dir_p.h; a request is one frame on its own connection:
//   u32 length, u8 op, payload            reply: u32 length, u8 found, i64 value [, list]
// Window handles carry the owning pid in their high 32 bits, so a handle names its instance.
// Both ends talk only to the same user: the server checks its callers' credentials, the client
// the server's before it writes a byte. Messages arrive through the receiver's filter
// (crossprocessmsg.h), never with a pointer of the sender.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include "crossprocessmsg.h"
#include "sysinfo.h"
#include "textconv.h"
#include "winbus_dir_p.h"
#include "winmsg_p.h"

namespace platform {
namespace detail {
namespace {

enum Op : uint8_t { kList = 1, kPost = 2, kSend = 3, kCopyData = 4, kQuery = 5 };

// Larger frames are refused: nothing the program forwards comes near it.
constexpr uint32_t kMaxFrame = 1u << 20;
constexpr int kListTimeoutMs = 2000;
constexpr int kSendTimeoutMs = 30000;
// More callers at once than any number of running workbenches makes are turned away.
constexpr size_t kMaxConnections = 32;
constexpr int kStopWaitMs = 5000;

std::string SocketPath(const std::string& dir, uint32_t pid) { return dir + "/" + std::to_string(pid) + ".sock"; }

struct Buf {
    std::string data;
    size_t pos = 0;
    template <class T> void put(T v) { data.append(reinterpret_cast<const char*>(&v), sizeof(v)); }
    void putBytes(const std::string& s) {
        put<uint32_t>(static_cast<uint32_t>(s.size()));
        data += s;
    }
    template <class T> bool get(T& v) {
        if (data.size() - pos < sizeof(v))
            return false;
        memcpy(&v, data.data() + pos, sizeof(v));
        pos += sizeof(v);
        return true;
    }
    bool getBytes(std::string& s) {
        uint32_t n = 0;
        if (!get(n) || data.size() - pos < n)
            return false;
        s.assign(data.data() + pos, n);
        pos += n;
        return true;
    }
};

bool WriteAll(int fd, const std::string& bytes) {
    size_t off = 0;
    while (off < bytes.size()) {
        ssize_t n = ::send(fd, bytes.data() + off, bytes.size() - off, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        off += static_cast<size_t>(n);
    }
    return true;
}

// Reads exactly `len` bytes. While waiting, the calling thread keeps answering messages sent
// to it, so two instances sending to each other cannot lock up.
bool ReadAll(int fd, char* out, size_t len, int timeoutMs, bool drain) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    size_t off = 0;
    while (off < len) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        pollfd p{fd, POLLIN, 0};
        int r = poll(&p, 1, drain ? 20 : 200);
        if (r < 0 && errno != EINTR)
            return false;
        if (r <= 0) {
            if (drain)
                DrainSentCalls();
            continue;
        }
        ssize_t n = ::recv(fd, out + off, len - off, 0);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
            return false;
        off += static_cast<size_t>(n);
    }
    return true;
}

bool ReadFrame(int fd, std::string& frame, int timeoutMs, bool drain) {
    uint32_t len = 0;
    if (!ReadAll(fd, reinterpret_cast<char*>(&len), sizeof(len), timeoutMs, drain) || len > kMaxFrame)
        return false;
    frame.resize(len);
    return len == 0 || ReadAll(fd, &frame[0], len, timeoutMs, drain);
}

std::string Frame(const std::string& payload) {
    Buf b;
    b.put<uint32_t>(static_cast<uint32_t>(payload.size()));
    return b.data + payload;
}

std::string ToUtf8(const std::wstring& w) { return WideToMultiByte(CP_UTF8, w); }
std::wstring FromUtf8(const std::string& s) { return MultiByteToWide(CP_UTF8, s.data(), static_cast<int>(s.size())); }

bool PeerIsUs(int fd, uid_t& uid) {
    ucred cred{};
    socklen_t len = sizeof(cred);
    uid = static_cast<uid_t>(-1);
    if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0 || len != sizeof(cred))
        return false;
    uid = cred.uid;
    return cred.uid == getuid();
}

int ConnectTo(uint32_t pid) {
    std::string dir = TrustedBusDir(false);
    if (dir.empty())
        return -1;
    std::string path = SocketPath(dir, pid);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof(addr.sun_path))
        return -1;
    memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0) {
        int err = errno;
        close(fd);
        // A socket left behind by an instance that died is removed by whoever notices.
        if ((err == ECONNREFUSED || err == ENOENT) && kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)
            unlink(path.c_str());
        return -1;
    }
    // Whatever listens there must be this user's before it hears anything, such as a uid.
    uid_t uid;
    if (!PeerIsUs(fd, uid)) {
        OutputDebugString(L"window bus: " + FromUtf8(path) + L" is served by uid " + std::to_wstring(uid) +
                          L", not by us; nothing was sent\n");
        close(fd);
        return -1;
    }
    return fd;
}

bool Request(uint32_t pid, const std::string& payload, Buf& reply, int timeoutMs) {
    int fd = ConnectTo(pid);
    if (fd < 0)
        return false;
    bool ok = WriteAll(fd, Frame(payload)) && ReadFrame(fd, reply.data, timeoutMs, true);
    close(fd);
    return ok;
}

// A message another instance may not deliver is refused here, at the window's end, and named in
// the debugger output once per message number.
void LogRefused(uint32_t msg) {
    static std::mutex mutex;
    static std::set<uint32_t> logged;
    {
        std::lock_guard<std::mutex> lock(mutex);
        // A caller trying every number would otherwise grow the set without end.
        if (logged.size() >= 256 || !logged.insert(msg).second)
            return;
    }
    OutputDebugString(L"window bus: refused message " + std::to_wstring(msg) +
                      L" from another instance: only plain numbers and copied data may cross\n");
}

// Answers one request on its own connection; runs on the connection's thread, which reaches
// windows only by posting or sending to their threads.
void ServeRequest(int fd) {
    Buf req;
    if (!ReadFrame(fd, req.data, kListTimeoutMs, false))
        return;
    uint8_t op = 0;
    req.get(op);
    Buf out;
    uint8_t found = 0;
    int64_t value = 0;
    std::string extra;
    if (op == kList) {
        auto wins = LocalTopLevelWindows();
        Buf list;
        list.put<uint32_t>(static_cast<uint32_t>(wins.size()));
        for (auto& w : wins) {
            list.put<uint64_t>(reinterpret_cast<uintptr_t>(w.first));
            list.putBytes(ToUtf8(w.second));
        }
        found = 1;
        extra = list.data;
    } else if (op == kQuery) {
        uint64_t h = 0;
        if (req.get(h)) {
            HWND hwnd = reinterpret_cast<HWND>(static_cast<uintptr_t>(h));
            if (IsLocalWindow(hwnd)) {
                found = 1;
                Buf t;
                t.putBytes(ToUtf8(GetWindowText(hwnd)));
                extra = t.data;
            }
        }
    } else if (op == kPost || op == kSend) {
        uint64_t h = 0, w = 0;
        uint32_t msg = 0;
        int64_t l = 0;
        if (req.get(h) && req.get(msg) && req.get(w) && req.get(l)) {
            HWND hwnd = reinterpret_cast<HWND>(static_cast<uintptr_t>(h));
            if (IsLocalWindow(hwnd)) {
                found = 1;
                if (!MessageMayCrossProcesses(msg))
                    LogRefused(msg);
                else if (op == kPost)
                    value = PostMessage(hwnd, msg, static_cast<WPARAM>(w), static_cast<LPARAM>(l));
                else
                    value = SendMessage(hwnd, msg, static_cast<WPARAM>(w), static_cast<LPARAM>(l));
            }
        }
    } else if (op == kCopyData) {
        uint64_t h = 0, w = 0, dw = 0;
        std::string bytes;
        if (req.get(h) && req.get(w) && req.get(dw) && req.getBytes(bytes)) {
            HWND hwnd = reinterpret_cast<HWND>(static_cast<uintptr_t>(h));
            if (IsLocalWindow(hwnd)) {
                found = 1;
                // The handler gets exactly the bytes that came, in a buffer of that size.
                std::vector<char> data(bytes.begin(), bytes.end());
                COPYDATASTRUCT cds{static_cast<ULONG_PTR>(dw), static_cast<DWORD>(data.size()),
                                   data.empty() ? nullptr : data.data()};
                value = SendMessage(hwnd, WM_COPYDATA, static_cast<WPARAM>(w), reinterpret_cast<LPARAM>(&cds));
            }
        }
    }
    out.put(found);
    out.put(value);
    out.data += extra;
    WriteAll(fd, Frame(out.data));
}

// The connections being served. Shared with their threads, so that a thread still waiting on a
// window at exit never touches a server that is gone.
struct Connections {
    std::mutex mutex;
    std::condition_variable idle;
    std::set<int> open;
};

class Server {
public:
    ~Server() { Stop(); }

    void Start() {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_listen >= 0)
            return;
        std::string dir = TrustedBusDir(true);
        if (dir.empty())
            return;
        m_path = SocketPath(dir, static_cast<uint32_t>(getpid()));
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        if (m_path.size() >= sizeof(addr.sun_path))
            return;
        memcpy(addr.sun_path, m_path.c_str(), m_path.size() + 1);
        unlink(m_path.c_str());
        int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return;
        if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 || listen(fd, 64) != 0) {
            close(fd);
            return;
        }
        chmod(m_path.c_str(), 0600);
        if (pipe2(m_wake, O_CLOEXEC) != 0) {
            close(fd);
            unlink(m_path.c_str());
            return;
        }
        m_listen = fd;
        m_conns = std::make_shared<Connections>();
        m_thread = std::thread([this] { Run(); });
    }

    void Stop() {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_listen < 0)
            return;
        char c = 1;
        (void)!write(m_wake[1], &c, 1);
        if (m_thread.joinable())
            m_thread.join();
        close(m_listen);
        close(m_wake[0]);
        close(m_wake[1]);
        m_listen = -1;
        unlink(m_path.c_str());
        // Connections still reading end at once; one waiting on a window gets a while to finish.
        std::unique_lock<std::mutex> conns(m_conns->mutex);
        for (int fd : m_conns->open)
            shutdown(fd, SHUT_RDWR);
        m_conns->idle.wait_for(conns, std::chrono::milliseconds(kStopWaitMs), [&] { return m_conns->open.empty(); });
    }

private:
    void Run() {
        for (;;) {
            pollfd p[2] = {{m_listen, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
            if (poll(p, 2, -1) < 0) {
                if (errno == EINTR)
                    continue;
                return;
            }
            if (p[1].revents)
                return;
            if (!(p[0].revents & POLLIN))
                continue;
            int fd = accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
                continue;
            // Only the same user may talk to us (the folder is private too).
            uid_t uid;
            if (!PeerIsUs(fd, uid)) {
                close(fd);
                continue;
            }
            ServeApart(fd);
        }
    }

    // Each connection has its own thread, so a caller that stalls delays nobody but itself.
    void ServeApart(int fd) {
        {
            std::lock_guard<std::mutex> lock(m_conns->mutex);
            if (m_conns->open.size() >= kMaxConnections) {
                close(fd);
                return;
            }
            m_conns->open.insert(fd);
        }
        // A caller that never reads its answer must not hold the thread either.
        timeval tv{kListTimeoutMs / 1000, (kListTimeoutMs % 1000) * 1000};
        setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof(tv));
        std::shared_ptr<Connections> conns = m_conns;
        std::thread([conns, fd] {
            ServeRequest(fd);
            std::lock_guard<std::mutex> lock(conns->mutex);
            conns->open.erase(fd);
            close(fd);
            conns->idle.notify_all();
        }).detach();
    }

    std::mutex m_mutex;
    int m_listen = -1;
    int m_wake[2] = {-1, -1};
    std::string m_path;
    std::thread m_thread;
    std::shared_ptr<Connections> m_conns;
};

Server& TheServer() {
    static Server server;
    return server;
}

std::vector<uint32_t> OtherInstances() {
    std::vector<uint32_t> pids;
    std::string dir = TrustedBusDir(false);
    DIR* d = dir.empty() ? nullptr : opendir(dir.c_str());
    if (!d)
        return pids;
    uint32_t self = static_cast<uint32_t>(getpid());
    while (dirent* e = readdir(d)) {
        std::string name = e->d_name;
        if (name.size() < 6 || name.compare(name.size() - 5, 5, ".sock") != 0)
            continue;
        std::string num = name.substr(0, name.size() - 5);
        if (num.empty() || !std::all_of(num.begin(), num.end(), ::isdigit) || num.size() > 9)
            continue;
        uint32_t pid = static_cast<uint32_t>(std::stoul(num));
        if (pid != self)
            pids.push_back(pid);
    }
    closedir(d);
    std::sort(pids.begin(), pids.end());
    return pids;
}

bool Reply(Buf& reply, int64_t& value) {
    uint8_t found = 0;
    return reply.get(found) && reply.get(value) && found;
}

} // namespace

void BusEnsureStarted() { TheServer().Start(); }

void BusListRemote(std::vector<std::pair<HWND, std::wstring>>& out) {
    for (uint32_t pid : OtherInstances()) {
        Buf req;
        req.put<uint8_t>(kList);
        Buf reply;
        if (!Request(pid, req.data, reply, kListTimeoutMs))
            continue;
        int64_t v = 0;
        uint32_t count = 0;
        if (!Reply(reply, v) || !reply.get(count))
            continue;
        for (uint32_t i = 0; i < count; ++i) {
            uint64_t h = 0;
            std::string title;
            if (!reply.get(h) || !reply.getBytes(title))
                break;
            // A handle must name the instance that listed it.
            if ((h >> 32) != pid)
                continue;
            out.push_back({reinterpret_cast<HWND>(static_cast<uintptr_t>(h)), FromUtf8(title)});
        }
    }
}

bool BusIsWindow(HWND hwnd, std::wstring* title) {
    Buf req;
    req.put<uint8_t>(kQuery);
    req.put<uint64_t>(reinterpret_cast<uintptr_t>(hwnd));
    Buf reply;
    int64_t v = 0;
    if (!Request(HandlePid(hwnd), req.data, reply, kListTimeoutMs) || !Reply(reply, v))
        return false;
    std::string t;
    if (title && reply.getBytes(t))
        *title = FromUtf8(t);
    return true;
}

static bool PostOrSend(uint8_t op, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result, int timeoutMs) {
    Buf req;
    req.put<uint8_t>(op);
    req.put<uint64_t>(reinterpret_cast<uintptr_t>(hwnd));
    req.put<uint32_t>(msg);
    req.put<uint64_t>(wParam);
    req.put<int64_t>(lParam);
    Buf reply;
    int64_t v = 0;
    if (!Request(HandlePid(hwnd), req.data, reply, timeoutMs) || !Reply(reply, v))
        return false;
    result = static_cast<LRESULT>(v);
    return true;
}

bool BusPost(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    LRESULT r = 0;
    return PostOrSend(kPost, hwnd, msg, wParam, lParam, r, kListTimeoutMs) && r != 0;
}

bool BusSend(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    return PostOrSend(kSend, hwnd, msg, wParam, lParam, result, kSendTimeoutMs);
}

bool BusCopyData(HWND hwnd, WPARAM wParam, const COPYDATASTRUCT* cds, LRESULT& result) {
    if (!cds || (cds->cbData && !cds->lpData) || cds->cbData > kMaxFrame - 64)
        return false;
    Buf req;
    req.put<uint8_t>(kCopyData);
    req.put<uint64_t>(reinterpret_cast<uintptr_t>(hwnd));
    req.put<uint64_t>(wParam);
    req.put<uint64_t>(cds->dwData);
    req.putBytes(std::string(static_cast<const char*>(cds->lpData), cds->cbData));
    Buf reply;
    int64_t v = 0;
    if (!Request(HandlePid(hwnd), req.data, reply, kSendTimeoutMs) || !Reply(reply, v))
        return false;
    result = static_cast<LRESULT>(v);
    return true;
}

} // namespace detail
} // namespace platform
