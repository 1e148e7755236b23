#pragma once
// Conversions between wide text (std::wstring) and narrow byte strings in a code page.
// CP_ACP is the locale's multibyte encoding, which SetProcessUtf8Locale makes UTF-8.
#include <string>
#include "wintypes.h"

namespace platform {

// Switches the C and C++ locale of the process to a UTF-8 locale (C.UTF-8 when the
// user's own locale is not UTF-8). Returns false when no UTF-8 locale exists.
bool SetProcessUtf8Locale();

// Narrow text in `codePage` (CP_ACP or CP_UTF8) to wide. `len` < 0 reads up to the terminator.
// Invalid sequences become U+FFFD; nothing is read past `len`.
std::wstring MultiByteToWide(UINT codePage, const char* text, int len = -1);
// Wide text to narrow text in `codePage`. Characters the code page cannot hold become '?'.
std::string WideToMultiByte(UINT codePage, const std::wstring& text);

} // namespace platform
