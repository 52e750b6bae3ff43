// Every input kept in fuzz/regressions goes through its target again: the target's invariants
// must hold (a broken one aborts) and its account must be the one recorded with the input.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/KeptInput.h"

namespace verno::fuzz {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> KeptFiles() {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(VERNO_FUZZ_REGRESSIONS, ec))
        if (entry.is_regular_file() && entry.path().extension() == ".hex") names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class KeptInputReplay : public ::testing::TestWithParam<std::string> {};

TEST_P(KeptInputReplay, HoldsEveryInvariantAndGivesTheRecordedAccount) {
    std::ifstream in(fs::path(VERNO_FUZZ_REGRESSIONS) / GetParam());
    ASSERT_TRUE(in.is_open());
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const KeptInput kept = ParseKeptInput(text);
    ASSERT_TRUE(kept.ok) << "not a hex file";
    ASSERT_FALSE(kept.expected.empty()) << "no '# expect:' line";
    const TargetBody target = TargetNamed(GetParam());
    ASSERT_NE(target, nullptr) << "the name does not start with firmware-, backup- or receive-";
    EXPECT_EQ(target(kept.bytes), kept.expected);
}

std::string TestName(const ::testing::TestParamInfo<std::string>& info) {
    std::string name = fs::path(info.param).stem().string();
    std::replace_if(name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
    return name;
}

INSTANTIATE_TEST_SUITE_P(Regressions, KeptInputReplay, ::testing::ValuesIn(KeptFiles()), TestName);

TEST(KeptInputFolder, HoldsInputsForEveryTarget) {
    const auto files = KeptFiles();
    for (const char* target : {"firmware-", "backup-", "receive-"})
        EXPECT_TRUE(std::any_of(files.begin(), files.end(), [target](const std::string& f) { return f.starts_with(target); }))
            << target;
}

}  // namespace
}  // namespace verno::fuzz
