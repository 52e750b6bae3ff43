#include "common/Text.h"
#include "common/WallClock.h"

#include <gtest/gtest.h>

namespace verno {
namespace {

TEST(Percent, EightBlocksRoundHalvesToEven) {
    const std::vector<std::string> expected{"12%", "25%", "38%", "50%", "62%", "75%", "88%", "100%"};
    for (long i = 1; i <= 8; ++i) EXPECT_EQ(Percent(i, 8), expected[i - 1]) << "block " << i;
}

TEST(Percent, ThreeBlocksAndOne) {
    EXPECT_EQ(Percent(1, 3), "33%");
    EXPECT_EQ(Percent(2, 3), "67%");
    EXPECT_EQ(Percent(3, 3), "100%");
    EXPECT_EQ(Percent(1, 1), "100%");
    EXPECT_EQ(Percent(1, 200), "0%");  // 0.5 -> 0
    EXPECT_EQ(Percent(3, 200), "2%");  // 1.5 -> 2
}

TEST(TwoDigitNumber, PadsToTwoDigits) {
    EXPECT_EQ(TwoDigitNumber(0), "00");
    EXPECT_EQ(TwoDigitNumber(7), "07");
    EXPECT_EQ(TwoDigitNumber(42), "42");
    EXPECT_EQ(TwoDigitNumber(123), "123");
    EXPECT_EQ(TwoDigitNumber(-3), "-03");
}

TEST(Latin1ToUtf8, WidensHighCharacters) {
    EXPECT_EQ(Latin1ToUtf8("VERNO 1B"), "VERNO 1B");
    EXPECT_EQ(Latin1ToUtf8("\xE9t\xE9"), "\xC3\xA9t\xC3\xA9");  // "été"
    EXPECT_EQ(Latin1ToUtf8("\xFF"), "\xC3\xBF");
}

TEST(WallClockFormat, TwentyFourHourTimeWithTwoDigitsEach) {
    EXPECT_EQ(FormatTime({2026, 3, 4, 9, 7, 5}), "09:07:05");
    EXPECT_EQ(FormatTime({2026, 3, 4, 21, 7, 5}), "21:07:05");
    EXPECT_EQ(FormatTime({2026, 3, 4, 0, 0, 0}), "00:00:00");
}

TEST(WallClockFormat, DateIsMonthDayTwoDigitYear) {
    EXPECT_EQ(FormatDate({2026, 3, 4, 9, 7, 5}), "03/04/26");
    EXPECT_EQ(FormatDate({2000, 12, 31, 0, 0, 0}), "12/31/00");
    EXPECT_EQ(FormatDate({2009, 1, 9, 0, 0, 0}), "01/09/09");
}

}  // namespace
}  // namespace verno
