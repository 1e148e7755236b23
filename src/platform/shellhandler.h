#pragma once
// Which desktop entry opens a URL scheme, the way the desktop's launchers decide it: the
// default named in the mimeapps.list files when that entry is installed, otherwise the first
// installed entry that declares the scheme. User folders come before system folders, and a
// user entry shadows a system entry of the same id.
#include <string>

namespace platform {

// Full path of the entry that handles "x-scheme-handler/<scheme>"; empty when none does.
std::string FindSchemeHandlerEntry(const std::string& scheme);

// Makes `desktopId` the scheme's default in the user's mimeapps.list, as `xdg-mime default`
// does; every other line of the file is kept as it was. False when it cannot be written.
bool SetDefaultSchemeHandler(const std::string& scheme, const std::string& desktopId);

// Asks update-desktop-database to refresh the cache of the user's entries, when the tool is
// installed. Nothing waits for it.
void RefreshDesktopDatabase();

// The file a launcher runs for the program of an Exec line: looked up in PATH when the name
// has no slash, then with every symbolic link resolved. The name itself when it is not found.
std::string ResolveExecProgram(const std::string& program);

} // namespace platform
