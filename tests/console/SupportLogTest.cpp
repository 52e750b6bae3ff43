#include "console/SupportLog.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include "tests/support/TempFolder.h"

namespace verno::console {
namespace {

std::string ReadText(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(SupportLog, EachRunGetsAFileNamedAfterItsDcAndTwoWithoutASerialNeverShareOne) {
    const TempFolder folder;
    const std::filesystem::path logs = folder.path() / "logs";
    std::vector<std::filesystem::path> files;
    for (const char* serial : {"004711", "", ""}) {
        SupportLog log(logs);
        ASSERT_TRUE(log.Ok()) << log.Problem();
        log.Note("verno-update 0.2.0");
        log.Row({"09:07:05", TaskIcon::Error, "The dive computer did not accept the data.", "", ""});
        const std::uint8_t sent[] = {0xB4, 0x10};
        log.Wire(true, sent);
        files.push_back(log.Finish(*serial ? std::optional<std::string>(serial) : std::nullopt));
    }
    const std::regex stamped("[0-9]{4}-[0-9]{2}-[0-9]{2}-[0-9]{6}-(004711|unknown|unknown-2)\\.log");
    for (const auto& file : files) {
        EXPECT_TRUE(std::regex_match(file.filename().string(), stamped)) << file;
        const std::string text = ReadText(file);
        EXPECT_TRUE(std::regex_search(text, std::regex("^[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9:]{8}  verno-update 0\\.2\\.0\n")))
            << text;
        EXPECT_NE(text.find(" 09:07:05  error        The dive computer did not accept the data.\n"), std::string::npos);
        EXPECT_TRUE(std::regex_search(text, std::regex("\n[0-9]{2}:[0-9]{2}:[0-9]{2}\\.[0-9]{3}  PC> B4 10\n"))) << text;
    }
    EXPECT_NE(files[1], files[2]) << "two cables without a serial number in the same second";
    for (const auto& entry : std::filesystem::directory_iterator(logs))
        EXPECT_EQ(entry.path().extension(), ".log") << "no .part left behind";
}

}  // namespace
}  // namespace verno::console
