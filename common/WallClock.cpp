#include "WallClock.h"

#include <cstdio>
#include <ctime>

namespace verno {

LocalDateTime SystemWallClock::Now() const {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
#ifdef _WIN32
    localtime_s(&tm, &now);
#else
    localtime_r(&now, &tm);
#endif
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

static std::string TwoDigits3(int a, char sep1, int b, char sep2, int c) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d%c%02d%c%02d", a % 100, sep1, b % 100, sep2, c % 100);
    return text;
}

std::string FormatDate(const LocalDateTime& t) { return TwoDigits3(t.month, '/', t.day, '/', t.year); }

std::string FormatTime(const LocalDateTime& t) { return TwoDigits3(t.hour, ':', t.minute, ':', t.second); }

}  // namespace verno
