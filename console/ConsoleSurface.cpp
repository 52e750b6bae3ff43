#include "console/ConsoleSurface.h"

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

ConsoleSurface::ConsoleSurface(std::FILE* out, std::FILE* messages, bool live, const WallClock& clock, TextSource texts,
                               Answerer answerer)
    : out_(out), messages_(messages), live_(live), clock_(clock), texts_(std::move(texts)), answerer_(std::move(answerer)) {}

ConsoleSurface::~ConsoleSurface() { Flush(); }

std::string ConsoleSurface::RowText() const {
    std::string text = time_ + "  " + IconLetter(icon_) + "  " + event_;
    if (!status_.empty()) text += "  " + status_;
    return text;
}

void ConsoleSurface::Flush() {
    if (!haveRow_) return;
    if (live_) {
        std::fputc('\n', out_);
    } else {
        std::fprintf(out_, "%s\n", RowText().c_str());
    }
    haveRow_ = false;
    std::fflush(out_);
}

void ConsoleSurface::InsertTaskList(TaskIcon icon, const std::string& event, const std::string& status) {
    Flush();
    haveRow_ = true;
    time_ = FormatTime(clock_.Now());
    icon_ = icon;
    event_ = event;
    status_ = status;
    if (live_) {
        std::fprintf(out_, "%s", RowText().c_str());
        std::fflush(out_);
    }
}

void ConsoleSurface::SetTaskStatus(const std::string& status) {
    if (!haveRow_) return;
    status_ = status;
    if (live_) {
        // Carriage return and erase-line keep the row on one terminal line.
        std::fprintf(out_, "\r\x1b[K%s", RowText().c_str());
        std::fflush(out_);
    }
}

void ConsoleSurface::ResetStage() {
    ++resetStageCount_;
    if (resetStage_) resetStage_();
}

MessageAnswer ConsoleSurface::ShowMessage(const std::string& title, const std::string& text, MessageIcon icon,
                                          MessageButtons buttons) {
    Flush();
    std::string body = text;
    for (std::size_t at; (at = body.find('\r')) != std::string::npos;) body.erase(at, 1);
    std::fprintf(messages_, "\n[%s]\n%s\n\n", title.c_str(), body.c_str());
    std::fflush(messages_);
    return answerer_(title, text, icon, buttons);
}

std::string ConsoleSurface::LoadText(int n) { return texts_ ? texts_(n) : std::string(); }

}  // namespace verno::console
