#include "winformat.h"

#include <cstdio>
#include <cstdlib>
#include <cwchar>

namespace platform {

std::wstring TranslateWideFormat(const wchar_t* format) {
    std::wstring out;
    if (!format)
        return out;
    const wchar_t* p = format;
    while (*p) {
        if (*p != L'%') {
            out.push_back(*p++);
            continue;
        }
        out.push_back(*p++);
        if (*p == L'%') {
            out.push_back(*p++);
            continue;
        }
        // flags, width, precision
        while (*p && wcschr(L"-+ #0123456789.*", *p))
            out.push_back(*p++);
        // length modifiers
        bool narrow = false, wide = false;
        while (*p && wcschr(L"hlLqjztI", *p)) {
            if (*p == L'I') {
                if (p[1] == L'6' && p[2] == L'4') {
                    out += L"ll";
                    p += 3;
                } else if (p[1] == L'3' && p[2] == L'2') {
                    p += 3;
                } else {
                    out += L"z"; // bare I: pointer-sized
                    ++p;
                }
                continue;
            }
            if (*p == L'h')
                narrow = true;
            if (*p == L'l' || *p == L'w')
                wide = true;
            out.push_back(*p++);
        }
        if (!*p)
            break;
        wchar_t conv = *p++;
        if (conv == L's' || conv == L'c') {
            if (narrow) {
                // "%hs": drop the h, glibc's plain %s is narrow
                if (!out.empty() && out.back() == L'h')
                    out.pop_back();
                out.push_back(conv);
            } else if (wide) {
                out.push_back(conv);
            } else {
                out.push_back(L'l');
                out.push_back(conv);
            }
        } else if (conv == L'S' || conv == L'C') {
            out.push_back(conv == L'S' ? L's' : L'c');
        } else {
            out.push_back(conv);
        }
    }
    return out;
}

bool VFormatWide(std::wstring& out, const wchar_t* format, va_list args) {
    out.clear();
    if (!format)
        return false;
    std::wstring fmt = TranslateWideFormat(format);
    // A wide memory stream grows as needed, so one pass formats text of any length and a
    // bad argument shows as an error instead of as "buffer too small".
    wchar_t* buf = nullptr;
    size_t size = 0;
    FILE* stream = open_wmemstream(&buf, &size);
    if (!stream)
        return false;
    va_list copy;
    va_copy(copy, args);
    int n = vfwprintf(stream, fmt.c_str(), copy);
    va_end(copy);
    fclose(stream);
    if (n >= 0 && buf)
        out.assign(buf, size);
    free(buf);
    return n >= 0;
}

} // namespace platform
