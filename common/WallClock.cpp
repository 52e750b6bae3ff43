#include "WallClock.h"

#include <cstdio>
#include <ctime>

namespace verno {

namespace {

LocalDateTime LocalAt(std::time_t when) {
    std::tm tm{};
#ifdef _WIN32
    localtime_s(&tm, &when);
#else
    localtime_r(&when, &tm);
#endif
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

}  // namespace

LocalDateTime SystemWallClock::Now() const { return LocalAt(std::time(nullptr)); }

ZonedDateTime LocalTimeAt(std::chrono::system_clock::time_point when) {
    using namespace std::chrono;
    const std::time_t stamp = system_clock::to_time_t(when);
    const LocalDateTime t = LocalAt(stamp);
    // The local fields read as if they were UTC, less the moment itself: the zone's offset.
    // Windows' struct tm has no tm_gmtoff, so both systems take it this way.
    const sys_seconds asUtc = sys_days{year{t.year} / t.month / t.day} + hours{t.hour} + minutes{t.minute} + seconds{t.second};
    const auto offset = duration_cast<minutes>(asUtc - system_clock::from_time_t(stamp));
    return {t, static_cast<int>(offset.count())};
}

std::string IsoTime(std::chrono::system_clock::time_point when) {
    const ZonedDateTime z = LocalTimeAt(when);
    const int away = z.utcOffsetMinutes < 0 ? -z.utcOffsetMinutes : z.utcOffsetMinutes;
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d", z.local.year, z.local.month, z.local.day,
                  z.local.hour, z.local.minute, z.local.second, z.utcOffsetMinutes < 0 ? '-' : '+', away / 60, away % 60);
    return text;
}

static std::string TwoDigits3(int a, char sep1, int b, char sep2, int c) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d%c%02d%c%02d", a % 100, sep1, b % 100, sep2, c % 100);
    return text;
}

std::string FormatDate(const LocalDateTime& t) { return TwoDigits3(t.month, '/', t.day, '/', t.year); }

std::string FormatTime(const LocalDateTime& t) { return TwoDigits3(t.hour, ':', t.minute, ':', t.second); }

}  // namespace verno
