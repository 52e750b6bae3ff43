#pragma once
// The PC's local date and time, for task-log stamps and the DC's clock record.

#include <chrono>
#include <string>

namespace verno {

struct LocalDateTime {
    int year = 2000;  // four digits
    int month = 1;    // 1..12
    int day = 1;      // 1..31
    int hour = 0;     // 0..23
    int minute = 0;
    int second = 0;
};

class WallClock {
public:
    virtual ~WallClock() = default;
    virtual LocalDateTime Now() const = 0;
};

// Reads the system's local time.
class SystemWallClock final : public WallClock {
public:
    LocalDateTime Now() const override;
};

// "mm/dd/yy" and "hh:mm:ss" (24-hour, two digits each).
std::string FormatDate(const LocalDateTime& t);
std::string FormatTime(const LocalDateTime& t);

// A moment on the PC's local clock, and how far its zone was then ahead of UTC.
struct ZonedDateTime {
    LocalDateTime local;
    int utcOffsetMinutes = 0;  // east of Greenwich positive: +60 for UTC+01:00
};
ZonedDateTime LocalTimeAt(std::chrono::system_clock::time_point when);

// The moment as ISO 8601 with the local zone: 2026-12-08T10:41:07+01:00.
std::string IsoTime(std::chrono::system_clock::time_point when);

}  // namespace verno
