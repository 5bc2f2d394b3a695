#include "DateSerial.h"

#include <cmath>
#include <ctime>

namespace DateSerial {

namespace {
// Julian day of 30 December 1899.
constexpr std::int64_t EpochJulianDay = 2415019;

std::int64_t daysFromCivil(int y, int m, int d) {
    // Days since 1970-01-01 of a proleptic Gregorian date.
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}
} // namespace

double fromDays(std::int64_t day, int secondsOfDay) {
    const double fraction = secondsOfDay / 86400.0;
    return day < 0 ? static_cast<double>(day) - fraction : static_cast<double>(day) + fraction;
}

double fromLocal(int year, int month, int day, int hour, int minute, int second) {
    const std::int64_t days = daysFromCivil(year, month, day) + UnixEpochDay;
    return fromDays(days, hour * 3600 + minute * 60 + second);
}

double fromLocal(const QDate &date, const QTime &time) {
    const std::int64_t days = date.toJulianDay() - EpochJulianDay;
    const int secs = time.isValid() ? time.msecsSinceStartOfDay() / 1000 : 0;
    return fromDays(days, secs);
}

bool fromUnixTime(std::int64_t seconds, double &serial) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    if (!localtime_r(&t, &tm))
        return false;
    serial = fromLocal(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min,
                       tm.tm_sec > 59 ? 59 : tm.tm_sec);
    return true;
}

bool toUnixTime(double serial, std::int64_t &seconds) {
    const LocalTime local = toLocal(serial);
    if (!local.date.isValid())
        return false;
    std::tm tm{};
    tm.tm_year = local.date.year() - 1900;
    tm.tm_mon = local.date.month() - 1;
    tm.tm_mday = local.date.day();
    tm.tm_hour = local.time.hour();
    tm.tm_min = local.time.minute();
    tm.tm_sec = local.time.second();
    tm.tm_isdst = -1;
    const std::time_t t = std::mktime(&tm);
    if (t == std::time_t(-1) && tm.tm_year != 69) // -1 is also the last second of 1969
        return false;
    seconds = static_cast<std::int64_t>(t);
    return true;
}

double now() {
    double serial = 0;
    fromUnixTime(std::time(nullptr), serial);
    return serial;
}

bool isValid(double serial) {
    // The fraction of a day before the epoch counts forward, so the first day's times lie
    // between Min - 1 and Min.
    return std::isfinite(serial) && serial > Min - 1 && serial < Max + 1;
}

double chronological(double serial) {
    const double day = std::trunc(serial);
    // Adding zero makes -0 the same moment as 0.
    return serial < 0 ? 2 * day - serial : serial + 0.0;
}

void split(double serial, std::int64_t &day, int &secondsOfDay) {
    day = static_cast<std::int64_t>(std::trunc(serial));
    const double fraction = std::fabs(serial - static_cast<double>(day));
    auto secs = static_cast<std::int64_t>(std::llround(fraction * 86400.0));
    if (secs >= 86400) {
        secs -= 86400;
        ++day; // the fraction always counts forward in the calendar
    }
    secondsOfDay = static_cast<int>(secs);
}

LocalTime toLocal(double serial) {
    std::int64_t day;
    int secs;
    split(serial, day, secs);
    return {QDate::fromJulianDay(day + EpochJulianDay),
            QTime::fromMSecsSinceStartOfDay(secs * 1000)};
}

} // namespace DateSerial
