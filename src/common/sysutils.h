#pragma once
// Shared free functions: text conversion, formatting, operating-system facts, identifiers and
// digests, registry strings and the start-with-the-session switch. None throws or logs;
// failures come back as empty results or false.
#include <string>

#include "platform/registry.h"
#include "platform/wintypes.h"

// Narrow text in the system ANSI code page (explicit length) to wide; a leading U+FEFF is removed.
std::wstring AnsiToWide(const char* text, int len);
std::wstring AnsiToWide(const std::string& text);
std::string WideToAnsi(const std::wstring& text);
std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const std::wstring& text);
// codePage 0 = system ANSI, 65001 = UTF-8; len -1 reads up to the terminator.
std::wstring MultiByteToWideString(UINT codePage, const char* text, int len = -1);
std::string WideToMultiByteString(UINT codePage, const std::wstring& text);

// printf-style formatting with Windows wide conversions ("%s" is a wide string, "%S" narrow).
// A format whose arguments cannot be formatted gives an empty text.
std::wstring FormatString(const wchar_t* format, ...);
void FormatString(std::wstring& out, const wchar_t* format, ...);

// Name from the Windows version table ("Win 7", "Win 10", ..., "Unknown"); the packed version
// (major << 8 | minor) of the running system goes to `packedVersion` when given.
std::wstring GetOsVersionName(WORD* packedVersion = nullptr);
// The table itself, for any version numbers.
std::wstring OsVersionNameOf(int major, int minor);
bool Is64BitOS();
// The device identifier: the "MachineGuid" value of HKLM "SOFTWARE\Microsoft\Cryptography".
std::string GetMachineGuid();
std::wstring GetModulePath();
// The part of `path` up to and including its last separator; empty when there is none.
std::wstring GetDirOfPath(const std::wstring& path);
// True when the executable path of any running process contains `text`, however many run
// (another user's processes cannot be read and do not count).
bool IsProcessRunning(const std::wstring& text);

// 32 upper-case hexadecimal digits of a new GUID; empty when none could be made.
std::wstring MakeGuidString();
// MD5 of the bytes as 32 lower-case hexadecimal digits.
std::string Md5Hex(const std::string& bytes);
// Standard base64 of the bytes; true when the output is not empty.
bool Base64Encode(const std::string& bytes, std::string& out);

bool RegReadString(HKEY hive, const std::wstring& key, const std::wstring& name, std::wstring& out);
bool RegReadString(HKEY hive, const std::string& key, const std::string& name, std::string& out);
bool RegWriteString(HKEY hive, const std::wstring& key, const std::wstring& name, const std::wstring& value);
bool RegWriteString(HKEY hive, const std::string& key, const std::string& name, const std::string& value);
bool RegDeleteValueOf(HKEY hive, const std::wstring& key, const std::wstring& name);
bool RegDeleteValueOf(HKEY hive, const std::string& key, const std::string& name);

// Start with the desktop session: the Run value "shopdesk" holding the executable's path.
bool IsAutoRun();
bool SetAutoRun(bool on);
