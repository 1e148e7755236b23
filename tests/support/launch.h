#pragma once
// Real launches of the workbench executable, as a merchant's desktop starts it, against a demo
// peer. The process ends with the test process at the latest.
#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

class DemoPeer;

// Points every host of later launches at `peer` and gives them a private runtime folder under
// `home`, so that only the launches of this test see each other. Unless `freshProfile`, the
// build's workbench is also registered for tessaril links in the test's home, as an installed
// one is, so its start asks nothing.
void PointLaunchesAt(const DemoPeer& peer, const std::string& home, bool freshProfile = false);
// Starts the workbench with one command-line parameter (none when empty).
pid_t LaunchWorkbench(const std::string& arg);
// The same with a copy of the executable at `exe`.
pid_t LaunchWorkbenchAt(const std::string& exe, const std::string& arg);
// Any program with its arguments; it dies with the test at the latest.
pid_t LaunchProgram(const std::string& program, const std::vector<std::string>& args);
// Waits for the process to end; its exit code (128 + signal when killed), or -1 when it still
// runs after `timeoutMs`, -2 when it was reaped before.
int WaitExit(pid_t pid, int timeoutMs);
// Ends a launch that still runs and reaps it.
void StopWorkbench(pid_t pid);
// Polls `done` every 100 ms; whether it held within `timeoutMs`.
bool WaitUntil(const std::function<bool()>& done, int timeoutMs);
// Whether the peer recorded a request for exactly `target` (path and raw query).
bool PeerWasAsked(const DemoPeer& peer, const std::string& target);

// The X windows of a process that are mapped (xdotool); needs a display.
std::vector<std::string> ShownWindowsOf(pid_t pid);
std::string WindowNameOf(const std::string& window);
// Top-left corner of a window on the screen; false when xdotool cannot tell.
bool WindowOrigin(const std::string& window, int& x, int& y);
// The same with the window's width and height.
bool WindowGeometry(const std::string& window, int& x, int& y, int& width, int& height);
// A left click of the X server's pointer at a point of the screen.
bool ClickScreenAt(int x, int y);
