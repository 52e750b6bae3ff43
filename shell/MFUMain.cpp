#include "shell/MFUMain.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>
#include <QSystemTrayIcon>

#include "catalogue/CatalogueMessage.h"
#include "common/Text.h"
#include "common/TextNumbers.h"
#include "firmware/GetCode.h"
#include "firmware/Identity.h"
#include "platform/ProcessPriority.h"
#include "profile/ProfileRecovering.h"
#include "shell/Banner.h"
#include "shell/InstructionPage.h"
#include "shell/TaskLog.h"
#include "shell/TitleBar.h"
#include "update/UpdateFirmware.h"

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

constexpr const char* kTaskBarTitle = "QEL 1F Firmware Update";
constexpr const char* kModelCaption = "VERNO 1B ";
constexpr const char* kCopyrightLine = "Copyright \u00A9 QEL. All rights reserved.";
constexpr const char* kMessageTitle = "Firmware Update";


constexpr link::Seconds kClosePause{1.0};

// A step of the Close handler that fails is skipped; the next one still runs.
template <typename Step>
void IgnoringErrors(Step&& step) {
    try {
        step();
    } catch (...) {
    }
}

QPushButton* MakeButton(const QString& caption, const QRect& geometry, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setGeometry(geometry);
    button->setAutoDefault(false);
    button->hide();
    return button;
}

}  // namespace

MFUMain::MFUMain(FrontEnd& frontEnd, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint),
      frontEnd_(frontEnd),
      xpForm_(new TitleBar(this)),
      image1_(new BannerWidget(this)),
      xpFrame_(new InstructionFrame(this)),
      lbl1_(new QLabel(xpFrame_)),
      taskLst_(new TaskLog(frontEnd.Wall(), this)),
      backCmd_(MakeButton(QStringLiteral("Back"), kBackCmd, this)),
      nextCmd_(MakeButton(QStringLiteral("Next"), kNextCmd, this)),
      closeCmd_(MakeButton(QStringLiteral("Close"), kCloseCmd, this)),
      surface_(*taskLst_, frontEnd.MessageBoxes(), *this, catalogue_, [this] { ResetStage(); }),
      link_(frontEnd.Port(), frontEnd.Pump()),
      comm_(link_, frontEnd.Clock(), link_) {
    frontEnd_.Attach(comm_);
    setFixedSize(kClientWidth, kClientHeight);
    setWindowIcon(ProgramIcon());
    xpForm_->setGeometry(kXPForm);
    xpForm_->SetCaption(QString::fromUtf8(kTaskBarTitle));
    image1_->setGeometry(kImage1);
    xpFrame_->setGeometry(kXPFrame);
    lbl1_->setGeometry(kLbl1);
    lbl1_->setTextFormat(Qt::PlainText);
    lbl1_->setWordWrap(true);
    lbl1_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    taskLst_->setGeometry(kTaskLst);
    taskLst_->hide();
    backCmd_->setEnabled(false);

    connect(xpForm_, &TitleBar::CloseClicked, this, &MFUMain::CloseClick);
    connect(nextCmd_, &QPushButton::clicked, this, &MFUMain::NextClick);
    connect(backCmd_, &QPushButton::clicked, this, &MFUMain::BackClick);
    connect(closeCmd_, &QPushButton::clicked, this, &MFUMain::CloseClick);
}

MFUMain::~MFUMain() = default;

bool MFUMain::ProfileSafe() const { return session_ == nullptr || session_->profile.ProfileSafe; }

bool MFUMain::Load() {
    stage_ = 1;
    backCmd_->show();
    nextCmd_->show();
    closeCmd_->show();
    backCmd_->setEnabled(false);
    nextCmd_->setEnabled(true);
    return InitInfo() == StartUp::Ready;
}

MFUMain::StartUp MFUMain::InitInfo() {
    config_ = ReadConfigRecord(frontEnd_.ConfigurationRecord(), frontEnd_.ProgramFolder());
    if (!config_) {
        EndProgram();
        return StartUp::Ended;
    }

    const auto catalogueFile = frontEnd_.CatalogueFile();
    const auto status = catalogue_.Open(catalogueFile, config_->LanguageIndex);
    if (const auto message = catalogue::CatalogueStatusMessage(status, catalogue_, catalogueFile)) {
        surface_.ShowMessage(message->title, message->text, message->icon, message->buttons);
        if (message->endsProgram) {
            // Nothing to label the window with: end before it is ever shown.
            catalogue_.Close();
            EndProgram();
            return StartUp::Ended;
        }
    }

    PutOnTop();
    Decorate();

    firmware_ = firmware::GetCode(config_->FirmwareFilePath, surface_);
    if (!firmware_) {
        comm_.TransferFailed = true;
        CloseClick();
        return StartUp::Ended;
    }
    comm_.ResizeReceiveBuffers(136u * firmware_->DcMemoryBlocks + 1);
    session_ = std::make_unique<update::Session>(
        comm_, frontEnd_.Clock(), link_, *firmware_, surface_, frontEnd_.Wall(), frontEnd_.ProgramFolder(),
        [this](std::uint32_t priorityClass) { return frontEnd_.SetPriority(priorityClass); });
    session_->profile.ProfileSafe = true;

    if (!frontEnd_.OpenInterface(surface_)) {
        CloseClick();
        return StartUp::Ended;
    }

    LoadStepInstructions(1);
    SetCaptions();
    return StartUp::Ready;
}

void MFUMain::Decorate() {
    setWindowTitle(QString::fromUtf8(kTaskBarTitle));
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        tray_ = std::make_unique<QSystemTrayIcon>(windowIcon());
        tray_->setToolTip(windowTitle());
        tray_->show();
    }
    const QString productTitle = QString::fromStdString(catalogue_.LoadText(text::kProductTitle));
    xpForm_->SetCaption(QString::fromUtf8(kModelCaption) + productTitle);
    xpForm_->setToolTip(productTitle + QLatin1Char('\n') + QString::fromUtf8(kCopyrightLine));
}

void MFUMain::SetCaptions() {
    xpFrame_->SetCaption(QString::fromStdString(catalogue_.LoadText(text::kInstructions)).toUpper());
    backCmd_->setText(QString::fromStdString(catalogue_.LoadText(text::kBack)));
    closeCmd_->setText(QString::fromStdString(catalogue_.LoadText(text::kClose)));
    nextCmd_->setText(QString::fromStdString(catalogue_.LoadText(text::kNext)));
    taskLst_->SetHeadings(catalogue_.LoadText(text::kTimeHeading), catalogue_.LoadText(text::kEventHeading),
                          catalogue_.LoadText(text::kStatusHeading));
}

void MFUMain::LoadStepInstructions(int n) {
    instructionText_ = StepInstructions(n);
    // The label breaks lines at a line feed; a carriage return would show as a stray glyph.
    QString shown = QString::fromStdString(instructionText_);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    lbl1_->setText(shown);
}

void MFUMain::NextClick() {
    // The identity read lets clicks run; a second Next meanwhile must not start a second test.
    if (closing_ || ended_ || stage_ != 1) return;
    stage_ = 2;
    if (comm_.ReadIdentity() != link::LinkStatus::Ok) {
        stage_ = 1;
        return;
    }
    if (ended_) return;
    if (!firmware::CheckIdentity(comm_.IdentityText, *firmware_, session_->DcVersion)) {
        surface_.ShowMessage(kMessageTitle,
                             catalogue_.LoadText(text::kNotModel) + " " + Latin1ToUtf8(firmware_->FwModelName) + "!",
                             MessageIcon::Exclamation, MessageButtons::Ok);
        stage_ = 1;
        return;
    }
    StartUpdate();
}

void MFUMain::StartUpdate() {
    session_->profile.KeepProfile = true;
    session_->profile.ProfileSafe = true;
    xpFrame_->hide();
    taskLst_->show();
    nextCmd_->setEnabled(false);
    if (comm_.TransferFailed) return;
    updating_ = true;
    backAfterUpdate_ = false;
    update::UpdateFirmware(*session_);
    updating_ = false;
    if (backAfterUpdate_ && !ended_) backCmd_->setEnabled(true);
}

void MFUMain::BackClick() {
    if (closing_ || ended_ || updating_) return;
    if (stage_ > 1) {
        stage_ = 1;
        backCmd_->setEnabled(false);
        GoBack();
    }
    LoadStepInstructions(stage_);
}

void MFUMain::GoBack() {
    nextCmd_->setEnabled(true);
    backCmd_->setEnabled(false);
    xpFrame_->show();
    taskLst_->Empty();
    taskLst_->hide();
    comm_.TransferFailed = false;
}

void MFUMain::ResetStage() {
    frontEnd_.SetPriority(platform::kNormalPriorityClass);
    // Back while the failed update still winds down (it may still end the connection) would
    // start a new attempt inside the old one's waits: Back comes when the update has returned.
    if (updating_)
        backAfterUpdate_ = true;
    else
        backCmd_->setEnabled(true);
}

void MFUMain::PutOnTop() {
    const bool shown = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    if (shown) show();
}

void MFUMain::UnDoPutOnTop() {
    const bool shown = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, false);
    if (shown) show();
}

void MFUMain::CloseClick() {
    // The recovery's waits let clicks run; a second Close meanwhile changes nothing.
    if (closing_) return;
    closing_ = true;
    IgnoringErrors([this] {
        if (!ProfileSafe()) profile::ProfileRecovering(*session_);
    });
    IgnoringErrors([this] { UnDoPutOnTop(); });
    comm_.CommError = true;
    comm_.LinkAborted = true;
    IgnoringErrors([this] { comm_.Pause(kClosePause); });
    IgnoringErrors([this] {
        if (tray_) tray_->hide();
        tray_.reset();
    });
    IgnoringErrors([this] { comm_.ShrinkReceiveBuffers(); });
    IgnoringErrors([this] {
        if (config_ && !config_->CloseProgramName.empty())
            frontEnd_.StartProgram(frontEnd_.ProgramFolder() / config_->CloseProgramName);
    });
    IgnoringErrors([this] { catalogue_.Close(); });
    EndProgram();
}

void MFUMain::EndProgram() {
    ended_ = true;
    link_.Cut();
    surface_.Silence();
    frontEnd_.EndProgram();
}

void MFUMain::closeEvent(QCloseEvent* event) {
    event->ignore();
    CloseClick();
}

}  // namespace verno::shell
