#pragma once
// The task log and the message boxes on a terminal. A row is printed as
// "hh:mm:ss  <i|!|x>  event  status"; on a terminal its status is rewritten in place as it
// changes, elsewhere each row is printed once, with its final status. Message boxes go to their
// own stream (stderr), as title and text.

#include <cstdio>
#include <functional>
#include <string>

#include "common/WallClock.h"
#include "common/WizardSurface.h"

namespace verno::console {

class ConsoleSurface final : public WizardSurface {
public:
    // Decides a message box's answer (the console has no user to click).
    using Answerer = std::function<MessageAnswer(const std::string& title, const std::string& text,
                                                 MessageIcon icon, MessageButtons buttons)>;
    using TextSource = std::function<std::string(int)>;

    ConsoleSurface(std::FILE* out, std::FILE* messages, bool live, const WallClock& clock, TextSource texts, Answerer answerer);
    ~ConsoleSurface() override;

    void InsertTaskList(TaskIcon icon, const std::string& event, const std::string& status) override;
    void SetTaskStatus(const std::string& status) override;
    void ResetStage() override;
    MessageAnswer ShowMessage(const std::string& title, const std::string& text, MessageIcon icon,
                              MessageButtons buttons) override;
    std::string LoadText(int n) override;

    // Prints the newest row if it is still held back; call before anything else is printed.
    void Flush();

    void SetResetStageAction(std::function<void()> action) { resetStage_ = std::move(action); }
    int ResetStageCount() const { return resetStageCount_; }

private:
    std::string RowText() const;

    std::FILE* out_;
    std::FILE* messages_;
    bool live_;
    const WallClock& clock_;
    TextSource texts_;
    Answerer answerer_;
    std::function<void()> resetStage_;
    int resetStageCount_ = 0;

    bool haveRow_ = false;
    std::string time_;
    TaskIcon icon_ = TaskIcon::Information;
    std::string event_;
    std::string status_;
};

}  // namespace verno::console
