#include "textconv.h"

#include <climits>
#include <clocale>
#include <cstring>
#include <cwchar>
#include <langinfo.h>
#include <locale>

namespace platform {

namespace {

bool IsUtf8Codeset() {
    const char* cs = nl_langinfo(CODESET);
    return cs && (strcmp(cs, "UTF-8") == 0 || strcmp(cs, "utf8") == 0);
}

std::wstring Utf8Decode(const char* s, size_t n) {
    std::wstring out;
    out.reserve(n);
    size_t i = 0;
    while (i < n) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            out.push_back(c);
            ++i;
            continue;
        }
        int extra = (c >= 0xF0 && c <= 0xF4) ? 3 : (c >= 0xE0) ? 2 : (c >= 0xC2 && c < 0xE0) ? 1 : -1;
        if (c >= 0xF5)
            extra = -1;
        if (extra < 0 || i + static_cast<size_t>(extra) >= n) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        uint32_t cp = c & (0x3F >> extra);
        bool ok = true;
        for (int k = 1; k <= extra; ++k) {
            unsigned char cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            cp = (cp << 6) | (cc & 0x3F);
        }
        // Reject overlong forms, surrogates and values past U+10FFFF.
        static const uint32_t kMin[4] = {0, 0x80, 0x800, 0x10000};
        if (!ok || cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        out.push_back(static_cast<wchar_t>(cp));
        i += extra + 1;
    }
    return out;
}

std::string Utf8Encode(const std::wstring& w) {
    std::string out;
    out.reserve(w.size());
    for (wchar_t wc : w) {
        uint32_t cp = static_cast<uint32_t>(wc);
        if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            cp = 0xFFFD;
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

std::wstring LocaleDecode(const char* s, size_t n) {
    std::wstring out;
    std::mbstate_t st{};
    size_t i = 0;
    while (i < n) {
        wchar_t wc = 0;
        size_t r = std::mbrtowc(&wc, s + i, n - i, &st);
        if (r == static_cast<size_t>(-1) || r == static_cast<size_t>(-2)) {
            out.push_back(0xFFFD);
            st = std::mbstate_t{};
            ++i;
            continue;
        }
        if (r == 0)
            r = 1; // an embedded NUL inside an explicit length
        out.push_back(wc);
        i += r;
    }
    return out;
}

std::string LocaleEncode(const std::wstring& w) {
    std::string out;
    std::mbstate_t st{};
    char buf[MB_LEN_MAX];
    for (wchar_t wc : w) {
        size_t r = std::wcrtomb(buf, wc, &st);
        if (r == static_cast<size_t>(-1)) {
            out.push_back('?');
            st = std::mbstate_t{};
            continue;
        }
        out.append(buf, r);
    }
    return out;
}

} // namespace

bool SetProcessUtf8Locale() {
    if (setlocale(LC_ALL, "") && IsUtf8Codeset())
        return true;
    for (const char* name : {"C.UTF-8", "C.utf8", "en_US.UTF-8"}) {
        if (setlocale(LC_ALL, name) && IsUtf8Codeset())
            return true;
    }
    return false;
}

std::wstring MultiByteToWide(UINT codePage, const char* text, int len) {
    if (!text)
        return std::wstring();
    size_t n = len < 0 ? strlen(text) : static_cast<size_t>(len);
    if (n == 0)
        return std::wstring();
    if (codePage == CP_UTF8 || (codePage == CP_ACP && IsUtf8Codeset()))
        return Utf8Decode(text, n);
    return LocaleDecode(text, n);
}

std::string WideToMultiByte(UINT codePage, const std::wstring& text) {
    if (text.empty())
        return std::string();
    if (codePage == CP_UTF8 || (codePage == CP_ACP && IsUtf8Codeset()))
        return Utf8Encode(text);
    return LocaleEncode(text);
}

} // namespace platform
