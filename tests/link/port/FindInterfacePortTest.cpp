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
        {"/dev/ttyS0", std::nullopt, std::nullopt, ""},
        {"/dev/ttyUSB0", 0x0403, 0x6001, "FT1"},  // same maker, another converter
        {"/dev/ttyUSB1", 0x0403, 0xF460, "FTAB12"},
        {"/dev/ttyUSB2", 0x0403, 0xF460, "FTCD34"},
    };
    EXPECT_EQ(ChooseCablePort(ports), "/dev/ttyUSB1");
    EXPECT_EQ(CablePorts(ports), (std::vector<std::string>{"/dev/ttyUSB1", "/dev/ttyUSB2"}));
    EXPECT_EQ(ChooseCablePort(std::span(ports).first(2)), std::nullopt);
    // A cable that came back under another name is the one with its converter's serial number.
    EXPECT_EQ(PortsOf({0x0403, 0xF460, "FTCD34"}, ports), std::vector<std::string>{"/dev/ttyUSB2"});
    EXPECT_EQ(PortsOf({0x0403, 0xF460, ""}, ports), (std::vector<std::string>{"/dev/ttyUSB1", "/dev/ttyUSB2"}));
}

TEST(CableDiscovery, OverrideComesBeforeTheEnvironment) {
    qputenv(kPortEnvironmentVariable, QByteArray("/tmp/verno-dc"));
    EXPECT_EQ(FindInterfacePort("/dev/ttyUSB7"), "/dev/ttyUSB7");
    EXPECT_EQ(FindInterfacePort(), "/tmp/verno-dc");
    EXPECT_EQ(FindInterfacePort(""), "/tmp/verno-dc");
    qunsetenv(kPortEnvironmentVariable);
    // COM ports as Windows users see them, whichever way they were written.
    EXPECT_EQ(FindInterfacePort("COM5:"), "COM5");
    EXPECT_EQ(FindInterfacePort("\\\\.\\COM12"), "COM12");
    EXPECT_EQ(FindInterfacePort("com3"), "com3");
    EXPECT_EQ(FindInterfacePort("/dev/ttyUSB0:"), "/dev/ttyUSB0:");
    EXPECT_EQ(FindInterfacePort("\\\\.\\pipe\\x"), "\\\\.\\pipe\\x");
}

TEST(CableDiscovery, NamesTheConvertersHardwareIdsInAnyCase) {
    using namespace std::string_view_literals;
    EXPECT_TRUE(NamesCable(L"USB\\VID_0403&PID_F460&REV_0600\0USB\\VID_0403&PID_F460\0\0"sv));
    EXPECT_TRUE(NamesCable(L"USB\\VID_1234&PID_0001\0usb\\vid_0403&pid_f460\0\0"sv));
    EXPECT_FALSE(NamesCable(L"USB\\VID_0403&PID_6001&REV_0600\0\0"sv));  // another converter
    EXPECT_FALSE(NamesCable(L"USB\\VID_0403&PID_F4601\0\0"sv));
    EXPECT_FALSE(NamesCable(L"\0USB\\VID_0403&PID_F460\0\0"sv));  // after the list's end
    EXPECT_FALSE(NamesCable(L"USB\\VID_0403&PID_F46"sv));           // cut short
}

}  // namespace
}  // namespace verno::link
