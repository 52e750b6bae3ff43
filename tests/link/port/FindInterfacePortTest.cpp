#include "link/port/FindInterfacePort.h"

#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "link/port/OSVersion.h"

namespace verno::link {
namespace {

using namespace std::string_literals;

TEST(RegistryText, ComNumberIsTheTextBeforeNulWithoutItsFirstThreeCharacters) {
    EXPECT_EQ(ComNumberFromRegistryText("COM5\0"s), 5);
    EXPECT_EQ(ComNumberFromRegistryText("COM12"), 12);
    EXPECT_EQ(ComNumberFromRegistryText("COM255\0junk"s), 255);
    EXPECT_EQ(ComNumberFromRegistryText("COM7\0" "9"s), 7);
}

TEST(RegistryText, TextsThatAreNoPortNumberGiveZero) {
    EXPECT_EQ(ComNumberFromRegistryText(""), 0);
    EXPECT_EQ(ComNumberFromRegistryText("COM"), 0);
    EXPECT_EQ(ComNumberFromRegistryText("COM\0" "5"s), 0);
    EXPECT_EQ(ComNumberFromRegistryText("COM0"), 0);
    EXPECT_EQ(ComNumberFromRegistryText("COM256"), 0);
    EXPECT_EQ(ComNumberFromRegistryText("COM5x"), 0);
    EXPECT_EQ(ComNumberFromRegistryText("COM-5"), 0);
}

TEST(OsName, ClassifiesThePlatformAndVersion) {
    EXPECT_EQ(OsNameFromVersion(2, 10, 0), "WindowsNT");
    EXPECT_EQ(OsNameFromVersion(2, 5, 0), "WindowsNT");  // 2000 on the NT platform id
    EXPECT_EQ(OsNameFromVersion(0, 3, 1), "WindowsNT");
    EXPECT_EQ(OsNameFromVersion(1, 4, 0), "Windows95");
    EXPECT_EQ(OsNameFromVersion(1, 3, 95), "Windows95");
    EXPECT_EQ(OsNameFromVersion(1, 4, 10), "Windows98");
    EXPECT_EQ(OsNameFromVersion(1, 4, 90), "Windows98");
    EXPECT_EQ(OsNameFromVersion(1, 5, 0), "Windows2000");
    EXPECT_EQ(OsNameFromVersion(3, 10, 0), "");
}

TEST(OsName, OnlyWindows98ReadsTheDriverEnumKey) {
    const RegistryEntry win98 = CableRegistryEntry(OsNameFromVersion(1, 4, 10));
    EXPECT_EQ(win98.key, R"(Enum\FTDIBUS\VID_0403+PID_F460+20030001A\0000)");
    EXPECT_EQ(win98.value, "PortName");
    for (const auto& name : {OsNameFromVersion(1, 4, 0), OsNameFromVersion(2, 4, 0), OsNameFromVersion(1, 5, 0),
                             OsNameFromVersion(2, 10, 0)}) {
        const RegistryEntry entry = CableRegistryEntry(name);
        EXPECT_EQ(entry.key, R"(Hardware\DeviceMap\SerialComm)") << name;
        EXPECT_EQ(entry.value, R"(\Device\VCP0)") << name;
    }
}

TEST(CableDiscovery, PicksOnlyTheCablesConverter) {
    const std::vector<PortCandidate> ports{
        {"/dev/ttyS0", std::nullopt, std::nullopt},
        {"/dev/ttyUSB0", 0x0403, 0x6001},  // same maker, another converter
        {"/dev/ttyUSB1", 0x0403, 0xF460},
        {"/dev/ttyUSB2", 0x0403, 0xF460},
    };
    EXPECT_EQ(ChooseCablePort(ports), "/dev/ttyUSB1");
    EXPECT_EQ(ChooseCablePort(std::span(ports).first(2)), std::nullopt);
}

TEST(CableDiscovery, OverrideComesBeforeTheEnvironment) {
    setenv(kPortEnvironmentVariable, "/tmp/verno-dc", 1);
    EXPECT_EQ(FindInterfacePort("/dev/ttyUSB7"), "/dev/ttyUSB7");
    EXPECT_EQ(FindInterfacePort(), "/tmp/verno-dc");
    EXPECT_EQ(FindInterfacePort(""), "/tmp/verno-dc");
    unsetenv(kPortEnvironmentVariable);
}

}  // namespace
}  // namespace verno::link
