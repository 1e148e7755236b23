#pragma once
// The check, at the end of the main window's initialisation, that the URL protocol
// "tessaril" starts this executable; when it does not, the user is asked and, on consent, a
// registry script "shopdesk.reg" is written into the cache folder and opened through the
// shell, which imports it. The program never writes the protocol's values directly.
#include <string>

// The executable the protocol must start: the executable folder (ending in a separator) and
// the running executable's file name.
std::wstring ExpectedProtocolExecutable(const std::wstring& exeDir);

// True when the protocol's command, "URL Protocol" and icon values read exactly as they must
// for `exePath`.
bool IsUrlProtocolRegistered(const std::wstring& exePath);

// The text of "shopdesk.reg" for `exePath`, LF line ends, backslashes in the path doubled.
std::string MakeUrlProtocolScript(const std::wstring& exePath);

// Writes the script into `cacheDir` (the working folder when empty) and opens it through the
// shell. 1 when the shell took it, 0 when the file could not be written or was refused.
int WriteAndOpenUrlProtocolScript(const std::wstring& exePath, const std::wstring& cacheDir);

// The whole check: 1 when the values are right or the script was handed to the shell, 0
// otherwise. Failures end it quietly; the next start checks again.
int CheckUrlProtocolRegistration(const std::wstring& exeDir, const std::wstring& cacheDir);
