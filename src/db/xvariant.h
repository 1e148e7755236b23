#pragma once
// The tagged value that travels between callers and the record access layer. It keeps the
// VT_ tags of the automation variant so code written against that shape reads the same here.
#include <cstdint>
#include <string>
#include <vector>

typedef uint16_t VARTYPE;

enum : VARTYPE {
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R4 = 4,
    VT_R8 = 5,
    VT_DATE = 7,
    VT_BSTR = 8,
    VT_BOOL = 11,
    VT_I1 = 16,
    VT_UI1 = 17,
    VT_UI2 = 18,
    VT_UI4 = 19,
    VT_I8 = 20,
    VT_UI8 = 21,
    VT_INT = 22,
    VT_UINT = 23,
    VT_ARRAY = 0x2000,
};

// Automation dates: days since 1899-12-30 00:00, the fraction being the time of day.
typedef double DATE;

struct XVARIANT {
    VARTYPE vt = VT_EMPTY;
    union {
        int8_t cVal;
        uint8_t bVal;
        int16_t iVal;
        uint16_t uiVal;
        int32_t lVal;
        uint32_t ulVal;
        int64_t llVal;
        uint64_t ullVal;
        float fltVal;
        double dblVal;
        DATE date;
        int16_t boolVal; // VARIANT_TRUE is -1
    };
    std::wstring bstrVal;          // VT_BSTR
    std::vector<uint8_t> arrayVal; // VT_ARRAY | VT_UI1 or VT_ARRAY | VT_I1

    XVARIANT() : llVal(0) {}

    static XVARIANT FromI4(int32_t v) { XVARIANT x; x.vt = VT_I4; x.lVal = v; return x; }
    static XVARIANT FromI8(int64_t v) { XVARIANT x; x.vt = VT_I8; x.llVal = v; return x; }
    static XVARIANT FromR8(double v) { XVARIANT x; x.vt = VT_R8; x.dblVal = v; return x; }
    static XVARIANT FromDate(DATE v) { XVARIANT x; x.vt = VT_DATE; x.date = v; return x; }
    static XVARIANT FromText(const std::wstring& v) { XVARIANT x; x.vt = VT_BSTR; x.bstrVal = v; return x; }
    static XVARIANT FromBytes(const std::vector<uint8_t>& v) {
        XVARIANT x; x.vt = VT_ARRAY | VT_UI1; x.arrayVal = v; return x;
    }
};

// Calendar fields to an automation date and back (whole seconds). False for dates the
// calendar cannot hold.
bool SystemTimeToVariantDate(int year, int month, int day, int hour, int minute, int second, DATE& out);
bool VariantDateToFields(DATE date, int& year, int& month, int& day, int& hour, int& minute, int& second);
