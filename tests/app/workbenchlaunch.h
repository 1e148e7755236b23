#pragma once
// Real launches of the workbench executable for tests, and waiting on what they do.
#include <functional>
#include <string>
#include <sys/types.h>

class DemoPeer;

// Starts `program` with one argument; it dies with the test.
pid_t Launch(const std::string& program, const std::string& arg);
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
