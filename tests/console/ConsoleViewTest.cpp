#include "console/ConsoleView.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "console/Options.h"

namespace verno::console {
namespace {

std::string Contents(std::FILE* f) {
    std::fflush(f);
    std::rewind(f);
    std::string out;
    for (int c; (c = std::fgetc(f)) != EOF;) out.push_back(static_cast<char>(c));
    return out;
}

struct Fixture {
    std::FILE* out = std::tmpfile();
    std::FILE* messages = std::tmpfile();
    MessageButtons asked = MessageButtons::Ok;
    ~Fixture() {
        std::fclose(out);
        std::fclose(messages);
    }
    ConsoleView Make(bool live) {
        return ConsoleView(out, messages, live, [this](const std::string&, const std::string&, MessageIcon, MessageButtons b) {
            asked = b;
            return MessageAnswer::Cancel;
        });
    }
};

TEST(ConsoleView, OffATerminalEachRowIsPrintedOnceWithItsFinalStatus) {
    Fixture f;
    {
        auto ui = f.Make(false);
        ui.InsertTaskList(TaskIcon::Information, "09:07:05", "Uploading firmware", "");
        ui.SetTaskStatus("33%");
        ui.SetTaskStatus("Done");
        ui.InsertTaskList(TaskIcon::Error, "09:07:05", "The dive computer did not accept the data.", "");
        ui.InsertTaskList(TaskIcon::Warning, "09:07:05", "No update is needed.", "");
    }
    EXPECT_EQ(Contents(f.out),
              "09:07:05  i  Uploading firmware  Done\n"
              "09:07:05  x  The dive computer did not accept the data.\n"
              "09:07:05  !  No update is needed.\n");
}

TEST(ConsoleView, OnATerminalTheStatusIsRewrittenInPlace) {
    Fixture f;
    {
        auto ui = f.Make(true);
        ui.InsertTaskList(TaskIcon::Information, "09:07:05", "Backup", "...");
        ui.SetTaskStatus("50%");
    }
    EXPECT_EQ(Contents(f.out), "09:07:05  i  Backup  ...\r\x1b[K09:07:05  i  Backup  50%\n");
}

TEST(ConsoleView, MessageBoxesGoToTheirOwnStreamAndTheAnswererDecides) {
    Fixture f;
    auto ui = f.Make(false);
    ui.InsertTaskList(TaskIcon::Information, "09:07:05", "Row", "");
    const auto answer = ui.ShowMessage("Profile recovery", "1. One\r\n2. Two\r\n", MessageIcon::Information,
                                       MessageButtons::OkCancel);
    EXPECT_EQ(answer, MessageAnswer::Cancel);
    EXPECT_EQ(f.asked, MessageButtons::OkCancel);
    EXPECT_EQ(Contents(f.messages), "\n[Profile recovery]\n1. One\n2. Two\n\n\n");
    EXPECT_EQ(Contents(f.out), "09:07:05  i  Row\n");  // the held row is printed before the box
}

TEST(ConsoleOptions, RecoveryModesAttemptsAndPort) {
    std::string error;
    auto o = ParseOptions({"--port", "/dev/ttyUSB0", "--recover", "yes", "--attempts", "5"}, error);
    ASSERT_TRUE(o.has_value()) << error;
    EXPECT_EQ(o->port, "/dev/ttyUSB0");
    EXPECT_EQ(o->recover, RecoverMode::Yes);
    EXPECT_EQ(o->attempts, 5);

    o = ParseOptions({}, error);
    ASSERT_TRUE(o.has_value());
    EXPECT_FALSE(o->recover.has_value());  // decided by whether a terminal is attached
    EXPECT_EQ(o->attempts, 3);

    EXPECT_FALSE(ParseOptions({"--recover", "maybe"}, error).has_value());
    EXPECT_FALSE(ParseOptions({"--attempts", "0"}, error).has_value());
    EXPECT_FALSE(ParseOptions({"--port"}, error).has_value());
    EXPECT_FALSE(ParseOptions({"--bogus"}, error).has_value());
    EXPECT_NE(error.find("--bogus"), std::string::npos);
}

}  // namespace
}  // namespace verno::console
