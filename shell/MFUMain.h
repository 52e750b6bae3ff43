#pragma once
// The wizard window: the view of the controller. It lays out and draws the controls, shows what
// the controller tells it, and hands the three buttons' clicks (and the window's own close) to
// it. While the DC is talked to, the host's pump lets the window repaint and Close be clicked.

#include <QWidget>

#include <memory>

#include "shell/Dialogs.h"
#include "wizard/Controller.h"
#include "wizard/Host.h"
#include "wizard/View.h"

class QLabel;
class QPushButton;
class QSystemTrayIcon;
class QTranslator;

namespace verno::shell {

class BannerWidget;
class InstructionFrame;
class TaskLog;
class TitleBar;

class MFUMain final : public QWidget, public wizard::View {
    Q_OBJECT
public:
    // The client area, in pixels.
    static constexpr int kClientWidth = 679;
    static constexpr int kClientHeight = 456;

    MFUMain(wizard::Host& host, Dialogs& dialogs, QWidget* parent = nullptr);
    ~MFUMain() override;
    MFUMain(const MFUMain&) = delete;
    MFUMain& operator=(const MFUMain&) = delete;

    // The load handler; false when the program ended during the start-up.
    bool Load() { return controller_.Load(); }
    wizard::Controller& Wizard() { return controller_; }

    // --- wizard::View ---
    void InsertTaskList(TaskIcon icon, const std::string& time, const std::string& event,
                        const std::string& status, std::string_view id = {}) override;
    void SetTaskStatus(const std::string& status) override;
    void EmptyTaskLog() override;
    MessageAnswer ShowMessage(const std::string& title, const std::string& text, MessageIcon icon,
                              MessageButtons buttons) override;
    MessageAnswer Ask(const QuestionBox& box) override;
    void SetPageText(const std::string& text) override;
    void ShowTaskLog(bool shown) override;
    void ShowButtons() override;
    void EnableBack(bool enabled) override;
    void EnableNext(bool enabled) override;
    void SetBusy(bool busy) override;
    void ShowCalling(const std::string& text) override;
    void PutOnTop() override;
    void UnDoPutOnTop() override;
    void Decorate(const wizard::Titles& titles) override;
    void Undecorate() override;
    void SetCaptions(const wizard::Captions& captions) override;
    void SetLanguage(const std::string& tag) override;
    std::optional<std::filesystem::path> ChooseProfileFile(const std::string& title, const std::filesystem::path& folder,
                                                           const std::string& filter) override;
    void HoldOffSessionEnd(const std::optional<std::string>& why) override;
    // Whether the desktop session may end now (log-off, shutdown): not while the DC is written.
    bool SessionMayEnd() const { return !sessionEndHeldOff_; }

    // The controls, for the tests and for accessibility tools.
    TitleBar& XPForm() { return *xpForm_; }
    BannerWidget& Image1() { return *image1_; }
    InstructionFrame& XPFrame() { return *xpFrame_; }
    QLabel& Lbl1() { return *lbl1_; }
    TaskLog& TaskLst() { return *taskLst_; }
    QPushButton& BackCmd() { return *backCmd_; }
    QPushButton& NextCmd() { return *nextCmd_; }
    QPushButton& CloseCmd() { return *closeCmd_; }
    QPushButton& RestoreCmd() { return *restoreCmd_; }
    QSystemTrayIcon* TrayIcon() { return tray_.get(); }

protected:
    // Alt+F4 and the like end the program as the Close button does.
    void closeEvent(QCloseEvent* event) override;
    // Enter presses Next, the default button; Escape presses Close.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void SetTopMost(bool onTop);

    Dialogs& dialogs_;
    TitleBar* xpForm_;
    BannerWidget* image1_;
    InstructionFrame* xpFrame_;
    QString frameCaption_;  // the caption the calls of Next stand in for
    QLabel* lbl1_;
    TaskLog* taskLst_;
    QPushButton* backCmd_;
    QPushButton* nextCmd_;
    QPushButton* closeCmd_;
    QPushButton* restoreCmd_;  // a saved profile written back instead of an update
    std::unique_ptr<QSystemTrayIcon> tray_;
    std::unique_ptr<QTranslator> qtTexts_;  // Qt's own words (Yes, No, OK, Cancel) in the language
    bool sessionEndHeldOff_ = false;
    wizard::Controller controller_;  // last: it shows through the controls above
};

}  // namespace verno::shell
