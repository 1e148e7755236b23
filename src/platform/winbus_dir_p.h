#pragma once
// The folder holding the instance sockets. Whoever can write into it, or into a folder on its
// path, can stand in for a running workbench and receive what other launches forward, so it is
// trusted only when nobody but this user could have prepared it.
#include <string>

namespace platform {
namespace detail {

// $XDG_RUNTIME_DIR/shopdesk-windows, or without it ${TMPDIR:-/tmp}/shopdesk-<uid>/shopdesk-windows.
// Folders on the way that belong to the system (owned by root or us, and writable by others only
// when sticky, as /tmp is) are taken as they are; the folders the program makes must be ours,
// writable by nobody else, the last one private (no access for group or others), and none may
// be a symbolic link. Missing folders of ours are made when `create`. Empty when the folder
// cannot be trusted (the debugger output says why) or, without `create`, does not exist.
std::string TrustedBusDir(bool create);

} // namespace detail
} // namespace platform
