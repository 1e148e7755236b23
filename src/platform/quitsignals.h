#pragma once
// Log-out and shutdown end a desktop program with SIGTERM or SIGHUP. Both are turned into a
// call on the thread of the Qt event loop, so the program can end through its own quit and
// run everything that quit does (the event store among it) instead of dying mid-work.
#include <functional>

namespace platform {

// Installs the handlers; `onQuit` runs on the thread that created the Qt application, at the
// next turn of its event loop after one or more signals arrived. Call after the application
// object exists. A later call replaces `onQuit`; an empty one makes further signals do
// nothing, for the last steps of a quit already under way.
bool InstallQuitSignalHandler(std::function<void()> onQuit);

} // namespace platform
