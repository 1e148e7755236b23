#include "support/busclient.h"

#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

template <class T> void Put(std::string& out, T v) { out.append(reinterpret_cast<const char*>(&v), sizeof(v)); }

bool ReadExactly(int fd, char* out, size_t len) {
    size_t off = 0;
    while (off < len) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 10000) <= 0)
            return false;
        ssize_t n = recv(fd, out + off, len - off, 0);
        if (n <= 0)
            return false;
        off += static_cast<size_t>(n);
    }
    return true;
}

} // namespace

std::string InstanceSocketPath(uint32_t pid) {
    const char* rt = getenv("XDG_RUNTIME_DIR");
    return std::string(rt ? rt : "") + "/shopdesk-windows/" + std::to_string(pid) + ".sock";
}

int ConnectToInstance(uint32_t pid) {
    std::string path = InstanceSocketPath(pid);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof(addr.sun_path))
        return -1;
    memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd >= 0 && connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0) {
        close(fd);
        fd = -1;
    }
    return fd;
}

SRawAnswer SendRawMessage(uint32_t pid, uint8_t op, uint64_t hwnd, uint32_t msg, uint64_t wParam, int64_t lParam) {
    SRawAnswer answer;
    int fd = ConnectToInstance(pid);
    if (fd < 0)
        return answer;
    // u32 length, u8 op, u64 window, u32 message, u64 wParam, i64 lParam
    std::string payload;
    Put<uint8_t>(payload, op);
    Put<uint64_t>(payload, hwnd);
    Put<uint32_t>(payload, msg);
    Put<uint64_t>(payload, wParam);
    Put<int64_t>(payload, lParam);
    std::string frame;
    Put<uint32_t>(frame, static_cast<uint32_t>(payload.size()));
    frame += payload;
    uint32_t len = 0;
    char reply[9];
    if (send(fd, frame.data(), frame.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(frame.size()) &&
        ReadExactly(fd, reinterpret_cast<char*>(&len), sizeof(len)) && len >= sizeof(reply) &&
        ReadExactly(fd, reply, sizeof(reply))) {
        answer.answered = true;
        answer.found = reply[0] != 0;
        memcpy(&answer.value, reply + 1, sizeof(answer.value));
    }
    close(fd);
    return answer;
}
