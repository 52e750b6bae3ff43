#include "common/ConfigRecord.h"
#include "common/Resources.h"

#include <gtest/gtest.h>

#include <limits>

namespace verno {
namespace {

const std::filesystem::path kFolder = "/opt/verno";

TEST(ConfigRecord, ShippedRecordNamesTheFirmwareFileAndTheFirstLanguage) {
    const auto config = ReadConfigRecord(resources::kConfigurationRecord, kFolder);
    ASSERT_TRUE(config);
    EXPECT_EQ(config->ConfigFields, (std::vector<std::string>{"VERNO.1B.FWR", "", "", "5000"}));
    EXPECT_EQ(config->FirmwareFilePath, kFolder / "VERNO.1B.FWR");
    EXPECT_EQ(config->CloseProgramName, "");
    EXPECT_EQ(config->LanguageIndex, 1);
}

TEST(ConfigRecord, FewerThanTwoFieldsEndsTheProgram) {
    EXPECT_FALSE(ReadConfigRecord("VERNO.1B.FWR", kFolder));
    EXPECT_FALSE(ReadConfigRecord("", kFolder));
}

TEST(ConfigRecord, ShortRecordsDefaultTheOptionalFields) {
    const auto two = ReadConfigRecord("A.FWR|", kFolder);
    ASSERT_TRUE(two);
    EXPECT_EQ(two->ConfigFields.size(), 2u);
    EXPECT_EQ(two->CloseProgramName, "");
    EXPECT_EQ(two->LanguageIndex, 1);

    const auto three = ReadConfigRecord("A.FWR|x|after.exe", kFolder);
    ASSERT_TRUE(three);
    EXPECT_EQ(three->CloseProgramName, "after.exe");
    EXPECT_EQ(three->LanguageIndex, 1);
}

TEST(ConfigRecord, EverySeparatorSplitsIncludingTrailingOnes) {
    const auto config = ReadConfigRecord("a||c|6000||f|", kFolder);
    ASSERT_TRUE(config);
    EXPECT_EQ(config->ConfigFields, (std::vector<std::string>{"a", "", "c", "6000", "", "f", ""}));
    EXPECT_EQ(config->LanguageIndex, 2);
}

TEST(ConfigRecord, AbsoluteFirmwareNameStaysInTheProgramFolder) {
    const auto config = ReadConfigRecord("/etc/passwd|", kFolder);
    ASSERT_TRUE(config);
    EXPECT_EQ(config->FirmwareFilePath, kFolder / "etc/passwd");
}

std::int32_t IndexFor(const std::string& field3) {
    return ReadConfigRecord("F|r||" + field3, kFolder).value().LanguageIndex;
}

TEST(ConfigRecord, LanguageCodeToColumn) {
    EXPECT_EQ(IndexFor("5000"), 1);
    EXPECT_EQ(IndexFor("5999"), 1);
    EXPECT_EQ(IndexFor("6000"), 2);
    EXPECT_EQ(IndexFor("7000"), 3);
    EXPECT_EQ(IndexFor("4999"), 1);  // -1 / 1000 truncates to 0
    EXPECT_EQ(IndexFor("4000"), 0);
    EXPECT_EQ(IndexFor(""), -4);
    EXPECT_EQ(IndexFor("zz"), -4);
    EXPECT_EQ(IndexFor(" 6 0 0 0 "), 2);
    EXPECT_EQ(IndexFor("&H1770"), 2);  // 6000
}

TEST(ConfigRecord, LanguageCodeRoundsHalvesToEvenBeforeDividing) {
    // 5999.5 - 5000 = 999.5 -> 1000 (even) -> column 2; 5998.5 -> 998.5 -> 998 -> column 1.
    EXPECT_EQ(IndexFor("5999.5"), 2);
    EXPECT_EQ(IndexFor("5998.5"), 1);
    EXPECT_EQ(IndexFor("5999.4"), 1);
    // -0.5 rounds to 0, -1.5 to -2: both stay in column 1 after truncation.
    EXPECT_EQ(IndexFor("4999.5"), 1);
    EXPECT_EQ(IndexFor("3999.5"), 0);  // -1000.5 -> -1000 -> -1 + 1
}

TEST(ConfigRecord, LanguageCodesBeyond32BitsAreClamped) {
    EXPECT_EQ(IndexFor("1e30"), std::numeric_limits<std::int32_t>::max() / 1000 + 1);
    EXPECT_EQ(IndexFor("-1e30"), std::numeric_limits<std::int32_t>::min() / 1000 + 1);
    EXPECT_EQ(IndexFor("1e999"), std::numeric_limits<std::int32_t>::max() / 1000 + 1);
}

TEST(LenientNumber, DecimalForms) {
    EXPECT_DOUBLE_EQ(LenientNumber("5000"), 5000);
    EXPECT_DOUBLE_EQ(LenientNumber("  -12.5"), -12.5);
    EXPECT_DOUBLE_EQ(LenientNumber("+7"), 7);
    EXPECT_DOUBLE_EQ(LenientNumber(".25"), 0.25);
    EXPECT_DOUBLE_EQ(LenientNumber("1.5e3"), 1500);
    EXPECT_DOUBLE_EQ(LenientNumber("2D2"), 200);
    EXPECT_DOUBLE_EQ(LenientNumber("25E-1"), 2.5);
    EXPECT_DOUBLE_EQ(LenientNumber("3e"), 3);     // exponent without digits is not part of it
    EXPECT_DOUBLE_EQ(LenientNumber("1e999"), std::numeric_limits<double>::infinity());
    EXPECT_DOUBLE_EQ(LenientNumber("1e-999"), 0);
}

TEST(LenientNumber, SkipsBlanksTabsAndLineFeedsAnywhere) {
    EXPECT_DOUBLE_EQ(LenientNumber(" 5\t0\n0 0 "), 5000);
    EXPECT_DOUBLE_EQ(LenientNumber("- 1 . 5"), -1.5);
    EXPECT_DOUBLE_EQ(LenientNumber("&\tH 1 0"), 16);
    // A carriage return is not among the skipped characters: it ends the number.
    EXPECT_DOUBLE_EQ(LenientNumber("12\r34"), 12);
}

TEST(LenientNumber, StopsAtTheFirstCharacterThatCannotContinue) {
    EXPECT_DOUBLE_EQ(LenientNumber("6000abc"), 6000);
    EXPECT_DOUBLE_EQ(LenientNumber("1,000"), 1);
    EXPECT_DOUBLE_EQ(LenientNumber("1.2.3"), 1.2);
    EXPECT_DOUBLE_EQ(LenientNumber("--5"), 0);
    EXPECT_DOUBLE_EQ(LenientNumber("abc"), 0);
    EXPECT_DOUBLE_EQ(LenientNumber("-"), 0);
    EXPECT_DOUBLE_EQ(LenientNumber("."), 0);
    EXPECT_DOUBLE_EQ(LenientNumber(""), 0);
}

TEST(LenientNumber, HexAndOctalPrefixes) {
    EXPECT_DOUBLE_EQ(LenientNumber("&H1F"), 31);
    EXPECT_DOUBLE_EQ(LenientNumber("&hff"), 255);
    EXPECT_DOUBLE_EQ(LenientNumber("&HFG"), 15);
    EXPECT_DOUBLE_EQ(LenientNumber("&O17"), 15);
    EXPECT_DOUBLE_EQ(LenientNumber("&o78"), 7);
    EXPECT_DOUBLE_EQ(LenientNumber("&H"), 0);
    EXPECT_DOUBLE_EQ(LenientNumber("&12"), 0);  // only H or O follow the ampersand
}

}  // namespace
}  // namespace verno
