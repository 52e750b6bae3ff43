#include "firmware/GetCode.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "firmware/FirmwarePacker.h"
#include "tests/support/RecordingSurface.h"

namespace verno::firmware {
namespace {

class GetCodeTest : public ::testing::Test {
protected:
    std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                ("verno-getcode-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::path file = dir / "VERNO.1B.FWR";
    RecordingSurface ui;

    void SetUp() override { std::filesystem::create_directories(dir); }
    void TearDown() override { std::filesystem::remove_all(dir); }
    void Write(const std::vector<std::uint8_t>& bytes) {
        std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                    static_cast<std::streamsize>(bytes.size()));
    }
};

TEST_F(GetCodeTest, GoodFileLogsReadCheckAndTheFirmwareRow) {
    auto source = DemoFirmware(Layout::BothAreas, 2, 2);
    source.FwRevision = 7;
    source.FwModelTag = "VERNO1B";  // not the demo
    Write(PackFirmware(source));
    const auto image = GetCode(file, ui);
    ASSERT_TRUE(image.has_value());
    ASSERT_EQ(ui.rows.size(), 3u);
    EXPECT_EQ(ui.rows[0].event, "T776");
    EXPECT_EQ(ui.rows[0].statuses, (std::vector<std::string>{"...", "T777"}));
    EXPECT_EQ(ui.rows[1].event, "T778");
    EXPECT_EQ(ui.rows[1].statuses, (std::vector<std::string>{"...", "T777"}));
    EXPECT_EQ(ui.rows[2].icon, TaskIcon::Warning);
    EXPECT_EQ(ui.rows[2].event, "VERNO 1B, T781: 1B.07");
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(ui.resetStages, 0);
}

TEST_F(GetCodeTest, AreaOneFileWithoutRevisionEndsTheRowAtTheVersion) {
    for (const int revision : {0, 100}) {
        auto source = DemoFirmware(Layout::Area1Only, 1, 0);
        source.FwRevision = static_cast<std::uint8_t>(revision);
        source.FwModelName = "VERNO \xE9";  // single-byte text reaches the surface as UTF-8
        Write(PackFirmware(source));
        ui.rows.clear();
        ASSERT_TRUE(GetCode(file, ui).has_value());
        EXPECT_EQ(ui.rows[2].event, "VERNO \xC3\xA9, T781: 1B");
    }
}

TEST_F(GetCodeTest, TheDemoFirmwareSaysSoInAWarningRow) {
    Write(PackFirmware(DemoFirmware(Layout::Area1Only, 1, 0)));
    ASSERT_TRUE(GetCode(file, ui).has_value());
    ASSERT_EQ(ui.rows.size(), 4u);
    EXPECT_EQ(ui.rows[3].event, "T828");
    EXPECT_EQ(ui.rows[3].icon, TaskIcon::Warning);
}

TEST_F(GetCodeTest, MissingFileIsNamedBeforeTheProgramEnds) {
    ui.texts[843] = "no %1";
    EXPECT_FALSE(GetCode(file, ui).has_value());
    EXPECT_EQ(ui.resetStages, 1);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].title, "T280");
    EXPECT_NE(ui.messages[0].text.find(file.string()), std::string::npos);
    EXPECT_EQ(ui.messages[0].icon, MessageIcon::Critical);
    EXPECT_EQ(ui.trace, (std::vector<std::string>{"row T776", "reset", "message T280"}));
    EXPECT_EQ(ui.rows[0].status(), "...");
}

TEST_F(GetCodeTest, EmptyModelTagEndsWithErrorFive) {
    auto source = DemoFirmware(Layout::Area1Only, 1, 0);
    source.FwModelTag = "";
    Write(PackFirmware(source));
    EXPECT_FALSE(GetCode(file, ui).has_value());
    EXPECT_EQ(ui.resetStages, 1);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "T779 5!");
    EXPECT_EQ(ui.rows.size(), 2u);  // the check row is added before the message
    EXPECT_EQ(ui.trace, (std::vector<std::string>{"row T776", "reset", "status T777", "row T778", "message T280"}));
}

TEST_F(GetCodeTest, UnreadableFileHasNoCodeInItsMessage) {
    Write({1, 2, 3});
    EXPECT_FALSE(GetCode(file, ui).has_value());
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "T779 !");
}

TEST_F(GetCodeTest, ChecksumFailureShowsItsMessageWithoutStageReset) {
    auto bytes = PackFirmware(DemoFirmware(Layout::Area1Only, 2, 0));
    bytes.back() ^= 0x01;
    Write(bytes);
    EXPECT_FALSE(GetCode(file, ui).has_value());
    EXPECT_EQ(ui.resetStages, 0);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Check sum error 1!");
    EXPECT_EQ(ui.messages[0].title, "T280");
    EXPECT_EQ(ui.rows.back().status(), "...");  // the check row never gets its 777
}

}  // namespace
}  // namespace verno::firmware
