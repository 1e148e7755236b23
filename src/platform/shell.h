#pragma once
// The shell's "open" verb: hands a URL or file to the desktop's handler (xdg-open, or the
// program named by $SHOPDESK_OPENER). A ".reg" file is not handed on: our own importer reads
// it (registryscript.h), so opening one never runs anything. The opener runs detached;
// nothing waits for it.
#include <string>
#include <vector>

namespace platform {

// False when the target is empty, the opener could not be started, or a ".reg" file was
// refused by the importer.
bool ShellOpen(const std::wstring& target);

// Starts argv[0] (looked up in PATH) with the given arguments, detached from this process so
// that it never becomes a zombie of ours. False when it could not be started.
bool SpawnDetached(const std::vector<std::string>& argv);

} // namespace platform
