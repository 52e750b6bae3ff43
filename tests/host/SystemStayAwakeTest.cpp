// The system's hold on sleep: on Linux against python3-dbusmock's logind on a private system
// bus, on Windows against the thread's execution state.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "host/SystemStayAwake.h"

#ifdef _WIN32
#include <windows.h>
#else
#include "tests/support/PrivateSystemBus.h"
#endif

namespace verno {
namespace {

#ifdef _WIN32

TEST(SystemStayAwake, KeepsTheSystemFromSleepingUntilLetGo) {
    host::SystemStayAwake awake;
    awake.Hold("writing");
    EXPECT_TRUE(awake.Held());
    // Setting the state returns the one in force.
    EXPECT_EQ(SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED), ES_CONTINUOUS | ES_SYSTEM_REQUIRED);
    awake.Release();
    EXPECT_FALSE(awake.Held());
    EXPECT_EQ(SetThreadExecutionState(ES_CONTINUOUS), ES_CONTINUOUS);
}

#else

TEST(SystemStayAwake, HoldsOffSleepAndShutdownThroughLogindAndLetsGo) {
    PrivateSystemBus bus;
    // Read by Qt when it first connects to the system bus, below.
    ASSERT_EQ(setenv("DBUS_SYSTEM_BUS_ADDRESS", bus.Address().c_str(), 1), 0);
    host::SystemStayAwake awake;

    // A bus without logind: nothing held, nothing said, no wait.
    const auto before = std::chrono::steady_clock::now();
    awake.Hold("writing");
    EXPECT_FALSE(awake.Held());
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(1));

    ASSERT_TRUE(bus.StartLogind());
    awake.Hold("The dive computer's memory is being written");
    EXPECT_TRUE(awake.Held());
    const std::string listed = bus.LogindInhibitors();
    EXPECT_NE(listed.find("string \"sleep:shutdown\""), std::string::npos) << listed;
    EXPECT_NE(listed.find("string \"VERNO firmware update\""), std::string::npos) << listed;
    EXPECT_NE(listed.find("string \"The dive computer's memory is being written\""), std::string::npos) << listed;
    EXPECT_NE(listed.find("string \"block\""), std::string::npos) << listed;

    awake.Release();
    EXPECT_FALSE(awake.Held());
    // logind lets go when it sees the descriptor closed.
    std::string after = bus.LogindInhibitors();
    for (int i = 0; i < 100 && after.find("sleep:shutdown") != std::string::npos; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        after = bus.LogindInhibitors();
    }
    EXPECT_EQ(after.find("sleep:shutdown"), std::string::npos) << after;
}

#endif

}  // namespace
}  // namespace verno
