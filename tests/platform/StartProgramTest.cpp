#include "platform/StartProgram.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "tests/support/TempFolder.h"

namespace verno::platform {
namespace {

namespace fs = std::filesystem;

// The follow-up program starts from a folder whose name is not ASCII, and finds that folder as
// its own.
TEST(StartProgram, StartsAProgramThatFindsItsOwnFolder) {
    TempFolder dir;
    const fs::path folder = dir.path() / fs::path(u8"Dörte Ødegård");
    fs::create_directories(folder);
    const fs::path program = folder / fs::path(VERNO_LEAVE_MARK).filename();
    fs::copy_file(VERNO_LEAVE_MARK, program);

    StartProgram(program);
    const fs::path mark = folder / "started";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!fs::exists(mark) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));

    std::ifstream in(mark, std::ios::binary);
    const std::string written{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const std::u8string expected = fs::weakly_canonical(folder).u8string();
    EXPECT_EQ(written, std::string(expected.begin(), expected.end()));
}

}  // namespace
}  // namespace verno::platform
