#include "link/port/FindInterfacePort.h"

#include <QByteArray>
#include <QtGlobal>

#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace verno::link {
namespace {

TEST(CableDiscovery, PicksOnlyTheCablesConverter) {
    const std::vector<PortCandidate> ports{
        {"/dev/ttyS0", std::nullopt, std::nullopt},
        {"/dev/ttyUSB0", 0x0403, 0x6001},  // same maker, another converter
        {"/dev/ttyUSB1", 0x0403, 0xF460},
        {"/dev/ttyUSB2", 0x0403, 0xF460},
    };
    EXPECT_EQ(ChooseCablePort(ports), "/dev/ttyUSB1");
    EXPECT_EQ(CablePorts(ports), (std::vector<std::string>{"/dev/ttyUSB1", "/dev/ttyUSB2"}));
    EXPECT_EQ(ChooseCablePort(std::span(ports).first(2)), std::nullopt);
}

TEST(CableDiscovery, OverrideComesBeforeTheEnvironment) {
    qputenv(kPortEnvironmentVariable, QByteArray("/tmp/verno-dc"));
    EXPECT_EQ(FindInterfacePort("/dev/ttyUSB7"), "/dev/ttyUSB7");
    EXPECT_EQ(FindInterfacePort(), "/tmp/verno-dc");
    EXPECT_EQ(FindInterfacePort(""), "/tmp/verno-dc");
    qunsetenv(kPortEnvironmentVariable);
}

}  // namespace
}  // namespace verno::link
