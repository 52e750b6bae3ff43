#pragma once
// The wizard's view on a terminal. A task-log row is printed as "hh:mm:ss  <i|!|x>  event
// status"; on a terminal its status is rewritten in place as it changes, elsewhere each row is
// printed once, with its final status. Message boxes go to their own stream (stderr), as title
// and text, and the answerer decides them: a terminal has no buttons to click.

#include <cstdio>
#include <functional>
#include <string>

#include "wizard/View.h"

namespace verno::console {

class ConsoleView final : public wizard::View {
public:
    using Answerer = std::function<MessageAnswer(const std::string& title, const std::string& text,
                                                 MessageIcon icon, MessageButtons buttons)>;

    ConsoleView(std::FILE* out, std::FILE* messages, bool live, Answerer answerer);
    ~ConsoleView() override;
    ConsoleView(const ConsoleView&) = delete;
    ConsoleView& operator=(const ConsoleView&) = delete;

    void InsertTaskList(TaskIcon icon, const std::string& time, const std::string& event,
                        const std::string& status) override;
    void SetTaskStatus(const std::string& status) override;
    void EmptyTaskLog() override { Flush(); }
    MessageAnswer ShowMessage(const std::string& title, const std::string& text, MessageIcon icon,
                              MessageButtons buttons) override;

    // Prints the newest row if it is still held back; call before anything else is printed.
    void Flush();

private:
    std::string RowText() const;

    std::FILE* out_;
    std::FILE* messages_;
    bool live_;
    Answerer answerer_;

    bool haveRow_ = false;
    std::string time_;
    TaskIcon icon_ = TaskIcon::Information;
    std::string event_;
    std::string status_;
};

}  // namespace verno::console
