// The start-up's firmware step as the controller runs it: its task-log rows, and a refusal that
// names the file and the cause.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "catalogue/Catalogue.h"
#include "common/Text.h"
#include "common/TextNumbers.h"
#include "firmware/FirmwarePacker.h"
#include "tests/support/RecordingView.h"
#include "tests/support/SimulatedHost.h"
#include "wizard/Controller.h"

namespace verno::firmware {
namespace {

std::string Text(int n) {
    static catalogue::Catalogue texts;
    if (!texts.IsOpen()) texts.Open(VERNO_CATALOGUE_FILE, 1);
    return texts.LoadText(n);
}

struct StartUp {
    explicit StartUp(std::vector<std::uint8_t> file, dcsim::DcConfig config = {})
        : host(std::move(config), {}, std::move(file)) {}
    SimulatedHost host;
    RecordingView view;
    wizard::Controller controller{view, host};
    std::filesystem::path File() { return host.folder.path() / "VERNO.1B.FWR"; }
    // The one box of a refused file.
    std::string Refusal() {
        EXPECT_FALSE(controller.Load());
        EXPECT_EQ(controller.StartUpFailed(), wizard::StartUpFailure::FirmwareFile);
        EXPECT_EQ(view.messages.size(), 1u);
        return view.messages.empty() ? "" : view.messages[0].text;
    }
};

FirmwareSource RealFirmware(Layout layout) {
    auto source = DemoFirmware(layout, 2, 2);
    source.FwModelTag = "VERNO1B";  // not the demo
    return source;
}

TEST(GetCode, AGoodFileLogsReadCheckAndTheFirmwareRow) {
    auto source = RealFirmware(Layout::BothAreas);
    source.FwRevision = 7;
    StartUp s(PackFirmware(source));
    ASSERT_TRUE(s.controller.Load());
    ASSERT_EQ(s.view.rows.size(), 3u);
    EXPECT_EQ(s.view.rows[0].event, Text(text::kReadingFirmwareFile));
    EXPECT_EQ(s.view.rows[0].statuses, (std::vector<std::string>{"...", Text(text::kDone)}));
    EXPECT_EQ(s.view.rows[1].event, Text(text::kCheckingFirmware));
    EXPECT_EQ(s.view.rows[1].statuses, (std::vector<std::string>{"...", Text(text::kDone)}));
    EXPECT_EQ(s.view.rows[2].icon, TaskIcon::Warning);
    EXPECT_EQ(s.view.rows[2].event, "VERNO 1B, firmware version: 1B.07");
    EXPECT_EQ(s.controller.Firmware()->Area2Records, 2);

    for (const int revision : {0, 100}) {  // area 1 alone without a revision: the row ends at the version
        source = RealFirmware(Layout::Area1Only);
        source.FwRevision = static_cast<std::uint8_t>(revision);
        source.FwModelName = "VERNO \xE9";  // single-byte text reaches the view as UTF-8
        StartUp one(PackFirmware(source));
        ASSERT_TRUE(one.controller.Load());
        EXPECT_EQ(one.view.rows[2].event, "VERNO \xC3\xA9, firmware version: 1B");
    }
}

TEST(GetCode, EachRefusedFileIsNamedWithItsCause) {
    const auto good = PackFirmware(RealFirmware(Layout::Area1Only));
    struct Case {
        const char* what;
        std::vector<std::uint8_t> bytes;
        int text;
    };
    auto badSum = good;
    badSum.back() ^= 0x01;
    const Case cases[] = {
        {"empty", {}, text::kFirmwareTooShort},
        {"cut", {good.begin(), good.end() - 40}, text::kFirmwareTooShort},
        {"random", std::vector<std::uint8_t>(good.size(), 0xA7), text::kFirmwareNotFirmware},
        {"check value", badSum, text::kFirmwareCheckValue},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        StartUp s(c.bytes);
        const std::string text = s.Refusal();
        const std::string size = std::to_string(c.bytes.size());
        EXPECT_EQ(text.substr(0, FillPlaceholders(Text(c.text), s.File().string(), size).size()),
                  FillPlaceholders(Text(c.text), s.File().string(), size));
        EXPECT_EQ(s.view.messages[0].title, Text(text::kFailed));
        EXPECT_EQ(s.view.messages[0].icon, MessageIcon::Critical);
        EXPECT_EQ(s.view.rows.size(), 2u);  // read, then the check before the box
    }
    StartUp sum(badSum);
    EXPECT_NE(sum.Refusal().find("Check sum error 1!"), std::string::npos);
}

TEST(GetCode, AMissingFileAFolderAndAnUnreadableOneSayWhich) {
    StartUp missing(DemoFirmwareFile());
    std::filesystem::remove(missing.File());
    EXPECT_EQ(missing.Refusal(), FillPlaceholders(Text(text::kFirmwareMissing), missing.File().string()));
    EXPECT_EQ(missing.view.rows.size(), 1u);  // no check row for a file that is not there

    StartUp folder(DemoFirmwareFile());
    std::filesystem::remove(folder.File());
    std::filesystem::create_directory(folder.File());
    EXPECT_EQ(folder.Refusal(), FillPlaceholders(Text(text::kFirmwareFolder), folder.File().string()));
}

#ifdef __linux__
TEST(LoadFirmwareFile, TheSystemsReasonComesWithAnUnreadableFile) {
    // A regular file the kernel refuses to read from its start, even to root.
    const DecodeResult r = LoadFirmwareFile("/proc/self/mem");
    EXPECT_EQ(r.cause, FileCause::Unreadable);
    EXPECT_EQ(r.systemReason, std::error_code(EIO, std::generic_category()).message());
}
#endif

TEST(GetCode, AGarbledIdentityIsALineProblemNotAnotherModel) {
    dcsim::DcConfig config;
    config.identity = std::string("\x93\x01\xFE\x7F garbage \x02\x10\x80", 16);
    StartUp s(DemoFirmwareFile(), config);
    ASSERT_TRUE(s.controller.Load());
    s.controller.NextClick();
    ASSERT_EQ(s.view.messages.size(), 1u);
    EXPECT_EQ(s.view.messages[0].text, Text(text::kIdentityGarbled));
    EXPECT_EQ(s.controller.LastNext(), wizard::NextResult::NoAnswer);
    EXPECT_EQ(s.controller.Stage(), 1);
}

}  // namespace
}  // namespace verno::firmware
