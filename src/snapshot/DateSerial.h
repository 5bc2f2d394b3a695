#pragma once

#include <QDate>
#include <QTime>
#include <cstdint>
#include <ctime>

// A date serial counts days since 30 December 1899 00:00 (local time), with the time of day as
// the fraction. Days before that epoch are negative and their fraction still counts forward from
// midnight, so -1.25 is 29 December 1899 06:00 (the OLE Automation convention).
namespace DateSerial {

// Days between 1 January 1970 and the serial epoch.
inline constexpr std::int64_t UnixEpochDay = 25569;
// The range of dates a calendar can show (years 100 to 9999).
inline constexpr double Min = -657434.0;
inline constexpr double Max = 2958465.99999;

struct LocalTime {
    QDate date;
    QTime time;
};

double fromDays(std::int64_t day, int secondsOfDay);
double fromLocal(const QDate &date, const QTime &time);
double fromLocal(int year, int month, int day, int hour, int minute, int second);
// Converts a moment given as seconds since the Unix epoch (UTC) to a local-time serial,
// whole seconds. Returns false when the platform cannot convert it.
bool fromUnixTime(std::int64_t seconds, double &serial);
// The moment a local-time serial stands for, as seconds since the Unix epoch (in the hour a
// clock set back repeats, the first). Returns false when the platform cannot convert it.
bool toUnixTime(double serial, std::int64_t &seconds);
// The current local time, whole seconds.
double now();

bool isValid(double serial);
// A number that grows with the moment a serial stands for, also before the epoch (where the
// serial's fraction runs the other way).
double chronological(double serial);
// Splits a serial into its day number and whole seconds of the day (rounded to the second).
void split(double serial, std::int64_t &day, int &secondsOfDay);
LocalTime toLocal(double serial);

} // namespace DateSerial
