#pragma once
// The Windows scalar types the program is written against, with their Win32 sizes.
#include <cstdint>

typedef int BOOL;
typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef uint32_t UINT;
typedef int32_t INT;
typedef int32_t HRESULT;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

// Code pages understood by the text conversions.
constexpr UINT CP_ACP = 0;      // the locale's multibyte encoding (the "system ANSI code page")
constexpr UINT CP_UTF8 = 65001;

// Path separator of this platform; the program's folder texts end in it.
constexpr wchar_t kPathSepW = L'/';
constexpr char kPathSepA = '/';

struct SYSTEMTIME {
    WORD wYear;
    WORD wMonth;
    WORD wDayOfWeek;
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
};

struct GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};
