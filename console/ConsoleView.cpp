#include "console/ConsoleView.h"

#include <unistd.h>

#include <cstdlib>
#include <string_view>

namespace verno::console {

namespace {

bool IsPercentage(const std::string& status) { return !status.empty() && status.back() == '%'; }

}  // namespace

bool DrawsInPlace(int fd) {
    if (isatty(fd) == 0) return false;
    // A terminal that cannot move its cursor gets each row once, like a file.
    const char* term = std::getenv("TERM");
    return term != nullptr && *term != '\0' && std::string_view(term) != "dumb";
}

char IconLetter(TaskIcon icon) {
    switch (icon) {
        case TaskIcon::Information: return 'i';
        case TaskIcon::Warning: return '!';
        case TaskIcon::Error: return 'x';
    }
    return '?';
}

const char* IconName(TaskIcon icon) {
    switch (icon) {
        case TaskIcon::Information: return "information";
        case TaskIcon::Warning: return "warning";
        case TaskIcon::Error: return "error";
    }
    return "";
}

std::string JsonLine(const nlohmann::ordered_json& object) {
    return object.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

ConsoleView::ConsoleView(std::FILE* out, std::FILE* messages, Format format, bool live, Answerer answerer)
    : out_(out), messages_(messages), format_(format), live_(live && format == Format::Text),
      answerer_(std::move(answerer)) {}

ConsoleView::~ConsoleView() { Flush(); }

std::string ConsoleView::RowText() const {
    std::string text = row_.time + "  " + IconLetter(row_.icon) + "  " + row_.event;
    if (!row_.status.empty()) text += "  " + row_.status;
    return text;
}

nlohmann::ordered_json ConsoleView::Json(const char* type) const {
    nlohmann::ordered_json line = {{"type", type}};
    if (context_) line.update(context_());
    line["time"] = row_.time;
    line["icon"] = IconName(row_.icon);
    line["event"] = row_.event;
    line["status"] = row_.status;
    return line;
}

void ConsoleView::Flush() {
    if (!haveRow_) return;
    haveRow_ = false;
    if (format_ == Format::Json) {
        std::fprintf(out_, "%s\n", JsonLine(Json("row")).c_str());
    } else if (live_) {
        std::fputc('\n', out_);
    } else {
        std::fprintf(out_, "%s\n", RowText().c_str());
    }
    std::fflush(out_);
    if (rowDone_) rowDone_(row_);
}

void ConsoleView::InsertTaskList(TaskIcon icon, const std::string& time, const std::string& event,
                                 const std::string& status) {
    Flush();
    haveRow_ = true;
    row_ = {time, icon, event, status};
    if (icon == TaskIcon::Error) lastError_ = event;
    if (live_) {
        std::fprintf(out_, "%s", RowText().c_str());
        std::fflush(out_);
    }
}

void ConsoleView::SetTaskStatus(const std::string& status) {
    // Each figure once: a status set again unchanged draws nothing.
    if (!haveRow_ || status == row_.status) return;
    const bool newPercentage = IsPercentage(status);
    row_.status = status;
    if (format_ == Format::Json && newPercentage) {
        std::fprintf(out_, "%s\n", JsonLine(Json("progress")).c_str());
        std::fflush(out_);
    } else if (live_) {
        // Carriage return and erase-line keep the row on one terminal line.
        std::fprintf(out_, "\r\x1b[K%s", RowText().c_str());
        std::fflush(out_);
    }
}

void ConsoleView::PrintBox(const std::string& title, const std::string& text) {
    Flush();
    std::string body = text;
    for (std::size_t at; (at = body.find('\r')) != std::string::npos;) body.erase(at, 1);
    std::fprintf(messages_, "\n[%s]\n%s\n\n", title.c_str(), body.c_str());
    std::fflush(messages_);
}

MessageAnswer ConsoleView::ShowMessage(const std::string& title, const std::string& text, MessageIcon icon,
                                       MessageButtons buttons) {
    PrintBox(title, text);
    return answerer_(title, text, icon, buttons);
}

MessageAnswer ConsoleView::Ask(const QuestionBox& box) {
    PrintBox(box.title, box.text);
    return questionAnswerer_ ? questionAnswerer_(box) : MessageAnswer::Interrupted;
}

}  // namespace verno::console
