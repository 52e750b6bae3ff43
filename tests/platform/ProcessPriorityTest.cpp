#include "platform/ProcessPriority.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/resource.h>
#endif

#include <gtest/gtest.h>

#include <vector>

namespace verno::platform {
namespace {

// A system whose nice value starts somewhere and which may refuse to lower it.
class FakeNiceControl final : public NiceControl {
public:
    int nice = 0;
    bool refuseRaise = false;  // an unprivileged user may not lower the nice value
    bool unreadable = false;
    std::vector<int> requested;

    bool SetNice(std::uint32_t, int value) override {
        requested.push_back(value);
        if (refuseRaise && value < nice) return false;
        nice = value;
        return true;
    }
    std::optional<int> GetNice(std::uint32_t) override {
        if (unreadable) return std::nullopt;
        return nice;
    }
};

TEST(ProcessPriority, ClassesMapToNiceValuesAndBack) {
    EXPECT_EQ(NiceForPriorityClass(kNormalPriorityClass), 0);
    EXPECT_EQ(NiceForPriorityClass(kHighPriorityClass), -10);
    EXPECT_EQ(NiceForPriorityClass(kRealtimePriorityClass), -20);
    EXPECT_EQ(NiceForPriorityClass(0x40), std::nullopt);

    EXPECT_EQ(PriorityClassForNice(-20), kRealtimePriorityClass);
    EXPECT_EQ(PriorityClassForNice(-19), kHighPriorityClass);
    EXPECT_EQ(PriorityClassForNice(-10), kHighPriorityClass);
    EXPECT_EQ(PriorityClassForNice(-9), kNormalPriorityClass);
    EXPECT_EQ(PriorityClassForNice(0), kNormalPriorityClass);
    EXPECT_EQ(PriorityClassForNice(19), kNormalPriorityClass);
}

TEST(ProcessPriority, GrantedChangeReturnsTheNewClass) {
    FakeNiceControl system;
    EXPECT_EQ(SetProcessPriority(system, 0, kRealtimePriorityClass), kRealtimePriorityClass);
    EXPECT_EQ(system.nice, -20);
    EXPECT_EQ(SetProcessPriority(system, 0, kHighPriorityClass), kHighPriorityClass);
    EXPECT_EQ(SetProcessPriority(system, 0, kNormalPriorityClass), kNormalPriorityClass);
    EXPECT_EQ(system.nice, 0);
    EXPECT_EQ(system.requested, (std::vector<int>{-20, -10, 0}));
}

TEST(ProcessPriority, RefusedChangeLeavesAndReturnsTheClassInForce) {
    FakeNiceControl system;
    system.refuseRaise = true;
    EXPECT_EQ(SetProcessPriority(system, 0, kRealtimePriorityClass), kNormalPriorityClass);
    EXPECT_EQ(system.nice, 0);

    system.nice = -10;  // granted earlier by someone with the right to it
    EXPECT_EQ(SetProcessPriority(system, 0, kRealtimePriorityClass), kHighPriorityClass);
    EXPECT_EQ(system.nice, -10);
}

TEST(ProcessPriority, UnknownClassChangesNothingAndUnreadableGivesZero) {
    FakeNiceControl system;
    system.nice = -10;
    EXPECT_EQ(SetProcessPriority(system, 0, 0x40), kHighPriorityClass);
    EXPECT_TRUE(system.requested.empty());

    system.unreadable = true;
    EXPECT_EQ(SetProcessPriority(system, 0, kNormalPriorityClass), 0u);
}

// The real process: whatever the rights of the user, the result is the class actually in force.
#ifdef _WIN32
TEST(ProcessPriority, OwnProcessReportsWhatTheSystemGranted) {
    const std::uint32_t result = SetProcessPriority(0, 0, kRealtimePriorityClass);
    EXPECT_EQ(result, GetPriorityClass(GetCurrentProcess()));
    EXPECT_NE(result, 0u);
    EXPECT_EQ(SetProcessPriority(0, 0, kHighPriorityClass), kHighPriorityClass);
    EXPECT_EQ(SetProcessPriority(GetCurrentProcessId(), 0, kNormalPriorityClass), kNormalPriorityClass);
    EXPECT_EQ(GetPriorityClass(GetCurrentProcess()), kNormalPriorityClass);
}
#else
TEST(ProcessPriority, OwnProcessReportsWhatTheSystemGranted) {
    const std::uint32_t result = SetProcessPriority(0, 0, kHighPriorityClass);
    const int nice = getpriority(PRIO_PROCESS, 0);
    EXPECT_EQ(result, PriorityClassForNice(nice));
    EXPECT_EQ(SetProcessPriority(0, 0, kNormalPriorityClass), kNormalPriorityClass);
    setpriority(PRIO_PROCESS, 0, 0);  // in case the test runs with the right to raise it
}
#endif

}  // namespace
}  // namespace verno::platform
