#include "firmware/Identity.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace verno::firmware {
namespace {

FirmwareImage WithTag(const std::string& tag) {
    FirmwareImage fw;
    fw.FwModelTag = tag;
    return fw;
}

TEST(CheckIdentity, ThreeWordsTakeTheVersionFromTheSecondWord) {
    std::string text = "VERNO1B FW-1A DC";
    std::string version = "old";
    EXPECT_TRUE(CheckIdentity(text, WithTag("VERNO1B"), version));
    EXPECT_EQ(version, "1A");
}

TEST(IsIdentity, PrintableWordsAreAnIdentityAndLineNoiseIsNot) {
    EXPECT_TRUE(IsIdentity("VERNO1B FW-1A DC   "));
    EXPECT_TRUE(IsIdentity("QEL 2F \xC9X"));  // another model, in Latin-1
    EXPECT_FALSE(IsIdentity(std::string("VERNO1B\0FW-1A DC", 17)));
    EXPECT_FALSE(IsIdentity("\x93\x01\xFE\x7F garbage"));
    EXPECT_FALSE(IsIdentity("AAAAAAAAAAAAAAAA"));  // one word: a stuck line
}

TEST(CheckIdentity, FourWordsTakeTheVersionFromTheThirdWord) {
    std::string text = "VERNO1B X 2C9 Z";
    std::string version;
    EXPECT_TRUE(CheckIdentity(text, WithTag("verno1b"), version));  // case does not matter
    EXPECT_EQ(version, "C9");
}

TEST(CheckIdentity, FiveOrMoreWordsLeaveTheVersionAlone) {
    std::string text = "VERNO1B A B C D";
    std::string version = "1A";
    EXPECT_TRUE(CheckIdentity(text, WithTag("VERNO1B"), version));
    EXPECT_EQ(version, "1A");
    // Trailing spaces make empty words, which count.
    std::string padded = "VERNO1B 1B DC    ";
    EXPECT_TRUE(CheckIdentity(padded, WithTag("VERNO1B"), version));
    EXPECT_EQ(version, "1A");
}

TEST(CheckIdentity, FewerThanThreeWordsFailEvenWithTheTag) {
    std::string text = "VERNO1B 1B";
    std::string version = "x";
    EXPECT_FALSE(CheckIdentity(text, WithTag("VERNO1B"), version));
    EXPECT_EQ(version, "x");
}

TEST(CheckIdentity, AnotherModelFailsAndKeepsTheVersion) {
    std::string text = "OTHER9 FW-3Z DC";
    std::string version = "1A";
    EXPECT_FALSE(CheckIdentity(text, WithTag("VERNO1B"), version));
    EXPECT_EQ(version, "1A");
}

TEST(CheckIdentity, DoubleSpacesAreReducedInOnePassInTheCallersText) {
    // Three spaces become two: "A   B" -> "A  B", leaving an empty word between A and B.
    std::string text = "VERNO1B   1B";
    std::string version;
    EXPECT_TRUE(CheckIdentity(text, WithTag("VERNO1B"), version));
    EXPECT_EQ(text, "VERNO1B  1B");
    EXPECT_EQ(version, "");  // three words: "VERNO1B", "", "1B"; the second word is empty

    std::string refused = "X  Y";
    EXPECT_FALSE(CheckIdentity(refused, WithTag("VERNO1B"), version));
    EXPECT_EQ(refused, "X Y");  // rewritten whatever the result
}

TEST(FileExists, OnlyNormalFilesExist) {
    const auto dir = std::filesystem::temp_directory_path() / "verno-fileexists";
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "f.bin") << "x";
    EXPECT_TRUE(FileExists(dir / "f.bin"));
    EXPECT_FALSE(FileExists(dir));
    EXPECT_FALSE(FileExists(dir / "none.bin"));
    EXPECT_FALSE(FileExists(""));
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace verno::firmware
