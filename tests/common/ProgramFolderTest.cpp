#include "common/ProgramFolder.h"

#include <gtest/gtest.h>

#include <fstream>

#include "tests/support/TempFolder.h"

namespace verno {
namespace {

TEST(FolderWritable, TriesAWriteAndLeavesNothingBehind) {
    TempFolder dir;
    EXPECT_TRUE(FolderWritable(dir.path()));
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));

    EXPECT_FALSE(FolderWritable(dir.path() / "missing"));
    std::ofstream(dir.path() / "a file") << "not a folder";
    EXPECT_FALSE(FolderWritable(dir.path() / "a file"));
}

}  // namespace
}  // namespace verno
