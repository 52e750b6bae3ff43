// The service bench as a user runs it: the bundle's verno-update given several cables, which it
// updates by a process of its own each.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "common/ProgramFolder.h"
#include "firmware/FirmwarePacker.h"
#include "tests/support/TempFolder.h"

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace verno::console {
namespace {

namespace fs = std::filesystem;

#ifdef _WIN32
constexpr const char* kNullDevice = "NUL";
#else
constexpr const char* kNullDevice = "/dev/null";
#endif

std::string Quoted(const std::string& text) {
#ifdef _WIN32
    return "\"" + text + "\"";
#else
    std::string quoted = "'";
    for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
#endif
}

// Runs the bundle's verno-update with args, its output and errors into files; its exit status.
int RunUpdate(const std::vector<std::string>& args, const fs::path& out, const fs::path& err) {
    const fs::path program = (ProgramFolder() / VERNO_BUNDLE_FROM_TESTS / "verno-update").lexically_normal();
    std::string command = Quoted(program.string());
    for (const std::string& a : args) command += " " + Quoted(a);
    command += " <" + Quoted(kNullDevice);
    command += " >" + Quoted(out.string()) + " 2>" + Quoted(err.string());
#ifdef _WIN32
    return std::system(("\"" + command + "\"").c_str());  // cmd takes the outer quotes off
#else
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}

std::string ReadText(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(Workbench, TwoCablesWhosePortsDoNotExistRunAProcessEachAndEachFailureIsReported) {
    const TempFolder work;
    ASSERT_FALSE(work.path().empty());
    const fs::path firmware = work.path() / "VERNO.1B.FWR";
    const auto bytes = firmware::PackFirmware(firmware::DemoFirmware(firmware::Layout::Area1Only, 16, 0));
    std::ofstream(firmware, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                     static_cast<std::streamsize>(bytes.size()));
    const std::string a = (work.path() / "no cable a").string();
    const std::string b = (work.path() / "no-cable-b").string();

    const int status = RunUpdate({"--port", a, "--port", b, "--json", "--firmware", firmware.string()},
                                 work.path() / "out.txt", work.path() / "err.txt");
    const std::string out = ReadText(work.path() / "out.txt");
    const std::string err = ReadText(work.path() / "err.txt");

    EXPECT_EQ(status, 2) << "a cable's start-up failed\n" << out << err;
    // Each cable's own process says how it ended; the bench passes the lines on.
    std::map<std::string, nlohmann::json> results;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        const auto object = nlohmann::json::parse(line, nullptr, false);
        ASSERT_FALSE(object.is_discarded()) << line;
        if (object.value("type", "") == "result") results[object.value("port", "")] = object;
    }
    ASSERT_EQ(results.size(), 2u) << out;
    for (const std::string& port : {a, b}) {
        const nlohmann::json& result = results[port];
        EXPECT_EQ(result.value("outcome", ""), "failed") << result;
        EXPECT_FALSE(result.value("reason", "").empty()) << result;
        // Its messages for people come with its port.
        EXPECT_NE(err.find(port + ": "), std::string::npos) << err;
    }
    EXPECT_EQ(results[a].value("reason", ""), results[b].value("reason", ""));
}

}  // namespace
}  // namespace verno::console
