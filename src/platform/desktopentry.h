#pragma once
// XDG desktop entries: the autostart entry and the URL-scheme handler entry are written and
// read through these.
#include <string>

namespace platform {

// Writes a desktop entry of type Application whose Exec line runs `program` (quoted and
// escaped as the desktop entry rules ask) followed by `argsField` taken literally, e.g. "%u".
// Folders are created as needed; written beside and renamed. False when it cannot be written.
bool WriteDesktopEntry(const std::string& path, const std::string& name, const std::string& program,
                       const std::string& argsField, const std::string& extraLines = std::string());
// The program of an entry's Exec line, unquoted and unescaped, without its arguments.
// False when the file or its Exec line is missing.
bool ReadDesktopEntryExec(const std::string& path, std::string& program);

} // namespace platform
