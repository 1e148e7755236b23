#pragma once
// Real launches of the workbench executable, as a merchant's desktop starts it, against a demo
// peer. The process ends with the test process at the latest.
#include <sys/types.h>

#include <functional>
#include <string>

class DemoPeer;

// Points every host of later launches at `peer` and gives them a private runtime folder under
// `home`, so that only the launches of this test see each other.
void PointLaunchesAt(const DemoPeer& peer, const std::string& home);
// Starts the workbench with one command-line parameter (none when empty).
pid_t LaunchWorkbench(const std::string& arg);
// The same with a copy of the executable at `exe`.
pid_t LaunchWorkbenchAt(const std::string& exe, const std::string& arg);
// Waits for the process to end; its exit code (128 + signal when killed), or -1 when it still
// runs after `timeoutMs`, -2 when it was reaped before.
int WaitExit(pid_t pid, int timeoutMs);
// Ends a launch that still runs and reaps it.
void StopWorkbench(pid_t pid);
// Polls `done` every 100 ms; whether it held within `timeoutMs`.
bool WaitUntil(const std::function<bool()>& done, int timeoutMs);
// Whether the peer recorded a request for exactly `target` (path and raw query).
bool PeerWasAsked(const DemoPeer& peer, const std::string& target);
