#include "uReportEvent.h"

#include <cmath>
#include <cstring>

void InitReportEvent(TReportEvent& event)
{
    // The whole record first: it is stored byte for byte, and what a caller
    // leaves unset (the flag, the padding) must not carry stray memory.
    std::memset(&event, 0, sizeof(event));
    std::memset(event.Path.Chars, ' ', sizeof(event.Path.Chars));
    std::memset(event.Detail.Chars, ' ', sizeof(event.Detail.Chars));
    std::memset(event.Md5.Chars, ' ', sizeof(event.Md5.Chars));
    event.Path.Len = 0;
    event.Detail.Len = 0;
    event.Md5.Len = 0;
}

namespace {

// Days from 1 Jan 0001 (proleptic Gregorian) to the given date, 1-based.
int64_t DaysFromCivil(int year, int month, int day)
{
    static const int cumulative[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    int64_t y = year - 1;
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return y * 365 + y / 4 - y / 100 + y / 400 + cumulative[month - 1] + (leap && month > 2 ? 1 : 0) + day;
}

const int64_t kDelphiEpoch = DaysFromCivil(1899, 12, 30);
// The calendar the system's date functions know: 1 Jan 1601 to 31 Dec 9999.
const int64_t kFirstDay = DaysFromCivil(1601, 1, 1) - kDelphiEpoch;
const int64_t kLastDay = DaysFromCivil(9999, 12, 31) - kDelphiEpoch;

}  // namespace

double EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int ms)
{
    double date = static_cast<double>(DaysFromCivil(year, month, day) - kDelphiEpoch);
    double time = (hour * 3600000.0 + minute * 60000.0 + second * 1000.0 + ms) / 86400000.0;
    return date >= 0 ? date + time : date - time;
}

bool DecodeDateTime(double value, int& year, int& month, int& day, int& hour, int& minute, int& second, int& ms)
{
    year = month = day = hour = minute = second = ms = 0;
    // Checked before any conversion: a value from a damaged record may be
    // anything, and the day count must stay where the calendar search ends.
    if (!std::isfinite(value) || value < static_cast<double>(kFirstDay) - 1.0 ||
        value > static_cast<double>(kLastDay) + 1.0)
        return false;
    double wholeDays = std::trunc(value);
    int64_t msOfDay = std::llround(std::fabs(value - wholeDays) * 86400000.0);
    int64_t days = static_cast<int64_t>(wholeDays);
    if (msOfDay >= 86400000) {
        msOfDay -= 86400000;
        days += value >= 0 ? 1 : -1;
    }
    if (days < kFirstDay || days > kLastDay) return false;
    int64_t serial = days + kDelphiEpoch;  // days since 1 Jan 0001, 1-based
    int y = static_cast<int>(serial / 366) + 1;
    while (DaysFromCivil(y + 1, 1, 1) <= serial) ++y;
    int m = 1;
    while (m < 12 && DaysFromCivil(y, m + 1, 1) <= serial) ++m;
    year = y;
    month = m;
    day = static_cast<int>(serial - DaysFromCivil(y, m, 1) + 1);
    hour = static_cast<int>(msOfDay / 3600000);
    minute = static_cast<int>(msOfDay / 60000 % 60);
    second = static_cast<int>(msOfDay / 1000 % 60);
    ms = static_cast<int>(msOfDay % 1000);
    return true;
}
