#pragma once
// The window as the update procedures see it: task-log rows, message boxes above the wizard,
// the stage reset after a failed step and the catalogue's texts.

#include <QPointer>
#include <QWidget>

#include <functional>

#include "catalogue/Catalogue.h"
#include "common/WizardSurface.h"
#include "shell/FrontEnd.h"
#include "shell/TaskLog.h"

namespace verno::shell {

class WindowSurface final : public WizardSurface {
public:
    WindowSurface(TaskLog& log, Dialogs& dialogs, QWidget& window, const catalogue::Catalogue& catalogue,
                  std::function<void()> resetStage);

    void InsertTaskList(TaskIcon icon, const std::string& event, const std::string& status) override;
    void SetTaskStatus(const std::string& status) override;
    void ResetStage() override;
    MessageAnswer ShowMessage(const std::string& title, const std::string& text, MessageIcon icon,
                              MessageButtons buttons) override;
    std::string LoadText(int n) override;

    // After the program's end: nothing more is shown, and every box is answered as if the user
    // declined, so that whatever still runs comes to its end without touching the DC.
    void Silence() { silenced_ = true; }

private:
    TaskLog& log_;
    Dialogs& dialogs_;
    QWidget& window_;
    const catalogue::Catalogue& catalogue_;
    std::function<void()> resetStage_;
    bool silenced_ = false;
};

}  // namespace verno::shell
