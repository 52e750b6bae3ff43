#pragma once
// The PC's local date and time, for task-log stamps and the DC's clock record.

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

}  // namespace verno
