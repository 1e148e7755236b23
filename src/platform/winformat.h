#pragma once
// printf-style formatting with the Windows meaning of the wide conversions:
// in a wide format "%s" takes a wide string and "%S" a narrow one ("%hs" narrow, "%ls" wide),
// "%c" a wide character and "%I64d" a 64-bit integer. glibc reads them differently, so the
// format is rewritten before it reaches vswprintf.
#include <cstdarg>
#include <string>

namespace platform {

// The Windows-shaped wide format rewritten for glibc's vswprintf.
std::wstring TranslateWideFormat(const wchar_t* format);
// Formats `format` (Windows meaning) with `args`. Returns false and an empty text when the
// arguments cannot be formatted (for example a narrow string that is not valid in the locale).
bool VFormatWide(std::wstring& out, const wchar_t* format, va_list args);

} // namespace platform
