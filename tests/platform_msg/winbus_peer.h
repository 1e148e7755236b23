#pragma once
// Helpers of the cross-process tests: a second instance (winmsg_peer) and this process's view
// of the instances it can reach.
#include <QProcess>

#include <chrono>
#include <string>
#include <vector>

#include "platform/winuser.h"

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
    // Everything the peer wrote to its debugger output once it has ended.
    std::string Ended() {
        proc.waitForFinished(5000);
        return proc.readAllStandardError().toStdString();
    }
    uint32_t Pid() const { return static_cast<uint32_t>(proc.processId()); }
    QProcess proc;
    HWND hwnd = nullptr;
};

inline size_t Count(const std::string& text, const std::string& piece) {
    size_t n = 0;
    for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1))
        ++n;
    return n;
}

// This process needs a top-level window of its own for the other side to see it.
struct SelfWindow : platform::IWindowMessageTarget {
    SelfWindow() { hwnd = platform::RegisterWindowHandle(nullptr, this, true, L"TEST_SELF"); }
    ~SelfWindow() override { platform::DestroyWindowHandle(hwnd); }
    LRESULT OnWindowMessage(HWND, UINT, WPARAM, LPARAM) override { return 0; }
    void OnDestroyRequest(HWND h) override { platform::DestroyWindowHandle(h); }
    HWND hwnd;
};

inline HWND FindByTitle(const std::wstring& title) {
    HWND found = nullptr;
    platform::EnumWindows([&](HWND h) {
        if (platform::GetWindowText(h) == title) {
            found = h;
            return false;
        }
        return true;
    });
    return found;
}

// The forwarding packet: 128 UTF-16 units, zero-padded.
inline std::vector<char> Packet(const std::string& text) {
    std::vector<char> bytes(256, 0);
    for (size_t i = 0; i < text.size() && i < 127; ++i)
        bytes[i * 2] = text[i];
    return bytes;
}

