// The bench's processes, on both systems: this test program starts itself twice as cables'
// processes would be, and the copies (told so by the environment) show what reached them.
#include "console/CableProcess.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "console/CloseRequest.h"
#include "console/Terminal.h"
#include "platform/ProgramArguments.h"
#include "tests/support/Environment.h"

namespace verno::console {
namespace {

using namespace std::chrono_literals;

constexpr const char* kChild = "VERNO_CABLE_PROCESS_CHILD";
// Blanks, quotes, a trailing backslash, letters beyond ASCII and nothing: the command line's hard cases.
const std::vector<std::string> kArgs = {"--gtest_filter=CableProcesses.*", "a \"quoted\" word", "C:\\a folder\\",
                                        "Grüße", ""};

// The copy: its arguments on its output, a line on its error stream, then a wait for Close.
[[noreturn]] void ActAsChild() {
    HandleCloseRequests(false);
    std::vector<std::string> given = ::testing::internal::GetArgvs();
    std::vector<char*> argv;
    for (std::string& a : given) argv.push_back(a.data());
    for (const std::string& a : platform::ProgramArguments(static_cast<int>(argv.size()), argv.data())) std::cout << "arg:" << a << "\n";
    std::cout << "ready" << std::endl;
    std::cerr << "a line for people" << std::endl;
    for (int i = 0; i < 300 && !CloseRequested(); ++i) std::this_thread::sleep_for(10ms);
    std::cout << (CloseRequested() ? "closed" : "never told") << std::endl;
    std::_Exit(CloseRequested() ? 128 + CloseSignal() : 0);
}

TEST(CableProcesses, EachGetsItsArgumentsItsLinesAreReadFromBothStreamsAndCloseIsPassedOn) {
    if (std::getenv(kChild) != nullptr) ActAsChild();
    const ScopedEnvironment child(kChild, "1");
    CableProcesses processes;
    std::vector<std::size_t> started;
    for (int i = 0; i < 2; ++i) {
        std::string reason;
        const auto number = processes.Start(kArgs, reason);
        ASSERT_TRUE(number.has_value()) << reason;
        started.push_back(*number);
    }
    std::map<std::size_t, std::string> out;
    std::map<std::size_t, std::string> err;
    int streamsEnded = 0;
    std::optional<bool> told;
    for (const auto deadline = std::chrono::steady_clock::now() + 60s;
         streamsEnded < 4 && std::chrono::steady_clock::now() < deadline;) {
        for (const ProcessOutput& piece : processes.Wait(200ms)) {
            if (piece.bytes.empty()) ++streamsEnded;
            // Windows writes a text stream's line ends as CR LF.
            for (const char c : piece.bytes)
                if (c != '\r') (piece.error ? err : out)[piece.process] += c;
        }
        const auto ready = [&](std::size_t n) { return out[n].find("ready\n") != std::string::npos; };
        if (!told && ready(started[0]) && ready(started[1])) told = processes.PassOnClose();
    }
    ASSERT_EQ(streamsEnded, 4);
    ASSERT_TRUE(told.has_value());
#ifndef _WIN32
    EXPECT_TRUE(*told);
#endif
    // Wine 8 cannot send a console's Ctrl-Break: there the copies wait out their time.
    RecordProperty("close_passed_on", *told ? "yes" : "no");
    std::string expected = "";
    for (const std::string& a : kArgs) expected += "arg:" + a + "\n";
    for (const std::size_t n : started) {
        const ProcessEnd end = processes.Reap(n);
        EXPECT_NE(out[n].find(expected + "ready\n"), std::string::npos) << out[n];
        EXPECT_NE(err[n].find("a line for people\n"), std::string::npos) << err[n];
        EXPECT_NE(out[n].find(*told ? "closed\n" : "never told\n"), std::string::npos) << out[n];
        EXPECT_EQ(end.exitCode, *told ? 128 + kInterrupt : 0);
        EXPECT_EQ(end.signal, 0);
    }
}

}  // namespace
}  // namespace verno::console
