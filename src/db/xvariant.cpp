#include "db/xvariant.h"

#include <cmath>

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int& y, int& m, int& d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t yy = static_cast<int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yy + (m <= 2));
}

// 1899-12-30, day zero of automation dates, counted from 1970-01-01.
const int64_t kOleEpochDays = DaysFromCivil(1899, 12, 30);

} // namespace

bool SystemTimeToVariantDate(int year, int month, int day, int hour, int minute, int second, DATE& out) {
    if (year < 100 || year > 9999 || month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || hour > 23 ||
        minute < 0 || minute > 59 || second < 0 || second > 59)
        return false;
    int cy, cm, cd;
    CivilFromDays(DaysFromCivil(year, month, day), cy, cm, cd);
    if (cy != year || cm != month || cd != day)
        return false; // 31 April and the like
    const double days = static_cast<double>(DaysFromCivil(year, month, day) - kOleEpochDays);
    const double frac = (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
    // Before day zero the fraction still counts forwards from midnight, as automation dates do.
    out = days >= 0 ? days + frac : days - frac;
    return true;
}

bool VariantDateToFields(DATE date, int& year, int& month, int& day, int& hour, int& minute, int& second) {
    if (!std::isfinite(date) || date < -657434.0 || date > 2958465.9999999)
        return false;
    double whole = std::trunc(date);
    double frac = std::fabs(date - whole);
    int64_t secs = static_cast<int64_t>(std::llround(frac * 86400.0));
    if (secs >= 86400) {
        secs -= 86400;
        whole += date >= 0 ? 1 : -1;
    }
    CivilFromDays(static_cast<int64_t>(whole) + kOleEpochDays, year, month, day);
    hour = static_cast<int>(secs / 3600);
    minute = static_cast<int>(secs / 60 % 60);
    second = static_cast<int>(secs % 60);
    return true;
}
