#pragma once
// The URL protocol "tessaril" under HKEY_CLASSES_ROOT mirrors the desktop's handler for
// "x-scheme-handler/tessaril" (shellhandler.h), so that the program reads what a link in a
// browser would really start:
//   "tessaril\shell\open\command" (default)  "<program>" "%1"  for Exec=<program> %u
//   "tessaril" "URL Protocol"                  <program>
//   "tessaril\DefaultIcon" (default)           <program>,1  when the entry names an icon
// <program> is the file the launcher runs (PATH and symbolic links resolved). Other values
// under the key live in the registry store like any other.
#include <string>

#include "registry.h"

namespace platform {

// Desktop file id of the handler entry that registration writes for the user (and that the
// package installs system-wide).
extern const char* const kProtocolHandlerId;

bool IsProtocolMirrorValue(HKEY hive, const std::wstring& key, const std::wstring& name);
// True for the "tessaril" key itself and every key below it.
bool IsProtocolKey(HKEY hive, const std::wstring& key);
// A mirrored value as the desktop has it; false when no entry handles the scheme.
bool ReadProtocolMirrorValue(const std::wstring& key, const std::wstring& name, std::wstring& out);

// The value a mirrored value has when `program` handles the scheme with an icon.
std::wstring ProtocolMirrorValueFor(const std::wstring& key, const std::wstring& name, const std::string& program);

// Makes `program` the scheme's handler for this user: writes the user's handler entry,
// makes it the default, and refreshes the desktop database. False when either file cannot
// be written.
bool RegisterProtocolHandler(const std::string& program);

} // namespace platform
