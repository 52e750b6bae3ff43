#include "console/ConsoleView.h"

namespace verno::console {

namespace {
char IconLetter(TaskIcon icon) {
    switch (icon) {
        case TaskIcon::Information: return 'i';
        case TaskIcon::Warning: return '!';
        case TaskIcon::Error: return 'x';
    }
    return '?';
}
}  // namespace

ConsoleView::ConsoleView(std::FILE* out, std::FILE* messages, bool live, Answerer answerer)
    : out_(out), messages_(messages), live_(live), answerer_(std::move(answerer)) {}

ConsoleView::~ConsoleView() { Flush(); }

std::string ConsoleView::RowText() const {
    std::string text = time_ + "  " + IconLetter(icon_) + "  " + event_;
    if (!status_.empty()) text += "  " + status_;
    return text;
}

void ConsoleView::Flush() {
    if (!haveRow_) return;
    if (live_) {
        std::fputc('\n', out_);
    } else {
        std::fprintf(out_, "%s\n", RowText().c_str());
    }
    haveRow_ = false;
    std::fflush(out_);
}

void ConsoleView::InsertTaskList(TaskIcon icon, const std::string& time, const std::string& event,
                                 const std::string& status) {
    Flush();
    haveRow_ = true;
    time_ = time;
    icon_ = icon;
    event_ = event;
    status_ = status;
    if (live_) {
        std::fprintf(out_, "%s", RowText().c_str());
        std::fflush(out_);
    }
}

void ConsoleView::SetTaskStatus(const std::string& status) {
    if (!haveRow_) return;
    status_ = status;
    if (live_) {
        // Carriage return and erase-line keep the row on one terminal line.
        std::fprintf(out_, "\r\x1b[K%s", RowText().c_str());
        std::fflush(out_);
    }
}

MessageAnswer ConsoleView::ShowMessage(const std::string& title, const std::string& text, MessageIcon icon,
                                          MessageButtons buttons) {
    Flush();
    std::string body = text;
    for (std::size_t at; (at = body.find('\r')) != std::string::npos;) body.erase(at, 1);
    std::fprintf(messages_, "\n[%s]\n%s\n\n", title.c_str(), body.c_str());
    std::fflush(messages_);
    return answerer_(title, text, icon, buttons);
}

}  // namespace verno::console
