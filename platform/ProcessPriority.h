#pragma once
// The scheduling priority of a process, in the Windows priority classes the callers speak.
// Windows sets the class itself. On Linux a class is a nice value; a real-time scheduling policy
// is never used, as a runaway wait loop under it could freeze the machine.

#include <cstdint>
#include <optional>

namespace verno::platform {

inline constexpr std::uint32_t kNormalPriorityClass = 0x20;
inline constexpr std::uint32_t kHighPriorityClass = 0x80;
inline constexpr std::uint32_t kRealtimePriorityClass = 0x100;

// Sets the priority class of a process (0: the program's own, or on Windows the owner of the
// window handle when that is not 0) and returns the class in force afterwards, 0 when it cannot be read. A change the system
// refuses leaves the priority as it was.
std::uint32_t SetProcessPriority(std::uint32_t processId, std::uint32_t windowHandle,
                                 std::uint32_t priorityClass);

// The calls SetProcessPriority makes on a nice-value system, so that a refusal can be tested
// without depending on the rights of the user running the tests.
class NiceControl {
public:
    virtual ~NiceControl() = default;
    // False when the system refuses.
    virtual bool SetNice(std::uint32_t processId, int nice) = 0;
    virtual std::optional<int> GetNice(std::uint32_t processId) = 0;
};

#ifndef _WIN32
// The real setpriority/getpriority; processId 0 is the calling process.
class SystemNiceControl final : public NiceControl {
public:
    bool SetNice(std::uint32_t processId, int nice) override;
    std::optional<int> GetNice(std::uint32_t processId) override;
};
#endif

// The nice value for a class; nullopt for a class this program does not use.
std::optional<int> NiceForPriorityClass(std::uint32_t priorityClass);
std::uint32_t PriorityClassForNice(int nice);

std::uint32_t SetProcessPriority(NiceControl& system, std::uint32_t processId, std::uint32_t priorityClass);

}  // namespace verno::platform
