#pragma once
// Real launches of the workbench executable for tests, and waiting on what they do.
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

class DemoPeer;

// Starts `program` with its arguments; it dies with the test.
pid_t Launch(const std::string& program, const std::vector<std::string>& args);
inline pid_t Launch(const std::string& program, const std::string& arg) {
    return Launch(program, std::vector<std::string>{arg});
}
// Waits for the process to end; its exit code, or -1 when it did not end in time.
int WaitExit(pid_t pid, int timeoutMs);
// Ends a launched process and reaps it.
void Stop(pid_t pid);
bool WaitFor(const std::function<bool()>& done, int timeoutMs);
// True when the demo server has seen a request for `target`.
bool Requested(const DemoPeer& peer, const std::string& target);
// Points the workbench's three hosts at the demo server.
void UseDemoHosts(const DemoPeer& peer);
// A private runtime folder (for the instance socket) under `home`.
void UseRuntimeFolder(const std::string& home);

// The X windows of a process that are mapped (xdotool); needs a display.
std::vector<std::string> ShownWindowsOf(pid_t pid);
std::string WindowNameOf(const std::string& window);
// Top-left corner of a window on the screen; false when xdotool cannot tell.
bool WindowOrigin(const std::string& window, int& x, int& y);
// A left click of the X server's pointer at a point of the screen.
bool ClickScreenAt(int x, int y);
