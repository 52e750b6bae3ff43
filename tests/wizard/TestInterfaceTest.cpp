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
            return PortOpenResult{true, "", false, ""};
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
        [&](const std::string&) { openCalled = true; return PortOpenResult{true, "", false, ""}; });
    EXPECT_EQ(result, std::nullopt);
    EXPECT_EQ(searches, 1);
    EXPECT_FALSE(openCalled);
    EXPECT_EQ(surface.messages.size(), 1u);
}

TEST(TestInterface, PortThatCannotBeOpenedShowsTheReasonAndTheFixForPermission) {
    ScriptedSurface surface;
    surface.answers = {MessageAnswer::Ok, MessageAnswer::Ok, MessageAnswer::Cancel};
    std::deque<PortOpenResult> opens{
        {false, "Permission denied", true, "dialout"},
        {false, "Device or resource busy", false, "dialout"},
        {false, "Permission denied", true, ""},  // owner unknown: no fix to offer
    };
    const auto result = TestInterface(
        surface, []() -> std::optional<std::string> { return "/dev/ttyUSB0"; },
        [&](const std::string&) {
            const PortOpenResult next = opens.front();
            opens.pop_front();
            return next;
        });
    EXPECT_EQ(result, std::nullopt);
    ASSERT_EQ(surface.messages.size(), 3u);
    EXPECT_EQ(surface.messages[0].text,
              "port /dev/ttyUSB0 failed: Permission denied.\r\nno right to /dev/ttyUSB0, join dialout\r\nT802");
    EXPECT_EQ(surface.messages[1].text, "port /dev/ttyUSB0 failed: Device or resource busy.\r\nT802");
    EXPECT_EQ(surface.messages[2].text, "port /dev/ttyUSB0 failed: Permission denied.\r\nT802");
    EXPECT_EQ(surface.messages[0].title, "T605");
    EXPECT_EQ(surface.messages[0].icon, MessageIcon::Critical);
}

}  // namespace
}  // namespace verno::wizard
