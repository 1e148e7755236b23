#pragma once
// Known folders on an XDG desktop. Each result ends without a separator; empty when it
// cannot be determined (no HOME and no XDG variable).
#include <string>

namespace platform {

// Per-user local application-data folder: $XDG_DATA_HOME, else ~/.local/share.
std::string GetLocalAppDataFolder();
// Per-user configuration folder: $XDG_CONFIG_HOME, else ~/.config.
std::string GetConfigFolder();
// Folder of the desktop's autostart entries: configuration folder + "/autostart".
std::string GetAutostartFolder();
// Folder of the user's desktop entries: local application-data folder + "/applications".
std::string GetApplicationsFolder();

// Creates a folder with all missing parents; true when it exists afterwards.
bool CreateDirectoryTree(const std::string& path);
bool DirectoryExists(const std::string& path);
bool FileExists(const std::string& path);

} // namespace platform
