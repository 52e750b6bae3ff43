// The wizard's controller against a simulated DC on virtual time, with a recording view: the
// start-up, Next, Back and Close as the window and verno-update both run them.

#include <gtest/gtest.h>

#include <fstream>

#include "catalogue/Catalogue.h"
#include "common/Text.h"
#include "common/TextNumbers.h"
#include "platform/EndProcess.h"
#include "profile/BackupFile.h"
#include "profile/History.h"
#include "tests/support/FaultyFiles.h"
#include "tests/support/RecordingView.h"
#include "tests/support/SimulatedHost.h"
#include "wizard/Controller.h"

namespace verno::wizard {
namespace {

const char* const kPageOne =
    "1. Plug the USB interface cable into an USB port on the PC.\r\n\r\n"
    "2. Dive Computer (DC) needs to be in the Watch Main Time Mode.\r\n\r\n"
    "3. Clip the interface cable on the DC data port.\r\n\r\n"
    "4. A PC will appear with a 120 second countdown (you have 2 minutes to initiate the connection PC-DC).\r\n"
    "   a) If the  PC screen does not appear, unclip the interface cable from the DC for 5 second then repeat\r\n"
    "   steps 2, 3, 4.\r\n\r\n"
    ">>> Click on Next button to continue... >>>";

// The English texts of the bundle's catalogue.
std::string Text(int n) {
    static catalogue::Catalogue texts;
    if (!texts.IsOpen()) texts.Open(VERNO_CATALOGUE_FILE, 1);
    return texts.LoadText(n);
}

std::vector<std::uint8_t> ProfileBytes(const dcsim::SimulatedDc& dc) {
    const auto& m = dc.Memory();
    return {m.begin() + 16 * 256, m.begin() + 16 * 640};  // the default profile, units 256..639
}

// The diver logged dives since: another profile, and its header says so.
void NewDives(dcsim::SimulatedDc& dc) {
    for (std::size_t i = 16 * 256; i < 16 * 640; ++i) dc.MutableMemory()[i] = 0x5A;
    dcsim::SimulatedDc::WritePointers(dc.MutableMemory(), 512, 256, 631);
}

std::vector<std::uint8_t> ReadAll(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int FramesToDc(const dcsim::SimulatedDc& dc) {
    int frames = 0;
    for (int c = 0; c < 256; ++c) frames += dc.Counters(static_cast<std::uint8_t>(c)).frames;
    return frames;
}

struct Wizard {
    explicit Wizard(dcsim::DcConfig config = {}, dcsim::DcFaults faults = {}) : host(std::move(config), faults) {}
    SimulatedHost host;
    RecordingView view;
    Controller controller{view, host};
};

// ---- start-up ----

TEST(WizardStartUp, RunsItsStepsInOrderAndLabelsTheWindowFromTheCatalogue) {
    Wizard w;
    // When the cable is looked for, the window is top-most and titled and the firmware file
    // checked, but page 1 and the captions are still to come.
    bool onTop = false;
    std::string titleBar = "unset";
    std::size_t rows = 0;
    std::string page = "unset";
    w.host.onOpenPort = [&] {
        onTop = w.view.onTop;
        titleBar = w.view.titles.titleBar;
        rows = w.view.rows.size();
        page = w.view.pageText;
    };
    ASSERT_TRUE(w.controller.Load());

    EXPECT_TRUE(onTop);
    EXPECT_EQ(titleBar, "VERNO 1B " + Text(text::kProductTitle));
    EXPECT_EQ(rows, 4u);  // the firmware file's rows, the last saying it is the demo
    EXPECT_EQ(page, "");
    EXPECT_EQ(w.view.titles.taskBar, "QEL 1F Firmware Update");
    EXPECT_EQ(w.view.pageText, kPageOne);
    EXPECT_EQ(w.view.captions.frame, Text(text::kInstructions));
    EXPECT_EQ(w.view.captions.next, Text(text::kNext));
    EXPECT_EQ(w.view.captions.statusHeading, Text(text::kStatusHeading));
    EXPECT_EQ(w.view.rows[0].event, Text(text::kReadingFirmwareFile));
    EXPECT_EQ(w.view.rows[0].status(), Text(text::kDone));
    EXPECT_TRUE(w.view.buttonsShown);
    EXPECT_TRUE(w.view.nextEnabled);
    EXPECT_FALSE(w.view.backEnabled);
    EXPECT_FALSE(w.view.taskLogShown);
    EXPECT_TRUE(w.view.messages.empty());
    EXPECT_EQ(w.controller.Stage(), 1);
    EXPECT_TRUE(w.controller.ProfileSafe());
    EXPECT_EQ(w.host.ends, 0);
}

TEST(WizardStartUp, TheDesktopsLanguageComesBeforeTheRecords) {
    Wizard w;
    w.host.desktopLanguage = 2;  // German
    ASSERT_TRUE(w.controller.Load());
    EXPECT_EQ(w.view.captions.next, "Weiter >");
    EXPECT_EQ(w.view.pageText.substr(0, 48), "1. Stecken Sie das USB-Schnittstellenkabel in ei");
    EXPECT_NE(w.view.pageText.find("\r\n>>> Klicken Sie auf Weiter"), std::string::npos);
}

TEST(WizardStartUp, ARecordOfOneFieldEndsSilentlyBeforeTheCatalogue) {
    Wizard w;
    w.host.record = "VERNO.1B.FWR";
    w.host.catalogueFile = w.host.folder.path() / "absent.lng";  // would produce a box if it were opened
    EXPECT_FALSE(w.controller.Load());
    EXPECT_TRUE(w.view.messages.empty());
    EXPECT_EQ(w.host.trace, (std::vector<std::string>{"close port", "end"}));
    EXPECT_EQ(w.host.exitStatus, kExitStartUpFailed);
    EXPECT_EQ(w.controller.StartUpFailed(), StartUpFailure::Configuration);
}

TEST(WizardStartUp, AMissingCatalogueIsReportedInPlainEnglishAndEnds) {
    Wizard w;
    w.host.catalogueFile = w.host.folder.path() / "FirmwareUpdate.lng";
    EXPECT_FALSE(w.controller.Load());
    ASSERT_EQ(w.view.messages.size(), 1u);
    EXPECT_EQ(w.view.messages[0].title, "Firmware Update");
    EXPECT_NE(w.view.messages[0].text.find("FirmwareUpdate.lng is missing"), std::string::npos);
    EXPECT_EQ(w.view.messages[0].icon, MessageIcon::Critical);
    EXPECT_TRUE(w.view.rows.empty());  // the firmware file was never read
    EXPECT_EQ(w.host.ends, 1);
    EXPECT_EQ(w.host.exitStatus, kExitStartUpFailed);
}

TEST(WizardStartUp, AMissingFirmwareFileEndsThroughTheCloseHandler) {
    Wizard w;
    std::filesystem::remove(w.host.folder.path() / "VERNO.1B.FWR");
    EXPECT_FALSE(w.controller.Load());
    ASSERT_EQ(w.view.messages.size(), 1u);
    EXPECT_EQ(w.view.messages[0].title, Text(text::kFailed));
    EXPECT_EQ(w.controller.UpdateSession(), nullptr) << "no update can start";
    EXPECT_FALSE(w.view.onTop);  // undone by Close
    EXPECT_EQ(w.host.trace, (std::vector<std::string>{"close port", "end"}));  // no cable search
    EXPECT_EQ(w.controller.StartUpFailed(), StartUpFailure::FirmwareFile);
}

TEST(WizardStartUp, TheCableDialogRepeatsUntilTheCableIsThereOrTheUserQuits) {
    {
        Wizard w;
        w.host.cablesMissing = 2;
        w.view.answers = {MessageAnswer::Ok, MessageAnswer::Ok};
        EXPECT_TRUE(w.controller.Load());
        ASSERT_EQ(w.view.messages.size(), 2u);
        EXPECT_EQ(w.view.messages[0].title, Text(text::kCableTitle));
        EXPECT_EQ(w.view.messages[0].buttons, MessageButtons::OkCancel);
        EXPECT_EQ(w.host.ends, 0);
    }
    {
        Wizard w;
        w.host.cablesMissing = 5;
        w.host.record = "VERNO.1B.FWR||Logbook.exe|5000";
        w.view.answers = {MessageAnswer::Ok, MessageAnswer::Cancel};
        EXPECT_FALSE(w.controller.Load());
        EXPECT_EQ(w.view.messages.size(), 2u);
        EXPECT_EQ(w.host.ends, 1);
        // Cancel ends the program at once: no Close handler, no follow-up program.
        EXPECT_TRUE(w.host.started.empty());
        EXPECT_EQ(w.host.trace.back(), "end");
        EXPECT_EQ(w.view.pageText, "");
        EXPECT_EQ(w.controller.StartUpFailed(), StartUpFailure::Port);
        EXPECT_EQ(w.host.exitStatus, kExitStartUpFailed);
    }
}

// ---- Next ----

TEST(WizardNext, ASilentDcIsCalledWithNextDisabledThenExplainedOnPageOne) {
    dcsim::DcFaults faults;
    faults.silent = true;
    Wizard w({}, faults);
    ASSERT_TRUE(w.controller.Load());
    bool nextEnabledWhileCalling = true;
    w.host.link.SetOnPump([&] { nextEnabledWhileCalling = nextEnabledWhileCalling && w.view.nextEnabled; });
    w.controller.NextClick();
    EXPECT_FALSE(nextEnabledWhileCalling);
    EXPECT_EQ(w.controller.Stage(), 1);
    EXPECT_EQ(w.controller.LastNext(), NextResult::NoAnswer);
    EXPECT_TRUE(w.view.nextEnabled);
    EXPECT_FALSE(w.view.taskLogShown);
    ASSERT_EQ(w.view.messages.size(), 1u);
    EXPECT_EQ(w.view.messages[0].text, Text(text::kDcSilentAtNext));
    EXPECT_EQ(w.view.messages[0].icon, MessageIcon::Exclamation);
    // Every call after the first shows, so that the long wait does not look frozen.
    ASSERT_EQ(w.view.calls.size(), 11u);
    EXPECT_EQ(w.view.calls.front(), FillPlaceholders(Text(text::kCallingDc), "2", "12"));
    EXPECT_EQ(w.view.calls.back(), FillPlaceholders(Text(text::kCallingDc), "12", "12"));
    const int frames = w.host.dc.Counters(0x84).frames;
    EXPECT_GE(frames, 11);  // the twelfth is still on the wire when the test gives up
    w.host.link.SetOnPump({});
    w.controller.NextClick();  // a second press repeats the test
    EXPECT_GE(w.host.dc.Counters(0x84).frames, 2 * frames);
    EXPECT_EQ(w.controller.Stage(), 1);
}

TEST(WizardNext, AConsoleIsToldWhatToDoInItsOwnWordsNotToClick) {
    dcsim::DcFaults faults;
    faults.silent = true;
    for (const auto& [words, plugIn] : {std::pair{text::Wording::Keyboard, text::kPlugInCableKeyboard},
                                       std::pair{text::Wording::Unattended, text::kPlugInCableUnattended}}) {
        Wizard w({}, faults);
        w.view.words = words;
        w.host.cablesMissing = 1;
        w.view.answers = {MessageAnswer::Ok};
        ASSERT_TRUE(w.controller.Load());
        w.controller.NextClick();
        ASSERT_EQ(w.view.messages.size(), 2u);
        EXPECT_NE(w.view.messages[0].text.find(Text(plugIn)), std::string::npos) << w.view.messages[0].text;
        EXPECT_EQ(w.view.messages[1].text, Text(text::kDcSilentRunAgain));
        for (const auto& box : w.view.messages) EXPECT_EQ(box.text.find("click"), std::string::npos) << box.text;
    }
}

TEST(WizardNext, ARealDcIsRefusedTheDemoFirmwareOncePerPress) {
    dcsim::DcConfig other;
    other.modelTag = "VERNO1B";  // what a real VERNO 1B reports
    Wizard w(other);
    ASSERT_TRUE(w.controller.Load());
    w.controller.NextClick();
    w.controller.NextClick();
    ASSERT_EQ(w.view.messages.size(), 2u);
    for (const auto& m : w.view.messages) {
        EXPECT_EQ(m.title, "Firmware Update");
        EXPECT_EQ(m.text, Text(text::kNotModel) + " VERNO 1B!\r\n" + Text(text::kDemoFirmware) + "\r\nTo update a real dive computer, put the vendor's firmware file VERNO.1B.FWR in " + w.host.folder.path().string() + ".");
        EXPECT_EQ(m.icon, MessageIcon::Exclamation);
        EXPECT_EQ(m.buttons, MessageButtons::Ok);
    }
    EXPECT_EQ(w.controller.Stage(), 1);
    EXPECT_FALSE(w.view.taskLogShown);
    EXPECT_EQ(w.host.dc.Counters(0xB5).frames, 0);
}

TEST(WizardUpdate, AWholeUpdateShowsItsTasksAndEndsWithTheVerdict) {
    Wizard w;
    const auto profileBefore = ProfileBytes(w.host.dc);
    ASSERT_TRUE(w.controller.Load());
    w.controller.NextClick();

    EXPECT_EQ(w.host.dc.Version(), "1B");
    EXPECT_EQ(ProfileBytes(w.host.dc), profileBefore);
    EXPECT_EQ(w.host.dc.ConnectionsEnded(), 1);
    EXPECT_TRUE(w.controller.ProfileSafe());
    // The start-up's firmware rows stay at the top.
    const std::vector<std::string> expected = {
        Text(776), Text(778), "VERNO 1B, firmware version: 1B", Text(828), Text(782), "VERNO 1B, firmware version: 1A",
        "Backup dive computer profile", Text(787), Text(803), Text(792), Text(794), Text(796), Text(786)};
    EXPECT_EQ(w.view.Events(), expected);
    for (const auto& time : w.view.times) EXPECT_EQ(time, "15:30:05");
    // The log stays on screen; the verification's stage reset leaves Back ready for the next DC.
    EXPECT_TRUE(w.view.taskLogShown);
    EXPECT_FALSE(w.view.nextEnabled);
    EXPECT_TRUE(w.view.backEnabled);
    EXPECT_EQ(w.controller.Stage(), 2);
    EXPECT_EQ(w.host.priorities.front(), 0x100u);
    EXPECT_EQ(w.host.priorities.back(), 0x20u);
    EXPECT_TRUE(w.view.messages.empty());
    EXPECT_EQ(w.controller.ExitStatus(), kExitUpdated);
    // No sleep and no end of the session from the first code block until the header is back.
    EXPECT_EQ(w.host.awakeLog.events, (std::vector<std::string>{"hold (" + Text(text::kWritingDcMemory) + ") after 0 B5, 0 B2",
                                                                 "release after 68 B5, 1 B2"}));
    EXPECT_EQ(w.view.sessionEndHeld, (std::vector<bool>{true, false}));
}

// ---- Back ----

TEST(WizardBack, AfterAFailureReturnsToAnEmptyPageOneForANewAttempt) {
    dcsim::DcFaults faults;
    faults.powerLossAtBlock = 5;
    Wizard w({}, faults);
    ASSERT_TRUE(w.controller.Load());
    w.controller.NextClick();

    ASSERT_TRUE(w.controller.UpdateSession()->AttemptFailed());
    EXPECT_TRUE(w.view.HasErrorRow());
    EXPECT_TRUE(w.view.backEnabled);
    EXPECT_EQ(w.controller.ExitStatus(), kExitFailed);

    w.controller.BackClick();
    EXPECT_EQ(w.controller.Stage(), 1);
    EXPECT_TRUE(w.view.rows.empty());
    EXPECT_FALSE(w.view.taskLogShown);
    EXPECT_EQ(w.view.pageText, kPageOne);
    EXPECT_FALSE(w.controller.UpdateSession()->AttemptFailed());
    EXPECT_FALSE(w.view.backEnabled);
    EXPECT_TRUE(w.view.nextEnabled);

    // The next attempt starts the log again at row 1 and puts the saved profile back.
    w.host.dc.PowerOn();
    w.host.dc.Faults().powerLossAtBlock = 0;
    w.controller.NextClick();
    ASSERT_FALSE(w.view.rows.empty());
    EXPECT_EQ(w.view.rows.front().event, Text(782));
    EXPECT_EQ(w.view.rows.back().event, Text(786));
    EXPECT_EQ(w.controller.ExitStatus(), kExitUpdated);
}

TEST(WizardBack, IsHeldBackUntilTheUpdateHasReturned) {
    Wizard w;
    ASSERT_TRUE(w.controller.Load());
    // The verification resets the stage before the profile goes back; a Back click during the
    // write-back must neither empty the log nor open page 1 for a second attempt.
    bool backEnabled = true;
    std::size_t rowsBefore = 0;
    std::size_t rowsAfter = 0;
    bool clicked = false;
    w.host.link.SetOnPump([&] {
        if (w.host.dc.Counters(0xB2).frames >= 1 && !clicked) {
            clicked = true;
            backEnabled = w.view.backEnabled;
            rowsBefore = w.view.rows.size();
            w.controller.BackClick();
            rowsAfter = w.view.rows.size();
        }
    });
    w.controller.NextClick();

    ASSERT_TRUE(clicked);
    EXPECT_FALSE(backEnabled);
    EXPECT_EQ(rowsAfter, rowsBefore);
    EXPECT_EQ(w.controller.Stage(), 2);
    EXPECT_EQ(w.view.rows.back().event, Text(786));
    EXPECT_TRUE(w.view.backEnabled);
}

// ---- Close ----

TEST(WizardClose, WithTheProfileSafeEndsWithoutRecoveryAndStartsNothing) {
    Wizard w;
    ASSERT_TRUE(w.controller.Load());
    const auto before = w.host.clock.Now();
    w.controller.CloseClick();
    EXPECT_EQ(w.host.ends, 1);
    EXPECT_TRUE(w.host.started.empty());
    EXPECT_TRUE(w.view.messages.empty());
    const int frames = FramesToDc(w.host.dc);
    EXPECT_NE(w.controller.Comm().ReadIdentity(), link::LinkStatus::Ok);
    EXPECT_EQ(FramesToDc(w.host.dc), frames) << "after Close not one more frame reaches the DC";
    EXPECT_GE((w.host.clock.Now() - before).count(), 1.0);
    EXPECT_FALSE(w.view.onTop);
    EXPECT_FALSE(w.view.decorated);
    EXPECT_EQ(w.host.trace, (std::vector<std::string>{"open port", "close port", "end"}));
    EXPECT_EQ(w.host.exitStatus, kExitFailed);  // nothing was updated
    w.controller.CloseClick();  // nothing runs twice
    EXPECT_EQ(w.host.ends, 1);
}

TEST(WizardClose, StartsTheFollowUpProgramNamedByTheRecordBeforeEnding) {
    Wizard w;
    w.host.record = "VERNO.1B.FWR||Logbook.exe|5000";
    ASSERT_TRUE(w.controller.Load());
    w.controller.CloseClick();
    ASSERT_EQ(w.host.started.size(), 1u);
    EXPECT_EQ(w.host.started[0], w.host.folder.path() / "Logbook.exe");
    EXPECT_EQ(w.host.trace, (std::vector<std::string>{"open port", "start program", "close port", "end"}));
}

TEST(WizardClose, AfterAnInterruptedUpdateRecoversTheProfileFirst) {
    dcsim::DcFaults faults;
    faults.powerLossAtBlock = 5;
    Wizard w({}, faults);
    const auto profileBefore = ProfileBytes(w.host.dc);
    ASSERT_TRUE(w.controller.Load());
    w.controller.NextClick();
    ASSERT_FALSE(w.controller.ProfileSafe());
    const auto backup = w.controller.UpdateSession()->Profile().BackupFilePath();
    ASSERT_TRUE(std::filesystem::exists(backup));

    // Someone wiped the profile; the user agrees to the recovery and powers the DC up again
    // while the instructions are on screen.
    for (std::size_t i = 16 * 256; i < 16 * 640; ++i) w.host.dc.MutableMemory()[i] = 0;
    w.view.answers = {MessageAnswer::WriteBack, MessageAnswer::Ok};
    w.view.onMessage = [&](const RecordedMessage& m) {
        if (m.buttons == MessageButtons::OkCancel) w.host.dc.PowerOn();
    };
    w.controller.CloseClick();

    EXPECT_EQ(ProfileBytes(w.host.dc), profileBefore);
    EXPECT_TRUE(w.controller.ProfileSafe());
    EXPECT_FALSE(std::filesystem::exists(backup));
    EXPECT_EQ(w.host.ends, 1);
    // The end says what the watch runs now and where its dive log is.
    const std::string verdict = FillPlaceholders(Text(text::kVerdictOldFirmware), "1A") + " " + Text(text::kVerdictProfileBack);
    ASSERT_EQ(w.view.messages.size(), 3u);
    EXPECT_EQ(w.view.messages[2].text, verdict);
    ASSERT_NE(w.view.FindRowWithId("recovery.verdict"), nullptr);
    EXPECT_EQ(w.view.FindRowWithId("recovery.verdict")->event, verdict);
    EXPECT_TRUE(w.controller.Summary().recovered);
    // Let go while the recovery question waited for the user; held again for the write back.
    EXPECT_EQ(w.host.awakeLog.events.size(), 4u);
    EXPECT_EQ(w.host.awakeLog.events[1], "release after 5 B5, 0 B2");
    EXPECT_EQ(w.host.awakeLog.events[2].substr(0, 5), "hold ");
}

TEST(WizardClose, AnInterruptedRecoveryKeepsTheBackupFileAndSaysWhere) {
    dcsim::DcFaults faults;
    faults.powerLossAtBlock = 5;
    Wizard w({}, faults);
    ASSERT_TRUE(w.controller.Load());
    w.controller.NextClick();
    const auto backup = w.controller.UpdateSession()->Profile().BackupFilePath();
    const int framesBefore = FramesToDc(w.host.dc);
    w.view.answers = {MessageAnswer::Interrupted};
    w.controller.CloseClick();
    EXPECT_TRUE(std::filesystem::exists(backup));
    EXPECT_EQ(w.controller.KeptProfiles(), (std::vector<profile::KeptFile>{{backup, profile::KeptWhy::WaitsForUpdate}}));
    EXPECT_EQ(FramesToDc(w.host.dc), framesBefore);
    ASSERT_EQ(w.view.messages.size(), 2u);
    EXPECT_NE(w.view.messages[1].text.find(backup.string()), std::string::npos) << w.view.messages[1].text;
    EXPECT_EQ(w.host.ends, 1);
}

TEST(WizardClose, NamesTheBackupAnEarlierAttemptLeftWhateverTheLastAttemptDid) {
    dcsim::DcFaults faults;
    faults.powerLossAtBlock = 5;
    Wizard w({}, faults);
    ASSERT_TRUE(w.controller.Load());
    w.controller.NextClick();
    const auto first = w.controller.UpdateSession()->Profile().BackupFilePath();
    ASSERT_TRUE(std::filesystem::exists(first));

    // The second attempt fails before its backup: block 0 does not come in.
    w.controller.BackClick();
    w.host.dc.Faults() = {};
    w.host.dc.Faults().unansweredCommand = 0xB4;
    w.host.dc.PowerOn();
    w.controller.NextClick();
    w.controller.CloseClick();

    EXPECT_TRUE(w.view.questions.empty()) << "nothing of the last attempt to recover";
    EXPECT_TRUE(std::filesystem::exists(first));
    EXPECT_EQ(w.controller.KeptProfiles(), (std::vector<profile::KeptFile>{{first, profile::KeptWhy::WaitsForUpdate}}));
    ASSERT_FALSE(w.view.messages.empty());
    EXPECT_NE(w.view.messages.back().text.find(first.string()), std::string::npos) << w.view.messages.back().text;
}

TEST(WizardClose, AtTheQuestionWhichProfileGoesBackEndsTheRunBeforeAnyCodeGoesOut) {
    dcsim::DcFaults faults;
    faults.powerLossAtBlock = 5;
    Wizard w({}, faults);
    ASSERT_TRUE(w.controller.Load());
    w.controller.NextClick();
    w.view.answers = {MessageAnswer::Keep};
    w.controller.CloseClick();
    const auto backup = w.controller.KeptProfiles().at(0).file;
    const auto saved = ReadAll(backup);

    // The next run meets a DC whose header changed since; the user closes the question.
    w.host.dc.PowerOn();
    NewDives(w.host.dc);
    RecordingView view;
    view.answers = {MessageAnswer::Interrupted};
    Controller next(view, w.host);
    ASSERT_TRUE(next.Load());
    const int blocksBefore = w.host.dc.Counters(0xB5).frames;
    next.NextClick();

    EXPECT_EQ(view.questions.front(), Question::WhichProfile);
    EXPECT_EQ(w.host.ends, 2) << "Close ends the run";
    EXPECT_EQ(w.host.dc.Counters(0xB5).frames, blocksBefore) << "no code went out";
    EXPECT_EQ(ReadAll(backup), saved);
    const auto kept = next.KeptProfiles();
    ASSERT_EQ(kept.size(), 2u);
    EXPECT_EQ(kept[0].why, profile::KeptWhy::PresentProfile);
    EXPECT_EQ(kept[1], (profile::KeptFile{backup, profile::KeptWhy::WaitsForUpdate}));
    EXPECT_NE(view.messages.back().text.find(kept[0].file.string()), std::string::npos) << "both are named";
    EXPECT_EQ(next.Summary().outcome, Outcome::Closed);
}

std::vector<profile::HistoryEntry> History(Wizard& w) {
    profile::ProfileFiles files(w.host.Files());
    return profile::ListHistory(files, w.host.BackupFolder());
}

TEST(WizardRestore, WritesAHistoryFileBackByteForByteAndOnlyIntoItsOwnDc) {
    Wizard w;
    const auto profileBefore = ProfileBytes(w.host.dc);
    ASSERT_TRUE(w.controller.Load());
    w.controller.NextClick();
    const auto history = History(w);
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(history[0].firmware.version, "1A");

    // Another DC's file: refused before a byte is written, the DC's serial number named.
    profile::ProfileFiles files(w.host.Files());
    auto image = files.Read(history[0].file, 512).image;
    ASSERT_NE(image, nullptr);
    image->SerialDigits[5] ^= 1;
    const auto other = w.host.BackupFolder() / "other.bak";
    ASSERT_FALSE(files.CreateVerified(other, profile::EncodeBackupFile(*image)).error);
    w.controller.BackClick();
    EXPECT_EQ(w.controller.RestoreClick(other), update::RestoreFileResult::OtherSerial);
    EXPECT_EQ(w.host.dc.Counters(0xB2).frames, 1) << "only the update's own header write";
    EXPECT_EQ(w.controller.Summary().serial, 123456);

    // Each path that is no profile file in its own words.
    for (const auto& [path, text] : {std::pair{w.host.BackupFolder() / "no-such.bak", text::kRestoreMissing},
                                     std::pair{w.host.BackupFolder() / "history", text::kRestoreNotAFile}}) {
        w.controller.BackClick();
        EXPECT_EQ(w.controller.RestoreClick(path), update::RestoreFileResult::Unusable);
        EXPECT_EQ(w.view.rows.back().event, FillPlaceholders(Text(text), path.string()));
    }

    NewDives(w.host.dc);
    w.controller.BackClick();
    w.view.answers = {MessageAnswer::Yes};
    EXPECT_EQ(w.controller.RestoreClick(history[0].file), update::RestoreFileResult::Restored);
    EXPECT_EQ(w.view.questions.back(), Question::ConfirmRestore);
    EXPECT_EQ(ProfileBytes(w.host.dc), profileBefore);
    EXPECT_TRUE(std::filesystem::exists(history[0].file)) << "the chosen file is kept";
    EXPECT_EQ(History(w).size(), 2u) << "what the DC held is kept too";
    EXPECT_EQ(w.controller.Summary().outcome, Outcome::Restored);
}

TEST(WizardRestore, WritesNothingWhenWhatTheDcHoldsCannotBeKept) {
    FaultyFiles disk;
    Wizard w;
    w.host.files = &disk;
    ASSERT_TRUE(w.controller.Load());
    w.controller.NextClick();
    const auto chosen = History(w)[0].file;
    NewDives(w.host.dc);
    disk.Arm(FaultyFiles::Mode::NoWriting, 1);  // a history folder left to root by an earlier sudo run
    w.controller.BackClick();
    w.view.answers = {MessageAnswer::Yes};
    const int writesBefore = w.host.dc.Counters(0xB5).frames;
    EXPECT_EQ(w.controller.RestoreClick(chosen), update::RestoreFileResult::Failed);
    EXPECT_EQ(w.host.dc.Counters(0xB5).frames, writesBefore);
    EXPECT_EQ(w.host.dc.Counters(0xB2).frames, 1);
    EXPECT_NE(w.view.FindRowWithId("profile.copy-not-kept"), nullptr);
}

TEST(WizardRestore, AnInterruptionNeverRemovesTheChosenFileAndNamesBothFiles) {
    Wizard w;
    ASSERT_TRUE(w.controller.Load());
    w.controller.NextClick();
    const auto chosen = History(w)[0].file;
    const auto chosenBytes = ReadAll(chosen);
    NewDives(w.host.dc);
    w.controller.BackClick();
    // Close in the middle of writing it, then "discard" (which a chosen file is not offered).
    w.view.answers = {MessageAnswer::Yes, MessageAnswer::Discard, MessageAnswer::Discard};
    const int blocksBefore = w.host.dc.Counters(0xB5).frames;
    w.host.link.SetOnPump([&] {
        if (w.host.dc.Counters(0xB5).frames == blocksBefore + 10 && w.controller.CurrentState() == State::Updating)
            w.controller.CloseClick();
    });
    w.controller.RestoreClick(chosen);
    EXPECT_EQ(w.host.ends, 1);
    EXPECT_EQ(ReadAll(chosen), chosenBytes);
    const auto kept = w.controller.KeptProfiles();
    ASSERT_EQ(kept.size(), 2u);
    EXPECT_EQ(kept[0].why, profile::KeptWhy::PreviousProfile);
    EXPECT_EQ(kept[1], (profile::KeptFile{chosen, profile::KeptWhy::ChosenFile}));
    EXPECT_NE(w.view.messages.back().text.find(kept[0].file.string()), std::string::npos);
    EXPECT_EQ(w.view.messages.back().text.find(Text(text::kKeptWaits).substr(4)), std::string::npos)
        << "no promise that an update writes it back";
}

TEST(WizardRestore, TheWindowChoosesTheFileInADialogAtTheHistoryFolder) {
    Wizard w;
    ASSERT_TRUE(w.controller.Load());
    w.controller.NextClick();
    const auto chosen = History(w)[0].file;
    w.controller.BackClick();
    EXPECT_EQ(w.controller.ChooseAndRestoreClick(), std::nullopt) << "no file chosen, nothing done";
    EXPECT_EQ(w.view.fileDialogs.back(), w.host.BackupFolder() / "history");
    w.view.chosenFile = chosen;
    w.view.answers = {MessageAnswer::Yes};
    EXPECT_EQ(w.controller.ChooseAndRestoreClick(), update::RestoreFileResult::Restored);
}

// ---- the cable drops off the computer ----

TEST(WizardCable, OutForSecondsDuringTheUploadIsWaitedForWithACountdownAndTheUpdateGoesOn) {
    dcsim::DcFaults faults;
    faults.cableOutSeconds = 5.0;
    faults.armAt = dcsim::FaultArming{0xB5, 3};
    Wizard w({}, faults);
    const auto profileBefore = ProfileBytes(w.host.dc);
    ASSERT_TRUE(w.controller.Load());
    w.controller.NextClick();

    EXPECT_EQ(w.view.rows.back().event, Text(text::kUpdateDone));
    EXPECT_EQ(ProfileBytes(w.host.dc), profileBefore);
    const auto& statuses = w.view.FindRowWithId("upload.area1")->statuses;
    const std::string gone = FillPlaceholders(Text(text::kCableGone), "the simulated cable is out", "%");
    const auto countdown = std::count_if(statuses.begin(), statuses.end(), [&](const std::string& status) {
        return status.starts_with(gone.substr(0, gone.find('%')));
    });
    EXPECT_GE(countdown, 4) << "a second at a time";
    EXPECT_NE(std::find(statuses.begin(), statuses.end(), FillPlaceholders(Text(text::kCableBack), "sim")), statuses.end());
    EXPECT_EQ(w.view.notices.front(), "the cable's device went away: the simulated cable is out");
}

TEST(WizardCable, AwayLongerThanAMinuteIsToldAsTheCablesAndTheRecoveryWaitsForItAgain) {
    dcsim::DcFaults faults;
    faults.cableOutSeconds = 100.0;
    faults.armAt = dcsim::FaultArming{0xB5, 3};
    Wizard w({}, faults);
    const auto profileBefore = ProfileBytes(w.host.dc);
    ASSERT_TRUE(w.controller.Load());
    const link::Seconds began = w.host.clock.Now();
    w.controller.NextClick();
    ASSERT_NE(w.view.FindRowWithId("cable.gone"), nullptr);
    EXPECT_EQ(w.view.FindRowWithId("dc.not-answering"), nullptr) << "not a silent DC";
    EXPECT_LT(w.host.clock.Now() - began, link::Seconds(100.0)) << "one minute's wait, not one for every step after it";
    ASSERT_FALSE(w.controller.ProfileSafe());

    // Close: the recovery waits for the cable anew, and it comes back within that minute.
    w.view.answers = {MessageAnswer::WriteBack, MessageAnswer::Ok};
    w.controller.CloseClick();
    EXPECT_EQ(ProfileBytes(w.host.dc), profileBefore);
    EXPECT_TRUE(w.controller.Summary().recovered);
}

// Close clicked at a moment of the update: when the DC has taken `frames` frames of `command`.
void CloseWhen(Wizard& w, std::uint8_t command, int frames) {
    w.host.link.SetOnPump([&w, command, frames] {
        if (w.host.dc.Counters(command).frames >= frames && w.controller.CurrentState() == State::Updating)
            w.controller.CloseClick();
    });
}

TEST(WizardClose, DuringTheUploadOrTheRestoreOffersTheRecoveryAndPutsTheProfileBack) {
    struct Moment {
        const char* name;
        std::uint8_t command;
        int frames;
    };
    for (const Moment& m : {Moment{"upload", 0xB5, 3}, Moment{"restart wait", 0xB6, 1}, Moment{"restore", 0xB5, 25}}) {
        SCOPED_TRACE(m.name);
        Wizard w;
        const auto profileBefore = ProfileBytes(w.host.dc);
        ASSERT_TRUE(w.controller.Load());
        w.view.answers = {MessageAnswer::WriteBack, MessageAnswer::Ok};
        CloseWhen(w, m.command, m.frames);
        bool safeAtTheEnd = false;  // what follows the end happens only with a test host
        w.host.onEnd = [&] { safeAtTheEnd = w.controller.ProfileSafe(); };
        w.controller.NextClick();

        EXPECT_EQ(w.host.ends, 1);
        ASSERT_FALSE(w.view.messages.empty());
        EXPECT_EQ(w.view.questions.front(), Question::RecoverProfile);  // the recovery, first of all
        EXPECT_EQ(ProfileBytes(w.host.dc), profileBefore);
        EXPECT_TRUE(safeAtTheEnd);
        EXPECT_FALSE(std::filesystem::exists(w.controller.UpdateSession()->Profile().BackupFilePath()));
    }
}

TEST(WizardClose, DuringAnUpdateRunsInsideTheWaitAndTheUpdateNeverResumes) {
    Wizard w;
    ASSERT_TRUE(w.controller.Load());
    bool backEnabledDuringUpload = true;
    w.host.link.SetOnPump([&] {
        if (w.host.dc.Counters(0xB5).frames == 3 && w.controller.CurrentState() == State::Updating) {
            backEnabledDuringUpload = w.view.backEnabled;
            w.controller.CloseClick();
        }
    });
    w.view.answers = {MessageAnswer::Interrupted};
    int framesAtEnd = -1;
    std::size_t rowsAtEnd = 0;
    w.host.onEnd = [&] {
        framesAtEnd = FramesToDc(w.host.dc);
        rowsAtEnd = w.view.rows.size();
    };
    w.controller.NextClick();

    EXPECT_EQ(w.host.ends, 1);
    EXPECT_FALSE(backEnabledDuringUpload);
    EXPECT_EQ(FramesToDc(w.host.dc), framesAtEnd);
    EXPECT_EQ(w.view.rows.size(), rowsAtEnd);
    EXPECT_EQ(w.host.dc.Counters(0xB5).frames, 3);
    EXPECT_NE(w.host.dc.Version(), "1B");
    EXPECT_EQ(w.host.exitStatus, kExitFailed);
}

// A host whose end is the real one: the process ends there with the wizard's exit status.
class EndingHost final : public wizard::Host {
public:
    SimulatedHost& inner;
    explicit EndingHost(SimulatedHost& simulated) : inner(simulated) {}
    link::Port& Port() override { return inner.Port(); }
    link::Pump& Pump() override { return inner.Pump(); }
    link::MonotonicClock& Clock() override { return inner.Clock(); }
    void Attach(link::CommModule& comm) override { inner.Attach(comm); }
    void WatchCable(link::CableWatch* watch) override { inner.WatchCable(watch); }
    platform::StayAwake& Awake() override { return inner.Awake(); }
    std::optional<std::string> FindPort() override { return inner.FindPort(); }
    link::PortOpenResult OpenPort(const std::string& path) override { return inner.OpenPort(path); }
    void ClosePort() override { std::fputs("port closed\n", stderr); }
    const WallClock& Wall() override { return inner.Wall(); }
    std::uint32_t SetPriority(std::uint32_t c) override { return c; }
    std::string_view ConfigurationRecord() override { return inner.ConfigurationRecord(); }
    std::optional<int> DesktopLanguageColumn() override { return inner.DesktopLanguageColumn(); }
    std::filesystem::path ProgramFolder() override { return inner.ProgramFolder(); }
    std::filesystem::path CatalogueFile() override { return inner.CatalogueFile(); }
    std::filesystem::path FirmwareFile(const std::filesystem::path& name) override { return inner.FirmwareFile(name); }
    std::filesystem::path UserFirmwareFolder() override { return inner.UserFirmwareFolder(); }
    std::filesystem::path BackupFolder() override { return inner.BackupFolder(); }
    platform::FileSystem& Files() override { return inner.Files(); }
    void StartProgram(const std::filesystem::path&) override {}
    void EndProgram(int status) override { platform::EndProcess(status); }
};

TEST(WizardCloseDeathTest, EndsTheProcessWithItsExitStatusAfterClosingThePort) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            SimulatedHost simulated;
            EndingHost host(simulated);
            RecordingView view;
            Controller controller(view, host);
            if (controller.Load()) {
                controller.NextClick();
                controller.CloseClick();
            }
        },
        ::testing::ExitedWithCode(kExitUpdated), "port closed");
    EXPECT_EXIT(
        {
            SimulatedHost simulated;
            std::filesystem::remove(simulated.folder.path() / "VERNO.1B.FWR");
            EndingHost host(simulated);
            RecordingView view;
            Controller controller(view, host);
            controller.Load();
            std::fputs("returned from the start-up\n", stderr);
        },
        ::testing::ExitedWithCode(kExitStartUpFailed), "port closed\n$");
}

}  // namespace
}  // namespace verno::wizard
