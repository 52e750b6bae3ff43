// The real window against a simulated DC on virtual time, with scripted message boxes: what the
// controller tells it is what the controls show, and its buttons drive the controller.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTimer>

#include <filesystem>

#include "catalogue/Catalogue.h"
#include "common/TextNumbers.h"
#include "shell/Banner.h"
#include "shell/InstructionFrame.h"
#include "shell/MFUMain.h"
#include "shell/MessageBoxDialogs.h"
#include "shell/TaskLog.h"
#include "shell/TitleBar.h"
#include "tests/shell/ScriptedDialogs.h"
#include "tests/support/SimulatedHost.h"

namespace verno::shell {
namespace {

// The English texts of the bundle's catalogue, to compare the window with.
QString QText(int n) {
    static catalogue::Catalogue texts;
    if (!texts.IsOpen()) texts.Open(VERNO_CATALOGUE_FILE, 1);
    return QString::fromStdString(texts.LoadText(n));
}

struct Window {
    explicit Window(dcsim::DcConfig config = {}, dcsim::DcFaults faults = {}) : host(std::move(config), faults) {}
    SimulatedHost host;
    ScriptedDialogs dialogs;
    MFUMain w{host, dialogs};
};

TEST(WizardWindow, ShowsTheCataloguesCaptionsAndPageOne) {
    Window f;
    MFUMain& w = f.w;
    ASSERT_TRUE(w.Load());

    EXPECT_EQ(w.windowTitle(), "QEL 1F Firmware Update");
    EXPECT_EQ(w.XPForm().Caption(), "VERNO 1B " + QText(text::kProductTitle));
    EXPECT_EQ(w.XPFrame().Caption(), "INSTRUCTIONS");
    EXPECT_EQ(w.BackCmd().text(), QText(text::kBack));
    EXPECT_EQ(w.CloseCmd().text(), QText(text::kClose));
    EXPECT_EQ(w.NextCmd().text(), QText(text::kNext));
    EXPECT_EQ(w.TaskLst().horizontalHeaderItem(TaskLog::kTimeColumn)->text(), QText(text::kTimeHeading));
    EXPECT_EQ(w.TaskLst().horizontalHeaderItem(TaskLog::kEventColumn)->text(), QText(text::kEventHeading));
    EXPECT_EQ(w.TaskLst().horizontalHeaderItem(TaskLog::kStatusColumn)->text(), QText(text::kStatusHeading));
    // The page's CR LF line breaks become the label's line feeds.
    EXPECT_TRUE(w.Lbl1().text().startsWith("1. Plug the USB interface cable into an USB port on the PC.\n\n2. "));
    EXPECT_FALSE(w.Lbl1().text().contains('\r'));
    EXPECT_TRUE(w.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(w.BackCmd().isVisibleTo(&w));
    EXPECT_TRUE(w.NextCmd().isVisibleTo(&w));
    EXPECT_TRUE(w.CloseCmd().isVisibleTo(&w));
    EXPECT_FALSE(w.BackCmd().isEnabled());
    EXPECT_TRUE(w.NextCmd().isEnabled());
    EXPECT_TRUE(w.XPFrame().isVisibleTo(&w));
    EXPECT_FALSE(w.TaskLst().isVisibleTo(&w));
    EXPECT_EQ(w.TrayIcon() != nullptr, QSystemTrayIcon::isSystemTrayAvailable());
    // The firmware check's rows wait in the hidden log.
    EXPECT_EQ(w.TaskLst().rowCount(), 4);
}

TEST(WizardWindow, QtsOwnWordsFollowTheConfiguredLanguage) {
    Window f;
    f.host.record = "VERNO.1B.FWR|||6000";
    ASSERT_TRUE(f.w.Load());
    EXPECT_EQ(f.w.NextCmd().text(), "Weiter >");
    // The buttons of a message box.
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), "Abbrechen");
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "&Yes"), "&Ja");
}

TEST(WizardWindow, ControlsSitWhereTheLayoutPutsThem) {
    Window f;
    MFUMain& w = f.w;
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
    Window f;
    MFUMain& w = f.w;
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

TEST(WizardWindow, BoxesStayAboveTheWindow) {
    dcsim::DcConfig other;
    other.identity = "KAPPA2X FW-1A DC";
    Window f(other);
    ASSERT_TRUE(f.w.Load());
    f.w.NextCmd().click();
    ASSERT_EQ(f.dialogs.shown.size(), 1u);
    EXPECT_EQ(f.dialogs.shown[0].parent, &f.w);
    EXPECT_TRUE(f.w.XPFrame().isVisibleTo(&f.w));
}

TEST(WizardWindow, NextShowsTheUpdateInTheTaskLogAndBackReturnsToPageOne) {
    dcsim::DcFaults faults;
    faults.powerLossAtBlock = 5;
    Window f({}, faults);
    MFUMain& w = f.w;
    ASSERT_TRUE(w.Load());
    w.NextCmd().click();

    EXPECT_TRUE(w.TaskLst().isVisibleTo(&w));
    EXPECT_FALSE(w.XPFrame().isVisibleTo(&w));
    EXPECT_FALSE(w.NextCmd().isEnabled());
    EXPECT_TRUE(w.BackCmd().isEnabled());
    const int last = w.TaskLst().rowCount() - 1;
    EXPECT_EQ(w.TaskLst().CellText(last, TaskLog::kEventColumn), QText(text::kUpdateFailedHint));
    EXPECT_EQ(w.TaskLst().CellText(last, TaskLog::kTimeColumn), "15:30:05");
    EXPECT_EQ(w.TaskLst().RowIcon(last - 1), TaskIcon::Error);

    w.BackCmd().click();
    EXPECT_EQ(w.TaskLst().rowCount(), 0);
    EXPECT_FALSE(w.TaskLst().isVisibleTo(&w));
    EXPECT_TRUE(w.XPFrame().isVisibleTo(&w));
    EXPECT_FALSE(w.BackCmd().isEnabled());
    EXPECT_TRUE(w.NextCmd().isEnabled());
}

TEST(WizardWindow, PageOneWritesASavedProfileBackFromAFileChosenInTheHistory) {
    Window f;
    MFUMain& w = f.w;
    ASSERT_TRUE(w.Load());
    EXPECT_TRUE(w.RestoreCmd().isVisibleTo(&w));
    EXPECT_EQ(w.RestoreCmd().text(), QText(text::kRestoreButton));
    w.NextCmd().click();
    EXPECT_FALSE(w.RestoreCmd().isVisibleTo(&w)) << "page 1 only";
    w.BackCmd().click();
    EXPECT_TRUE(w.RestoreCmd().isVisibleTo(&w));

    std::filesystem::path saved;
    for (const auto& e : std::filesystem::recursive_directory_iterator(f.host.BackupFolder() / "history"))
        if (e.is_regular_file()) saved = e.path();
    ASSERT_FALSE(saved.empty());
    f.dialogs.chosenFile = saved;
    f.dialogs.answers = {MessageAnswer::Yes};
    w.RestoreCmd().click();
    EXPECT_EQ(f.dialogs.fileDialogs, std::vector<std::string>{(f.host.BackupFolder() / "history").string()});
    const int last = w.TaskLst().rowCount() - 1;
    EXPECT_EQ(w.TaskLst().CellText(last, TaskLog::kEventColumn), QText(text::kRestoredFromFile).replace("%1", QString::fromStdString(saved.string())));
    EXPECT_TRUE(w.BackCmd().isEnabled());
}

TEST(DesktopBoxes, EscapeOrClosingAQuestionChoosesNothing) {
    MessageBoxDialogs boxes;
    QTimer::singleShot(0, [] {
        QWidget* box = QApplication::activeModalWidget();
        ASSERT_NE(box, nullptr);
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(box, &escape);
        // A box that ignored it is answered, so that the test ends either way.
        QTimer::singleShot(100, [] {
            if (auto* still = qobject_cast<QDialog*>(QApplication::activeModalWidget())) still->accept();
        });
    });
    const QuestionBox which{Question::WhichProfile, "title", "text", MessageIcon::Question,
                            {{MessageAnswer::Saved, "Saved"}, {MessageAnswer::Present, "Present"}}};
    EXPECT_EQ(boxes.Ask(nullptr, which), MessageAnswer::Interrupted);
}

TEST(WizardWindow, CloseDuringTheUploadOrTheRestoreRecoversTheProfile) {
    for (const int b5Frames : {3, 25}) {  // in the upload of 20 blocks, then in the restore
        SCOPED_TRACE(b5Frames);
        Window f;
        const std::vector<std::uint8_t> before(f.host.dc.Memory().begin() + 16 * 256, f.host.dc.Memory().begin() + 16 * 640);
        ASSERT_TRUE(f.w.Load());
        f.dialogs.answers = {MessageAnswer::WriteBack, MessageAnswer::Ok};
        f.host.link.SetOnPump([&] {
            if (f.host.dc.Counters(0xB5).frames == b5Frames && f.host.ends == 0) f.w.CloseCmd().click();
        });
        f.w.NextCmd().click();
        EXPECT_EQ(f.host.ends, 1);
        ASSERT_GE(f.dialogs.shown.size(), 2u);
        EXPECT_EQ(f.dialogs.shown[0].title, "Profile recovery");  // the recovery, first of all
        const std::vector<std::uint8_t> after(f.host.dc.Memory().begin() + 16 * 256, f.host.dc.Memory().begin() + 16 * 640);
        EXPECT_EQ(after, before);
    }
}

TEST(WizardWindow, EnterPressesNextAndEscapePressesClose) {
    dcsim::DcConfig other;
    other.identity = "KAPPA2X FW-1A DC";  // Next then warns and stays on page 1
    Window f(other);
    MFUMain& w = f.w;
    ASSERT_TRUE(w.Load());
    EXPECT_TRUE(w.NextCmd().isDefault());
    // Enter reaches the window from whichever control has the focus, Back included.
    w.BackCmd().setEnabled(true);
    for (QWidget* focus : {static_cast<QWidget*>(&w), static_cast<QWidget*>(&w.BackCmd())}) {
        QKeyEvent enter(QEvent::KeyPress, focus == &w ? Qt::Key_Return : Qt::Key_Enter, Qt::NoModifier);
        QApplication::sendEvent(focus, &enter);
    }
    EXPECT_EQ(f.host.dc.Counters(0x84).frames, 2);  // two identity reads, two warnings
    EXPECT_EQ(f.dialogs.shown.size(), 2u);
    EXPECT_EQ(f.host.ends, 0);

    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(&w.NextCmd(), &escape);
    EXPECT_EQ(f.host.ends, 1);
}

TEST(WizardWindow, TheInstructionPanelFollowsADarkPalette) {
    Window f;
    QPalette dark = f.w.palette();
    dark.setColor(QPalette::Base, QColor(30, 30, 30));
    dark.setColor(QPalette::Text, QColor(230, 230, 230));
    f.w.setPalette(dark);
    ASSERT_TRUE(f.w.Load());
    const QImage shot = f.w.grab().toImage();
    EXPECT_EQ(shot.pixelColor(400, 300), QColor(30, 30, 30));  // no white panel in a dark window
}

TEST(WizardWindow, ClosingTheWindowRunsTheCloseHandler) {
    Window f;
    MFUMain& w = f.w;
    ASSERT_TRUE(w.Load());
    QCloseEvent close;
    QApplication::sendEvent(&w, &close);
    EXPECT_FALSE(close.isAccepted());  // the handler ends the program itself
    EXPECT_EQ(f.host.ends, 1);
    EXPECT_FALSE(w.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(w.TrayIcon(), nullptr);
    w.CloseCmd().click();
    EXPECT_EQ(f.host.ends, 1);
}

}  // namespace
}  // namespace verno::shell
