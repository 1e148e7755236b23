#pragma once
// XDG desktop entries: the autostart entry and the URL-scheme handler entry are written and
// read through these.
#include <string>
#include <vector>

namespace platform {

// Writes a desktop entry of type Application whose Exec line runs `program` (quoted and
// escaped as the desktop entry rules ask) followed by `argsField` taken literally, e.g. "%u".
// Folders are created as needed; written beside and renamed. False when it cannot be written.
bool WriteDesktopEntry(const std::string& path, const std::string& name, const std::string& program,
                       const std::string& argsField, const std::string& extraLines = std::string());
// The program of an entry's Exec line, unquoted and unescaped, without its arguments.
// False when the file or its Exec line is missing.
bool ReadDesktopEntryExec(const std::string& path, std::string& program);

// The keys of an entry's main group that decide whether and how it handles a URL scheme.
struct DesktopEntryKeys {
    std::string exec;                   // as written, string escapes undone
    std::string icon;
    std::vector<std::string> mimeTypes;
    bool hidden = false;                // Hidden=true: the entry counts as deleted
};
// False when the file cannot be read or has no main group.
bool ReadDesktopEntryKeys(const std::string& path, DesktopEntryKeys& keys);

// One argument of an Exec line: its text with quoting removed, and whether it was a bare
// field code such as %u (a quoted "%u" or an escaped %%u is plain text).
struct ExecArg {
    std::string text;
    bool fieldCode = false;
};
// Splits an Exec value (string escapes already undone) into its arguments. False when the
// quoting is broken or the line is empty.
bool SplitExecLine(const std::string& exec, std::vector<ExecArg>& args);

} // namespace platform
