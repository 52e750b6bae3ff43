#pragma once
// The wizard window: its start-up, the stages driven by Next, Back and Close, the instruction
// view and the task log. All work runs inside the load handler and the button handlers; while
// the DC is talked to, the link's pump lets the window repaint and Close be clicked.

#include <QWidget>

#include <cstdint>
#include <memory>
#include <optional>

#include "catalogue/Catalogue.h"
#include "common/ConfigRecord.h"
#include "firmware/FirmwareImage.h"
#include "link/protocol/CommModule.h"
#include "shell/FrontEnd.h"
#include "shell/WindowLink.h"
#include "shell/WindowSurface.h"
#include "update/Session.h"

class QLabel;
class QPushButton;
class QSystemTrayIcon;

namespace verno::shell {

class BannerWidget;
class InstructionFrame;
class TaskLog;
class TitleBar;

class MFUMain final : public QWidget {
    Q_OBJECT
public:
    // The client area, in pixels.
    static constexpr int kClientWidth = 679;
    static constexpr int kClientHeight = 456;

    explicit MFUMain(FrontEnd& frontEnd, QWidget* parent = nullptr);
    ~MFUMain() override;
    MFUMain(const MFUMain&) = delete;
    MFUMain& operator=(const MFUMain&) = delete;

    // The load handler: stage 1, the buttons made visible, then the whole start-up. Returns only
    // when the window is ready to be shown, or (with a front end whose end returns) when the
    // program has ended during the start-up.
    bool Load();

    void LoadStepInstructions(int n);
    void GoBack();
    void ResetStage();
    void PutOnTop();
    void UnDoPutOnTop();

    // The three buttons' handlers.
    void NextClick();
    void BackClick();
    void CloseClick();

    // State and controls, for the front ends and the tests.
    std::int16_t Stage() const { return stage_; }
    bool ProfileSafe() const;
    bool Ended() const { return ended_; }
    link::CommModule& Comm() { return comm_; }
    update::Session* UpdateSession() { return session_.get(); }
    const std::optional<ConfigRecord>& Config() const { return config_; }
    TitleBar& XPForm() { return *xpForm_; }
    BannerWidget& Image1() { return *image1_; }
    InstructionFrame& XPFrame() { return *xpFrame_; }
    QLabel& Lbl1() { return *lbl1_; }
    TaskLog& TaskLst() { return *taskLst_; }
    QPushButton& BackCmd() { return *backCmd_; }
    QPushButton& NextCmd() { return *nextCmd_; }
    QPushButton& CloseCmd() { return *closeCmd_; }
    QSystemTrayIcon* TrayIcon() { return tray_.get(); }
    // The instruction text as built, line breaks CR LF.
    const std::string& InstructionText() const { return instructionText_; }

protected:
    // Alt+F4 and the like end the program as the Close button does.
    void closeEvent(QCloseEvent* event) override;

private:
    enum class StartUp { Ready, Ended };

    StartUp InitInfo();
    void Decorate();
    void SetCaptions();
    void StartUpdate();
    void EndProgram();

    FrontEnd& frontEnd_;
    catalogue::Catalogue catalogue_;
    std::optional<ConfigRecord> config_;

    TitleBar* xpForm_;
    BannerWidget* image1_;
    InstructionFrame* xpFrame_;
    QLabel* lbl1_;
    TaskLog* taskLst_;
    QPushButton* backCmd_;
    QPushButton* nextCmd_;
    QPushButton* closeCmd_;
    std::unique_ptr<QSystemTrayIcon> tray_;

    WindowSurface surface_;
    WindowLink link_;
    link::CommModule comm_;
    std::optional<firmware::FirmwareImage> firmware_;
    std::unique_ptr<update::Session> session_;

    std::int16_t stage_ = 1;
    std::string instructionText_;
    bool updating_ = false;
    bool backAfterUpdate_ = false;  // a step failed while the update was still running
    bool closing_ = false;
    bool ended_ = false;
};

}  // namespace verno::shell
