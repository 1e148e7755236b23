#pragma once
// INI profile files, read and written through Boost.PropertyTree's INI parser.
// A file that is missing or not INI reads as empty; it is never overwritten blindly.
#include <string>

namespace platform {

// The key's value as a decimal integer (leading white space and sign allowed, trailing text
// ignored, as Win32 does); `def` when the file, section or key is missing or not a number.
int GetPrivateProfileInt(const std::wstring& section, const std::wstring& key, int def, const std::string& path);
std::wstring GetPrivateProfileString(const std::wstring& section, const std::wstring& key, const std::wstring& def,
                                     const std::string& path);
// Sets the key, creating the file and section as needed; other content is kept. False when
// the file exists but is not INI (left untouched) or cannot be written.
bool WritePrivateProfileString(const std::wstring& section, const std::wstring& key, const std::wstring& value,
                               const std::string& path);

} // namespace platform
