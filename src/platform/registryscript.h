#pragma once
// Registry scripts (".reg", the registry editor's file syntax) are imported by our own
// reader: it parses and never executes. It accepts only string values of the URL protocol
// key "tessaril" under HKEY_CLASSES_ROOT; the values that the desktop's scheme handler
// mirrors must name the running executable and register it as the handler, the others go to
// the registry store. A script that names any other hive or key, deletes anything, holds
// another value type, is malformed or larger than kMaxRegistryScriptBytes changes nothing.
#include <cstddef>
#include <string>
#include <vector>

namespace platform {

constexpr size_t kMaxRegistryScriptBytes = 64 * 1024;

struct RegistryScriptValue {
    std::wstring key;  // below the hive, as written
    std::wstring name; // empty for the default value ("@")
    std::wstring data;
};

// Parses the text of a script: the header line "Windows Registry Editor Version 5.00" (or
// "REGEDIT4"), key lines and string values, LF or CR LF, UTF-8 with or without a byte-order
// mark. Every key must be HKEY_CLASSES_ROOT\tessaril or below it. False, with nothing in
// `values`, on anything else.
bool ParseRegistryScript(const std::string& text, std::vector<RegistryScriptValue>& values);

// Reads, checks and applies the script at `path`; all or nothing. False when it was refused
// or could not be applied.
bool ImportRegistryScript(const std::string& path);

} // namespace platform
