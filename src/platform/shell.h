#pragma once
// The shell's "open" verb: hands a URL or file to the desktop's handler (xdg-open, or the
// program named by $SHOPDESK_OPENER). The opener runs detached; nothing waits for it.
#include <string>

namespace platform {

// False when the target is empty or the opener could not be started.
bool ShellOpen(const std::wstring& target);

} // namespace platform
