#pragma once
// A foreign client of a running instance's socket, written from the wire format alone, as any
// other program of the same user could write one: it shares no code with the platform layer's
// own client, so it sends what that client would never send.
#include <cstdint>
#include <string>

// Where an instance with this pid listens under the current $XDG_RUNTIME_DIR.
std::string InstanceSocketPath(uint32_t pid);
// A connection to that socket, or -1.
int ConnectToInstance(uint32_t pid);

struct SRawAnswer {
    bool answered = false;  // a whole answer came back
    bool found = false;     // the window exists over there
    int64_t value = 0;
};
// One posted (op 2) or sent (op 3) message with raw parameters, on a connection of its own.
SRawAnswer SendRawMessage(uint32_t pid, uint8_t op, uint64_t hwnd, uint32_t msg, uint64_t wParam, int64_t lParam);
