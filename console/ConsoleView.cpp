#include "console/ConsoleView.h"

#include <algorithm>
#include <charconv>
#include <optional>

#include "common/WallClock.h"

namespace verno::console {

namespace {

// The figure of a status such as "45%"; nullopt for any other status.
std::optional<int> PercentOf(const std::string& status) {
    if (status.size() < 2 || status.back() != '%') return std::nullopt;
    int value = 0;
    const char* end = status.data() + status.size() - 1;
    const auto [at, error] = std::from_chars(status.data(), end, value);
    if (error != std::errc() || at != end) return std::nullopt;
    return value;
}

}  // namespace

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
    line["time"] = rowStarted_;
    line["id"] = row_.id.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(row_.id);
    line["level"] = IconName(row_.icon);
    line["icon"] = IconName(row_.icon);
    line["event"] = row_.event;
    line["status"] = row_.status;
    const auto percent = PercentOf(row_.status);
    line["percent"] = percent ? nlohmann::ordered_json(*percent) : nlohmann::ordered_json(nullptr);
    return line;
}

void ConsoleView::Print(const nlohmann::ordered_json& line) {
    std::fprintf(out_, "%s\n", JsonLine(line).c_str());
    std::fflush(out_);
}

void ConsoleView::Flush() {
    if (!haveRow_) return;
    haveRow_ = false;
    if (format_ == Format::Json) {
        Print(Json("row"));
    } else if (live_) {
        std::fputc('\n', out_);
    } else {
        std::fprintf(out_, "%s\n", RowText().c_str());
    }
    std::fflush(out_);
    if (rowDone_) rowDone_(row_);
}

void ConsoleView::InsertTaskList(TaskIcon icon, const std::string& time, const std::string& event,
                                 const std::string& status, std::string_view id) {
    EndCallingLine();
    Flush();
    haveRow_ = true;
    row_ = {time, icon, event, status, std::string(id)};
    rowStarted_ = IsoTime(now_());
    if (icon == TaskIcon::Error) lastError_ = event;
    if (format_ == Format::Json) Print(Json("progress"));
    if (live_) {
        std::fprintf(out_, "%s", RowText().c_str());
        std::fflush(out_);
    }
}

void ConsoleView::SetTaskStatus(const std::string& status) {
    // Each figure once: a status set again unchanged draws nothing.
    if (!haveRow_ || status == row_.status) return;
    row_.status = status;
    // A step's end comes as its row line; everything before it is progress.
    const bool final = std::find(finalStatuses_.begin(), finalStatuses_.end(), status) != finalStatuses_.end();
    if (format_ == Format::Json && !final) {
        Print(Json("progress"));
    } else if (live_) {
        // Carriage return and erase-line keep the row on one terminal line.
        std::fprintf(out_, "\r\x1b[K%s", RowText().c_str());
        std::fflush(out_);
    }
}

void ConsoleView::PrintBox(const std::string& title, const std::string& text) {
    EndCallingLine();
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

void ConsoleView::EndCallingLine() {
    if (!callingLine_) return;
    std::fputc('\n', messages_);
    callingLine_ = false;
}

void ConsoleView::ShowCalling(const std::string& text) {
    if (format_ == Format::Json) return;
    if (live_) {
        std::fprintf(messages_, "\r\x1b[K%s", text.c_str());
        callingLine_ = true;
    } else
        std::fprintf(messages_, "%s\n", text.c_str());
    std::fflush(messages_);
}

}  // namespace verno::console
