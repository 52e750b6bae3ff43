#include "wizard/TestInterface.h"

#include <deque>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/RecordingSurface.h"

namespace verno::wizard {
namespace {

using link::PortOpenResult;

// Answers the boxes from a script; texts are "T<n>" but for the two that fill in the port.
struct ScriptedSurface : RecordingSurface {
    ScriptedSurface() {
        texts[825] = "port %1 failed: %2";
        texts[826] = "no right to %1, join %2";
    }
};

const std::string kNotFoundText = "T593.\r\nT802";

TEST(TestInterface, SearchesAfreshAfterOkUntilTheCableIsThere) {
    ScriptedSurface surface;
    surface.answers = {MessageAnswer::Ok, MessageAnswer::Ok};
    int searches = 0;
    std::vector<std::string> opened;
    const auto result = TestInterface(
        surface,
        [&]() -> std::optional<std::string> {
            if (++searches < 3) return std::nullopt;
            return "/dev/ttyUSB0";
        },
        [&](const std::string& path) {
            opened.push_back(path);
            return PortOpenResult::Opened();
        });
    EXPECT_EQ(result, "/dev/ttyUSB0");
    EXPECT_EQ(searches, 3);
    EXPECT_EQ(opened, std::vector<std::string>{"/dev/ttyUSB0"});
    ASSERT_EQ(surface.messages.size(), 2u);
    for (const RecordedMessage& box : surface.messages) {
        EXPECT_EQ(box.title, "T605");
        EXPECT_EQ(box.text, kNotFoundText);
        EXPECT_EQ(box.icon, MessageIcon::Critical);
        EXPECT_EQ(box.buttons, MessageButtons::OkCancel);
    }
}

TEST(TestInterface, CancelGivesUpWithoutOpening) {
    ScriptedSurface surface;
    surface.answers = {MessageAnswer::Cancel};
    int searches = 0;
    bool openCalled = false;
    const auto result = TestInterface(
        surface, [&]() -> std::optional<std::string> { ++searches; return std::nullopt; },
        [&](const std::string&) { openCalled = true; return PortOpenResult::Opened(); });
    EXPECT_EQ(result, std::nullopt);
    EXPECT_EQ(searches, 1);
    EXPECT_FALSE(openCalled);
    EXPECT_EQ(surface.messages.size(), 1u);
}

TEST(TestInterface, EachPortProblemGetsItsOwnAdviceWithThePortsPath) {
    ScriptedSurface surface;
    surface.texts[826] = "join %2 for %1";
    // Linux's words, and Windows' for its COM ports.
    surface.texts[831] = surface.texts[980] = "no %1";
    surface.texts[832] = surface.texts[981] = "%1 busy";
    surface.texts[833] = "udev rule for %1";
    surface.texts[834] = surface.texts[982] = "%1 not serial";
    surface.answers = {MessageAnswer::Ok, MessageAnswer::Ok, MessageAnswer::Ok, MessageAnswer::Ok, MessageAnswer::Ok,
                       MessageAnswer::Cancel};
    using link::PortOpenError;
    std::deque<PortOpenResult> opens{
        {false, PortOpenError::Missing, "No such file or directory", ""},
        {false, PortOpenError::InUse, "Permission error while locking the device", "dialout"},
        {false, PortOpenError::NoPermission, "Permission denied", "dialout"},
        {false, PortOpenError::NoPermission, "Permission denied", "root"},  // no group to join
        {false, PortOpenError::NotSerial, "", "root"},
        {false, PortOpenError::Other, "Input/output error", "dialout"},
    };
    const auto result = TestInterface(
        surface, []() -> std::optional<std::string> { return "/dev/ttyUSB0"; },
        [&](const std::string&) {
            const PortOpenResult next = opens.front();
            opens.pop_front();
            return next;
        });
    EXPECT_EQ(result, std::nullopt);
    std::vector<std::string> texts;
    for (const auto& m : surface.messages) texts.push_back(m.text);
    EXPECT_EQ(texts, (std::vector<std::string>{
                         "no /dev/ttyUSB0\r\nT802",
                         "/dev/ttyUSB0 busy\r\nT802",
                         "join dialout for /dev/ttyUSB0\r\nT802",
                         "udev rule for /dev/ttyUSB0\r\nT802",
                         "/dev/ttyUSB0 not serial\r\nT802",
                         "port /dev/ttyUSB0 failed: Input/output error.\r\nT802",
                     }));
    EXPECT_EQ(surface.messages[0].title, "T605");
    EXPECT_EQ(surface.messages[0].icon, MessageIcon::Critical);
}

TEST(TestInterface, ACableWithoutDriverIsToldAsSuchNotAsMissing) {
    ScriptedSurface surface;
    surface.answers = {MessageAnswer::Ok, MessageAnswer::Cancel};
    int driverChecks = 0;
    const auto result = TestInterface(
        surface, []() -> std::optional<std::string> { return std::nullopt; },
        [](const std::string&) { return PortOpenResult::Opened(); },
        [&] { return ++driverChecks == 1; });
    EXPECT_EQ(result, std::nullopt);
    ASSERT_EQ(surface.messages.size(), 2u);
    EXPECT_EQ(surface.messages[0].text, "T983\r\nT802");
    EXPECT_EQ(surface.messages[1].text, "T593.\r\nT802");  // the driver came, the cable went
}

}  // namespace
}  // namespace verno::wizard
