#include "shell/WindowSurface.h"

#include <QApplication>

namespace verno::shell {

namespace {

MessageAnswer Declined(MessageButtons buttons) {
    switch (buttons) {
        case MessageButtons::Ok:
            return MessageAnswer::Ok;
        case MessageButtons::OkCancel:
            return MessageAnswer::Cancel;
        case MessageButtons::YesNo:
            return MessageAnswer::No;
    }
    return MessageAnswer::Cancel;
}

}  // namespace

WindowSurface::WindowSurface(TaskLog& log, Dialogs& dialogs, QWidget& window, const catalogue::Catalogue& catalogue,
                             std::function<void()> resetStage)
    : log_(log), dialogs_(dialogs), window_(window), catalogue_(catalogue), resetStage_(std::move(resetStage)) {}

void WindowSurface::InsertTaskList(TaskIcon icon, const std::string& event, const std::string& status) {
    if (!silenced_) log_.InsertTaskList(icon, event, status);
}

void WindowSurface::SetTaskStatus(const std::string& status) {
    if (!silenced_) log_.SetTaskStatus(status);
}

void WindowSurface::ResetStage() {
    if (!silenced_) resetStage_();
}

MessageAnswer WindowSurface::ShowMessage(const std::string& title, const std::string& text, MessageIcon icon,
                                         MessageButtons buttons) {
    if (silenced_) return Declined(buttons);
    // Above the top-most window: a modal box of our own when one is open, else the wizard.
    QWidget* parent = QApplication::activeModalWidget();
    if (parent == nullptr) parent = &window_;
    return dialogs_.Show(parent, title, text, icon, buttons);
}

std::string WindowSurface::LoadText(int n) { return catalogue_.LoadText(n); }

}  // namespace verno::shell
