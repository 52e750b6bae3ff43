// The real window against a simulated DC on virtual time, with scripted message boxes.

#include <gtest/gtest.h>

#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QSystemTrayIcon>

#include "catalogue/Catalogue.h"
#include "shell/Banner.h"
#include "shell/InstructionPage.h"
#include "shell/MFUMain.h"
#include "shell/TaskLog.h"
#include "shell/TitleBar.h"
#include "tests/shell/SimulatedFrontEnd.h"

namespace verno::shell {
namespace {

const char* const kPageOne =
    "1. Plug the USB interface cable into an USB port on the PC.\r\n\r\n"
    "2. Dive Computer (DC) needs to be in the Watch Main Time Mode.\r\n\r\n"
    "3. Clip the interface cable on the DC data port.\r\n\r\n"
    "4. A PC will appear with a 120 second countdown (you have 2 minutes to initiate the connection PC-DC).\r\n"
    "   a) If the  PC screen does not appear, unclip the interface cable from the DC for 5 second then repeat\r\n"
    "   steps 2, 3, 4.\r\n\r\n"
    ">>> Click on Next button to continue... >>>";

// The English texts of the bundle's catalogue, to compare the window with.
std::string Text(int n) {
    static catalogue::Catalogue texts;
    if (!texts.IsOpen()) texts.Open(VERNO_CATALOGUE_FILE, 1);
    return texts.LoadText(n);
}
QString QText(int n) { return QString::fromStdString(Text(n)); }

std::vector<std::string> Events(MFUMain& w) {
    std::vector<std::string> events;
    for (int r = 0; r < w.TaskLst().rowCount(); ++r) events.push_back(w.TaskLst().CellText(r, TaskLog::kEventColumn).toStdString());
    return events;
}

bool HasErrorRow(MFUMain& w) {
    for (int r = 0; r < w.TaskLst().rowCount(); ++r)
        if (w.TaskLst().RowIcon(r) == TaskIcon::Error) return true;
    return false;
}

std::vector<std::uint8_t> ProfileBytes(const dcsim::SimulatedDc& dc) {
    const auto& m = dc.Memory();
    return {m.begin() + 16 * 256, m.begin() + 16 * 640};  // the default profile, units 256..639
}

int FramesToDc(const dcsim::SimulatedDc& dc) {
    int frames = 0;
    for (int c = 0; c < 256; ++c) frames += dc.Counters(static_cast<std::uint8_t>(c)).frames;
    return frames;
}

// ---- start-up ----

TEST(WizardStartUp, LabelsTheWindowFromTheCatalogueAndShowsPageOne) {
    SimulatedFrontEnd fe;
    MFUMain w(fe);
    ASSERT_TRUE(w.Load());

    EXPECT_EQ(w.windowTitle(), "QEL 1F Firmware Update");
    EXPECT_EQ(w.XPForm().Caption(), "VERNO 1B " + QText(820));
    EXPECT_EQ(w.XPFrame().Caption(), QText(352).toUpper());
    EXPECT_EQ(w.XPFrame().Caption(), "INSTRUCTIONS");
    EXPECT_EQ(w.BackCmd().text(), QText(799));
    EXPECT_EQ(w.CloseCmd().text(), QText(141));
    EXPECT_EQ(w.NextCmd().text(), QText(800));
    const auto* header = w.TaskLst().horizontalHeaderItem(TaskLog::kTimeColumn);
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(header->text(), QText(664));
    EXPECT_EQ(w.TaskLst().horizontalHeaderItem(TaskLog::kEventColumn)->text(), QText(801));
    EXPECT_EQ(w.TaskLst().horizontalHeaderItem(TaskLog::kStatusColumn)->text(), QText(683));

    EXPECT_EQ(w.InstructionText(), kPageOne);
    EXPECT_EQ(w.Lbl1().text(), QString(kPageOne).replace("\r\n", "\n"));
    EXPECT_EQ(w.Stage(), 1);
    EXPECT_TRUE(w.ProfileSafe());
    EXPECT_TRUE(w.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(w.BackCmd().isVisibleTo(&w));
    EXPECT_TRUE(w.NextCmd().isVisibleTo(&w));
    EXPECT_TRUE(w.CloseCmd().isVisibleTo(&w));
    EXPECT_FALSE(w.BackCmd().isEnabled());
    EXPECT_TRUE(w.NextCmd().isEnabled());
    EXPECT_TRUE(w.XPFrame().isVisibleTo(&w));
    EXPECT_FALSE(w.TaskLst().isVisibleTo(&w));
    EXPECT_EQ(w.TrayIcon() != nullptr, QSystemTrayIcon::isSystemTrayAvailable());
    EXPECT_TRUE(fe.dialogs.shown.empty());
    EXPECT_EQ(fe.ends, 0);
    // The firmware check's rows wait in the hidden log; the receive buffers fit a whole memory.
    EXPECT_EQ(Events(w).size(), 3u);
    EXPECT_EQ(w.TaskLst().CellText(0, TaskLog::kEventColumn), QText(776));
    EXPECT_EQ(w.TaskLst().CellText(0, TaskLog::kStatusColumn), QText(777));
    EXPECT_EQ(w.Comm().RxBuf.size(), 136u * 512 + 1 + 1);
}

TEST(WizardStartUp, RunsItsStepsInOrder) {
    SimulatedFrontEnd fe;
    MFUMain w(fe);
    // When the cable is looked for, the window is top-most and titled and the firmware file
    // checked, but page 1 and the captions are still to come.
    bool onTop = false;
    QString caption, nextCaption;
    int rows = -1;
    std::string page = "unset";
    fe.onOpenInterface = [&] {
        onTop = w.windowFlags().testFlag(Qt::WindowStaysOnTopHint);
        caption = w.XPForm().Caption();
        rows = w.TaskLst().rowCount();
        page = w.InstructionText();
        nextCaption = w.NextCmd().text();
    };
    ASSERT_TRUE(w.Load());
    EXPECT_TRUE(onTop);
    EXPECT_EQ(caption, "VERNO 1B " + QText(820));
    EXPECT_EQ(rows, 3);
    EXPECT_EQ(page, "");
    EXPECT_EQ(nextCaption, "Next");
}

TEST(WizardStartUp, ARecordOfOneFieldEndsSilentlyBeforeTheCatalogue) {
    SimulatedFrontEnd fe;
    fe.record = "VERNO.1B.FWR";
    fe.catalogueFile = fe.folder.path() / "absent.lng";  // would produce a box if it were opened
    MFUMain w(fe);
    EXPECT_FALSE(w.Load());
    EXPECT_EQ(fe.ends, 1);
    EXPECT_TRUE(fe.dialogs.shown.empty());
    EXPECT_EQ(fe.trace, std::vector<std::string>{"end"});
}

TEST(WizardStartUp, AMissingCatalogueIsReportedInPlainEnglishAndEnds) {
    SimulatedFrontEnd fe;
    fe.catalogueFile = fe.folder.path() / "FirmwareUpdate.lng";
    MFUMain w(fe);
    EXPECT_FALSE(w.Load());
    ASSERT_EQ(fe.dialogs.shown.size(), 1u);
    EXPECT_EQ(fe.dialogs.shown[0].title, "Firmware Update");
    EXPECT_NE(fe.dialogs.shown[0].text.find("FirmwareUpdate.lng is missing"), std::string::npos);
    EXPECT_EQ(fe.dialogs.shown[0].icon, MessageIcon::Critical);
    EXPECT_EQ(fe.trace, std::vector<std::string>{"end"});
    EXPECT_EQ(w.TaskLst().rowCount(), 0);  // the firmware file was never read
}

TEST(WizardStartUp, AMissingFirmwareFileEndsThroughTheCloseHandler) {
    SimulatedFrontEnd fe;
    std::filesystem::remove(fe.folder.path() / "VERNO.1B.FWR");
    MFUMain w(fe);
    EXPECT_FALSE(w.Load());
    ASSERT_EQ(fe.dialogs.shown.size(), 1u);
    EXPECT_EQ(fe.dialogs.shown[0].title, Text(280));
    EXPECT_TRUE(w.Comm().TransferFailed);
    EXPECT_FALSE(w.windowFlags().testFlag(Qt::WindowStaysOnTopHint));  // undone by Close
    EXPECT_EQ(fe.trace, std::vector<std::string>{"end"});                // no cable search
}

TEST(WizardStartUp, TheCableDialogRepeatsUntilTheCableIsThereOrTheUserQuits) {
    {
        SimulatedFrontEnd fe;
        fe.cablesMissing = 2;
        fe.dialogs.answers = {MessageAnswer::Ok, MessageAnswer::Ok};
        MFUMain w(fe);
        EXPECT_TRUE(w.Load());
        ASSERT_EQ(fe.dialogs.shown.size(), 2u);
        EXPECT_EQ(fe.dialogs.shown[0].title, Text(605));
        EXPECT_EQ(fe.dialogs.shown[0].buttons, MessageButtons::OkCancel);
        EXPECT_EQ(fe.ends, 0);
    }
    {
        SimulatedFrontEnd fe;
        fe.cablesMissing = 5;
        fe.dialogs.answers = {MessageAnswer::Ok, MessageAnswer::Cancel};
        MFUMain w(fe);
        EXPECT_FALSE(w.Load());
        EXPECT_EQ(fe.dialogs.shown.size(), 2u);
        EXPECT_EQ(fe.ends, 1);
        EXPECT_EQ(w.InstructionText(), "");
    }
}

TEST(WizardWindow, ControlsSitWhereTheLayoutPutsThem) {
    SimulatedFrontEnd fe;
    MFUMain w(fe);
    ASSERT_TRUE(w.Load());
    EXPECT_EQ(w.size(), QSize(679, 456));
    EXPECT_TRUE(w.windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_EQ(w.XPForm().geometry(), QRect(0, 0, 679, 30));
    EXPECT_EQ(w.Image1().geometry(), QRect(0, 32, 141, 358));
    EXPECT_EQ(w.XPFrame().geometry(), QRect(144, 32, 529, 361));
    EXPECT_EQ(w.Lbl1().geometry(), QRect(8, 16, 513, 337));
    EXPECT_EQ(w.Lbl1().parentWidget(), &w.XPFrame());
    EXPECT_EQ(w.TaskLst().geometry(), QRect(144, 32, 529, 361));
    EXPECT_EQ(w.BackCmd().geometry(), QRect(280, 424, 97, 25));
    EXPECT_EQ(w.NextCmd().geometry(), QRect(400, 424, 97, 25));
    EXPECT_EQ(w.CloseCmd().geometry(), QRect(576, 424, 97, 25));
    EXPECT_FALSE(w.windowIcon().isNull());
}

TEST(WizardWindow, PaintsItsTitleBarAndBanner) {
    SimulatedFrontEnd fe;
    MFUMain w(fe);
    ASSERT_TRUE(w.Load());
    const QImage shot = w.grab().toImage();
    if (const QByteArray path = qgetenv("VERNO_SHELL_SNAPSHOT"); !path.isEmpty()) shot.save(QString::fromLocal8Bit(path));
    auto blue = [](QColor c) { return c.blue() > c.red() + 40 && c.blue() > c.green(); };
    EXPECT_TRUE(blue(shot.pixelColor(300, 15)));  // the title bar
    EXPECT_TRUE(blue(shot.pixelColor(4, 36)));     // the sea at the banner's top
    EXPECT_TRUE(blue(shot.pixelColor(4, 360)));    // and at its bottom
    EXPECT_FALSE(blue(shot.pixelColor(4, 380)));   // below the 334-pixel picture
    EXPECT_EQ(shot.pixelColor(400, 300), QColor(Qt::white));  // the instruction frame
}

// ---- Next ----

TEST(WizardNext, ASilentDcLeavesPageOneAsItWasWithoutAWord) {
    dcsim::DcFaults faults;
    faults.silent = true;
    SimulatedFrontEnd fe({}, faults);
    MFUMain w(fe);
    ASSERT_TRUE(w.Load());
    w.NextCmd().click();
    EXPECT_EQ(w.Stage(), 1);
    EXPECT_TRUE(w.NextCmd().isEnabled());
    EXPECT_FALSE(w.BackCmd().isEnabled());
    EXPECT_TRUE(w.XPFrame().isVisibleTo(&w));
    EXPECT_FALSE(w.TaskLst().isVisibleTo(&w));
    EXPECT_TRUE(fe.dialogs.shown.empty());
    const int frames = fe.dc.Counters(0x84).frames;
    EXPECT_GT(frames, 0);
    w.NextCmd().click();  // a second press repeats the test
    EXPECT_GE(fe.dc.Counters(0x84).frames, 2 * frames);
    EXPECT_EQ(w.Stage(), 1);
}

TEST(WizardNext, ADcOfAnotherModelIsWarnedAboutOncePerPress) {
    dcsim::DcConfig other;
    other.identity = "KAPPA2X FW-1A DC";
    SimulatedFrontEnd fe(other);
    MFUMain w(fe);
    ASSERT_TRUE(w.Load());
    w.NextCmd().click();
    w.NextCmd().click();
    ASSERT_EQ(fe.dialogs.shown.size(), 2u);
    for (const auto& m : fe.dialogs.shown) {
        EXPECT_EQ(m.title, "Firmware Update");
        EXPECT_EQ(m.text, Text(783) + " VERNO 1B!");
        EXPECT_EQ(m.icon, MessageIcon::Exclamation);
        EXPECT_EQ(m.buttons, MessageButtons::Ok);
        EXPECT_EQ(m.parent, &w);
    }
    EXPECT_EQ(w.Stage(), 1);
    EXPECT_TRUE(w.NextCmd().isEnabled());
    EXPECT_FALSE(w.TaskLst().isVisibleTo(&w));
    EXPECT_EQ(fe.dc.Counters(0xB5).frames, 0);
}

TEST(WizardUpdate, AWholeUpdateShowsItsTasksAndEndsWithTheVerdict) {
    SimulatedFrontEnd fe;
    const auto profileBefore = ProfileBytes(fe.dc);
    MFUMain w(fe);
    ASSERT_TRUE(w.Load());
    w.NextCmd().click();

    EXPECT_EQ(fe.dc.Version(), "1B");
    EXPECT_EQ(ProfileBytes(fe.dc), profileBefore);
    EXPECT_EQ(fe.dc.Restarts(), 1);
    EXPECT_EQ(fe.dc.ConnectionsEnded(), 1);
    EXPECT_FALSE(w.Comm().TransferFailed);
    EXPECT_TRUE(w.ProfileSafe());

    // The start-up's firmware rows stay at the top; a version row's text is the firmware's.
    struct Row {
        TaskIcon icon;
        std::string event;  // empty: not compared
    };
    const std::vector<Row> expected = {
        {TaskIcon::Information, Text(776)}, {TaskIcon::Information, Text(778)},
        {TaskIcon::Warning, ""},            {TaskIcon::Information, Text(782)},
        {TaskIcon::Warning, ""},            {TaskIcon::Information, "Backup dive computer profile"},
        {TaskIcon::Information, Text(787)}, {TaskIcon::Information, Text(803)},
        {TaskIcon::Information, Text(792)}, {TaskIcon::Warning, Text(794)},
        {TaskIcon::Information, Text(796)}, {TaskIcon::Warning, Text(786)},
    };
    const auto events = Events(w);
    ASSERT_EQ(events.size(), expected.size());
    for (std::size_t r = 0; r < expected.size(); ++r) {
        EXPECT_EQ(w.TaskLst().RowIcon(static_cast<int>(r)), expected[r].icon) << "row " << r;
        if (!expected[r].event.empty()) {
            EXPECT_EQ(events[r], expected[r].event) << "row " << r;
        }
    }
    EXPECT_NE(events[2].find("1B"), std::string::npos);
    EXPECT_NE(events[4].find("1A"), std::string::npos);
    for (int r = 0; r < w.TaskLst().rowCount(); ++r) {
        EXPECT_EQ(w.TaskLst().CellText(r, TaskLog::kTimeColumn), "15:30:05");
        const QString status = w.TaskLst().CellText(r, TaskLog::kStatusColumn);
        EXPECT_TRUE(status.isEmpty() || status == QText(777)) << r << ": " << status.toStdString();
    }
    // The log stays on screen; the verification's stage reset leaves Back ready for the next DC.
    EXPECT_TRUE(w.TaskLst().isVisibleTo(&w));
    EXPECT_FALSE(w.XPFrame().isVisibleTo(&w));
    EXPECT_FALSE(w.NextCmd().isEnabled());
    EXPECT_TRUE(w.BackCmd().isEnabled());
    EXPECT_EQ(w.Stage(), 2);
    ASSERT_FALSE(fe.priorities.empty());
    EXPECT_EQ(fe.priorities.front(), 0x100u);
    EXPECT_TRUE(fe.dialogs.shown.empty());
}

// ---- Back ----

TEST(WizardBack, AfterAFailureReturnsToAnEmptyPageOne) {
    dcsim::DcFaults faults;
    faults.powerLossAtBlock = 5;
    SimulatedFrontEnd fe({}, faults);
    MFUMain w(fe);
    ASSERT_TRUE(w.Load());
    w.NextCmd().click();

    ASSERT_TRUE(w.Comm().TransferFailed);
    EXPECT_TRUE(HasErrorRow(w));
    EXPECT_TRUE(w.BackCmd().isEnabled());
    EXPECT_FALSE(w.NextCmd().isEnabled());
    EXPECT_EQ(fe.priorities.back(), 0x20u);

    w.BackCmd().click();
    EXPECT_EQ(w.Stage(), 1);
    EXPECT_EQ(w.TaskLst().rowCount(), 0);
    EXPECT_FALSE(w.TaskLst().isVisibleTo(&w));
    EXPECT_TRUE(w.XPFrame().isVisibleTo(&w));
    EXPECT_EQ(w.InstructionText(), kPageOne);
    EXPECT_FALSE(w.Comm().TransferFailed);
    EXPECT_FALSE(w.BackCmd().isEnabled());
    EXPECT_TRUE(w.NextCmd().isEnabled());

    // The next attempt starts the log again at row 1.
    fe.dc.PowerOn();
    fe.dc.Faults().powerLossAtBlock = 0;
    w.NextCmd().click();
    ASSERT_GT(w.TaskLst().rowCount(), 0);
    EXPECT_NE(w.TaskLst().CellText(0, TaskLog::kEventColumn), QText(776));
    EXPECT_EQ(Events(w).back(), Text(786));
}

// ---- Close ----

TEST(WizardClose, WithTheProfileSafeEndsWithoutRecoveryAndStartsNothing) {
    SimulatedFrontEnd fe;
    MFUMain w(fe);
    ASSERT_TRUE(w.Load());
    const auto before = fe.clock.Now();
    w.CloseCmd().click();
    EXPECT_EQ(fe.ends, 1);
    EXPECT_TRUE(fe.started.empty());
    EXPECT_TRUE(fe.dialogs.shown.empty());
    EXPECT_TRUE(w.Comm().CommError);
    EXPECT_TRUE(w.Comm().LinkAborted);
    EXPECT_EQ(w.Comm().RxBuf.size(), 1u);
    EXPECT_GE((fe.clock.Now() - before).count(), 1.0);
    EXPECT_FALSE(w.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(w.TrayIcon(), nullptr);
    w.CloseCmd().click();  // nothing runs twice
    EXPECT_EQ(fe.ends, 1);
}

TEST(WizardClose, StartsTheFollowUpProgramNamedByTheRecordBeforeEnding) {
    SimulatedFrontEnd fe;
    fe.record = "VERNO.1B.FWR||Logbook.exe|5000";
    MFUMain w(fe);
    ASSERT_TRUE(w.Load());
    w.CloseCmd().click();
    ASSERT_EQ(fe.started.size(), 1u);
    EXPECT_EQ(fe.started[0], fe.folder.path() / "Logbook.exe");
    EXPECT_EQ(fe.trace, (std::vector<std::string>{"open interface", "start program", "end"}));
}

TEST(WizardClose, AfterAnInterruptedUpdateRecoversTheProfileFirst) {
    dcsim::DcFaults faults;
    faults.powerLossAtBlock = 5;
    SimulatedFrontEnd fe({}, faults);
    const auto profileBefore = ProfileBytes(fe.dc);
    MFUMain w(fe);
    ASSERT_TRUE(w.Load());
    w.NextCmd().click();
    ASSERT_FALSE(w.ProfileSafe());
    const auto backup = w.UpdateSession()->profile.BackupFilePath;
    ASSERT_TRUE(std::filesystem::exists(backup));

    // Someone wiped the profile; the user agrees to the recovery and powers the DC up again
    // while the instructions are on screen.
    for (std::size_t i = 16 * 256; i < 16 * 640; ++i) fe.dc.MutableMemory()[i] = 0;
    fe.dialogs.answers = {MessageAnswer::Yes, MessageAnswer::Ok};
    fe.dialogs.onShow = [&](const ShownMessage& m) {
        if (m.buttons == MessageButtons::OkCancel) fe.dc.PowerOn();
        fe.trace.push_back("box");
    };
    w.CloseCmd().click();

    EXPECT_EQ(fe.trace, (std::vector<std::string>{"open interface", "box", "box", "end"}));
    EXPECT_EQ(ProfileBytes(fe.dc), profileBefore);
    EXPECT_TRUE(w.ProfileSafe());
    EXPECT_FALSE(std::filesystem::exists(backup));
    EXPECT_EQ(fe.ends, 1);
}

TEST(WizardClose, DuringAnUpdateRunsInsideTheWaitAndTheUpdateNeverResumes) {
    SimulatedFrontEnd fe;
    MFUMain w(fe);
    ASSERT_TRUE(w.Load());
    bool backEnabledDuringUpload = true;
    fe.link.SetOnPump([&] {
        if (fe.dc.Counters(0xB5).frames == 3 && !w.Ended()) {
            backEnabledDuringUpload = w.BackCmd().isEnabled();
            w.CloseCmd().click();
        }
    });
    int framesAtEnd = -1;
    int rowsAtEnd = -1;
    fe.onEnd = [&] {
        framesAtEnd = FramesToDc(fe.dc);
        rowsAtEnd = w.TaskLst().rowCount();
    };
    w.NextCmd().click();

    EXPECT_EQ(fe.ends, 1);
    EXPECT_FALSE(backEnabledDuringUpload);
    // The profile is written back only after the upload, so nothing waits to be recovered yet;
    // the backup file stays for the next attempt.
    EXPECT_TRUE(fe.dialogs.shown.empty());
    EXPECT_TRUE(std::filesystem::exists(w.UpdateSession()->profile.BackupFilePath));
    EXPECT_EQ(FramesToDc(fe.dc), framesAtEnd);
    EXPECT_EQ(w.TaskLst().rowCount(), rowsAtEnd);
    EXPECT_EQ(fe.dc.Counters(0xB5).frames, 3);
    EXPECT_NE(fe.dc.Version(), "1B");
}

TEST(WizardBack, IsHeldBackUntilTheUpdateHasReturned) {
    SimulatedFrontEnd fe;
    MFUMain w(fe);
    ASSERT_TRUE(w.Load());
    // The verification resets the stage before the profile goes back; a Back click during the
    // write-back must neither empty the log nor open page 1 for a second attempt.
    bool backEnabled = true;
    int rowsBefore = -1;
    int rowsAfter = -1;
    fe.link.SetOnPump([&] {
        if (fe.dc.Counters(0xB2).frames >= 1 && rowsBefore < 0) {
            backEnabled = w.BackCmd().isEnabled();
            rowsBefore = w.TaskLst().rowCount();
            w.BackCmd().click();
            w.BackClick();
            rowsAfter = w.TaskLst().rowCount();
        }
    });
    w.NextCmd().click();

    ASSERT_GE(rowsBefore, 0);
    EXPECT_FALSE(backEnabled);
    EXPECT_EQ(rowsAfter, rowsBefore);
    EXPECT_EQ(w.Stage(), 2);
    EXPECT_EQ(Events(w).back(), Text(786));
    EXPECT_TRUE(w.BackCmd().isEnabled());
}

}  // namespace
}  // namespace verno::shell
