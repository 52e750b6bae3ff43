#include "shell/MFUMain.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLibraryInfo>
#include <QPushButton>
#include <QSessionManager>
#include <QSystemTrayIcon>
#include <QTranslator>

#include "shell/Banner.h"
#include "shell/InstructionFrame.h"
#include "shell/TaskLog.h"
#include "shell/TitleBar.h"
#include "common/TextNumbers.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace verno::shell {

namespace {

// The window was laid out in twips, 15 to a pixel.
constexpr QRect FromTwips(int left, int top, int width, int height) {
    return QRect(left / 15, top / 15, width / 15, height / 15);
}

constexpr QRect kXPForm = FromTwips(0, 0, 10185, 450);
constexpr QRect kImage1 = FromTwips(0, 480, 2115, 5370);
constexpr QRect kXPFrame = FromTwips(2160, 480, 7935, 5415);
constexpr QRect kLbl1 = FromTwips(120, 240, 7695, 5055);
constexpr QRect kTaskLst = FromTwips(2160, 480, 7935, 5415);
constexpr QRect kBackCmd = FromTwips(4200, 6360, 1455, 375);
constexpr QRect kNextCmd = FromTwips(6000, 6360, 1455, 375);
constexpr QRect kCloseCmd = FromTwips(8640, 6360, 1455, 375);
constexpr QRect kRestoreCmd = FromTwips(120, 6360, 3960, 375);

QString Q(const std::string& text) { return QString::fromStdString(text); }

QPushButton* MakeButton(const QString& caption, const QRect& geometry, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setGeometry(geometry);
    button->setAutoDefault(false);
    button->hide();
    return button;
}

}  // namespace

MFUMain::MFUMain(wizard::Host& host, Dialogs& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint),
      dialogs_(dialogs),
      xpForm_(new TitleBar(this)),
      image1_(new BannerWidget(this)),
      xpFrame_(new InstructionFrame(this)),
      lbl1_(new QLabel(xpFrame_)),
      taskLst_(new TaskLog(this)),
      backCmd_(MakeButton(QStringLiteral("Back"), kBackCmd, this)),
      nextCmd_(MakeButton(QStringLiteral("Next"), kNextCmd, this)),
      closeCmd_(MakeButton(QStringLiteral("Close"), kCloseCmd, this)),
      restoreCmd_(MakeButton(QString(), kRestoreCmd, this)),
      controller_(*this, host) {
    setFixedSize(kClientWidth, kClientHeight);
    setWindowIcon(ProgramIcon());
    xpForm_->setGeometry(kXPForm);
    image1_->setGeometry(kImage1);
    xpFrame_->setGeometry(kXPFrame);
    lbl1_->setGeometry(kLbl1);
    lbl1_->setTextFormat(Qt::PlainText);
    lbl1_->setWordWrap(true);
    lbl1_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    taskLst_->setGeometry(kTaskLst);
    taskLst_->hide();
    backCmd_->setEnabled(false);
    // Shown as the default; Enter reaches it through keyPressEvent, as the window is no dialog.
    nextCmd_->setDefault(true);
    // The instruction text is drawn on the frame's base colour, light or dark.
    lbl1_->setForegroundRole(QPalette::Text);

    connect(xpForm_, &TitleBar::CloseClicked, this, [this] { controller_.CloseClick(); });
    connect(nextCmd_, &QPushButton::clicked, this, [this] { controller_.NextClick(); });
    connect(backCmd_, &QPushButton::clicked, this, [this] { controller_.BackClick(); });
    connect(closeCmd_, &QPushButton::clicked, this, [this] { controller_.CloseClick(); });
    connect(restoreCmd_, &QPushButton::clicked, this, [this] { controller_.ChooseAndRestoreClick(); });
    // Log-off and shutdown ask every program first (Windows: WM_QUERYENDSESSION): "not now"
    // while the DC's memory is written.
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager& manager) {
        if (SessionMayEnd() || !manager.allowsInteraction()) return;
        manager.cancel();
        manager.release();
    });
}

void MFUMain::HoldOffSessionEnd(const std::optional<std::string>& why) {
    sessionEndHeldOff_ = why.has_value();
#ifdef _WIN32
    // The reason Windows shows beside the program when the user tries to shut down anyway.
    const auto window = reinterpret_cast<HWND>(winId());
    if (why)
        ShutdownBlockReasonCreate(window, QString::fromStdString(*why).toStdWString().c_str());
    else
        ShutdownBlockReasonDestroy(window);
#endif
}

MFUMain::~MFUMain() = default;

void MFUMain::closeEvent(QCloseEvent* event) {
    event->ignore();
    controller_.CloseClick();
}

void MFUMain::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (nextCmd_->isVisibleTo(this) && nextCmd_->isEnabled()) nextCmd_->click();
            break;
        case Qt::Key_Escape:
            closeCmd_->click();
            break;
        default:
            QWidget::keyPressEvent(event);
    }
}

// --- the task log and the boxes ---

void MFUMain::InsertTaskList(TaskIcon icon, const std::string& time, const std::string& event,
                             const std::string& status, std::string_view /*id*/) {
    taskLst_->InsertTaskList(icon, time, event, status);
}

void MFUMain::SetTaskStatus(const std::string& status) { taskLst_->SetTaskStatus(status); }

void MFUMain::EmptyTaskLog() { taskLst_->Empty(); }

MessageAnswer MFUMain::ShowMessage(const std::string& title, const std::string& text, MessageIcon icon,
                                   MessageButtons buttons) {
    // Above the top-most window: a modal box of our own when one is open, else the wizard.
    QWidget* parent = QApplication::activeModalWidget();
    if (parent == nullptr) parent = this;
    return dialogs_.Show(parent, title, text, icon, buttons);
}

MessageAnswer MFUMain::Ask(const QuestionBox& box) {
    QWidget* parent = QApplication::activeModalWidget();
    if (parent == nullptr) parent = this;
    return dialogs_.Ask(parent, box);
}

// --- views and buttons ---

void MFUMain::SetPageText(const std::string& text) {
    // The label breaks lines at a line feed; a carriage return would show as a stray glyph.
    QString shown = Q(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    lbl1_->setText(shown);
}

void MFUMain::ShowTaskLog(bool shown) {
    xpFrame_->setVisible(!shown);
    taskLst_->setVisible(shown);
    // A saved profile is chosen on page 1 only, in place of an update.
    restoreCmd_->setVisible(!shown && nextCmd_->isVisibleTo(this));
}

void MFUMain::ShowButtons() {
    backCmd_->show();
    nextCmd_->show();
    closeCmd_->show();
    restoreCmd_->setVisible(xpFrame_->isVisibleTo(this));
}

void MFUMain::EnableBack(bool enabled) { backCmd_->setEnabled(enabled); }

void MFUMain::EnableNext(bool enabled) {
    nextCmd_->setEnabled(enabled);
    restoreCmd_->setEnabled(enabled);
}

std::optional<std::filesystem::path> MFUMain::ChooseProfileFile(const std::string& title,
                                                                const std::filesystem::path& folder,
                                                                const std::string& filter) {
    // Set-aside files carry suffixes of their own: every file can be chosen too.
    return dialogs_.ChooseFile(this, title, folder, filter + " (*.gz *.bak *.bin);;* (*)");
}

void MFUMain::SetBusy(bool busy) {
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        frameCaption_ = xpFrame_->Caption();
    } else {
        QApplication::restoreOverrideCursor();
        xpFrame_->SetCaption(frameCaption_);
    }
}

void MFUMain::ShowCalling(const std::string& text) { xpFrame_->SetCaption(Q(text).toUpper()); }

// --- decoration ---

void MFUMain::SetTopMost(bool onTop) {
    const bool shown = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
    if (shown) show();
}

void MFUMain::PutOnTop() { SetTopMost(true); }

void MFUMain::UnDoPutOnTop() { SetTopMost(false); }

void MFUMain::Decorate(const wizard::Titles& titles) {
    setWindowTitle(Q(titles.taskBar));
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        tray_ = std::make_unique<QSystemTrayIcon>(windowIcon());
        tray_->setToolTip(windowTitle());
        tray_->show();
    }
    xpForm_->SetCaption(Q(titles.titleBar));
    xpForm_->setToolTip(Q(titles.tip));
}

void MFUMain::Undecorate() {
    if (tray_) tray_->hide();
    tray_.reset();
}

void MFUMain::SetLanguage(const std::string& tag) {
    if (tag.empty() || tag == "en") return;  // Qt speaks English without a translation
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(QStringLiteral("qtbase_") + Q(tag), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return;
    QCoreApplication::installTranslator(translator.get());
    qtTexts_ = std::move(translator);
}

void MFUMain::SetCaptions(const wizard::Captions& captions) {
    xpFrame_->SetCaption(Q(captions.frame).toUpper());
    backCmd_->setText(Q(captions.back));
    closeCmd_->setText(Q(captions.close));
    nextCmd_->setText(Q(captions.next));
    restoreCmd_->setText(Q(controller_.LoadText(text::kRestoreButton)));
    taskLst_->SetHeadings(captions.timeHeading, captions.eventHeading, captions.statusHeading);
}

}  // namespace verno::shell
