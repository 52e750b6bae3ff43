#include "update/VersionDecision.h"

#include <gtest/gtest.h>

namespace verno::update {
namespace {

firmware::FirmwareImage Image(firmware::Layout layout, std::string version, std::uint8_t revision) {
    firmware::FirmwareImage fw;
    fw.layout = layout;
    fw.FwVersion = std::move(version);
    fw.FwRevision = revision;
    fw.RequiredVersion = "1A";
    return fw;
}

using firmware::Layout;

TEST(VersionDecision, Area1OnlyComparesVersionsOnCharacterCodes) {
    const auto fw = Image(Layout::Area1Only, "1B", 0);
    EXPECT_EQ(DecideVersion(fw, "1A", 0), VersionDecision::Update);
    EXPECT_EQ(DecideVersion(fw, "1B", 0), VersionDecision::NoUpdateNeeded);
    EXPECT_EQ(DecideVersion(fw, "1C", 0), VersionDecision::NoUpdateNeeded);
    // A digit sorts below any letter, so 19 is below the required 1A.
    EXPECT_EQ(DecideVersion(fw, "19", 0), VersionDecision::BelowRequired);
    // Lower case sorts above upper case.
    EXPECT_EQ(DecideVersion(fw, "1a", 0), VersionDecision::NoUpdateNeeded);
    // An identity that carried no version leaves it empty, below every version.
    EXPECT_EQ(DecideVersion(fw, "", 0), VersionDecision::BelowRequired);
}

TEST(VersionDecision, Area1OnlyAlwaysUpdatesA1T) {
    EXPECT_EQ(DecideVersion(Image(Layout::Area1Only, "1A", 0), "1T", 0), VersionDecision::Update);
    EXPECT_EQ(DecideVersion(Image(Layout::Area1Only, "1A", 0), "1U", 0), VersionDecision::NoUpdateNeeded);
}

TEST(VersionDecision, BothAreasNeedsVersionAndRevision) {
    const auto fw = Image(Layout::BothAreas, "1B", 2);
    EXPECT_EQ(DecideVersion(fw, "1B", 2), VersionDecision::NoUpdateNeeded);
    EXPECT_EQ(DecideVersion(fw, "1B", 1), VersionDecision::Update);
    EXPECT_EQ(DecideVersion(fw, "1A", 9), VersionDecision::Update);
    EXPECT_EQ(DecideVersion(fw, "", 0), VersionDecision::Update);  // no required version here
    EXPECT_EQ(DecideVersion(fw, "19", 0), VersionDecision::Update);
}

TEST(VersionDecision, Area2OnlyCountsOnlyTheRevision) {
    const auto fw = Image(Layout::Area2Only, "1B", 2);
    EXPECT_EQ(DecideVersion(fw, "1Z", 3), VersionDecision::NewerRevision);
    EXPECT_EQ(DecideVersion(fw, "1Z", 2), VersionDecision::Update);  // equal revisions are updated
    EXPECT_EQ(DecideVersion(fw, "", 0), VersionDecision::Update);
}

}  // namespace
}  // namespace verno::update
