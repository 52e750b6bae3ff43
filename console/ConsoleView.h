#pragma once
// The wizard's view on a terminal. As text, a task-log row is printed as "hh:mm:ss  <i|!|x>
// event  status"; on a terminal its status is rewritten in place as it changes, elsewhere each
// row is printed once, with its final status. As JSON, every finished row is one object on a
// line, and so is the start of every row and every new status of the row that runs (its
// progress). The keys are documented in README.md and kept stable. Message boxes go to their own
// stream (stderr), as title and text, and the answerer decides them: a terminal has no buttons
// to click.

#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>
#include <string>

#include <nlohmann/json.hpp>

#include "wizard/View.h"

namespace verno::console {

struct TaskRow {
    std::string time;  // hh:mm:ss
    TaskIcon icon = TaskIcon::Information;
    std::string event;
    std::string status;
    std::string id;  // the row's stable name; empty when it has none
};

const char* IconName(TaskIcon icon);  // "information", "warning", "error"
char IconLetter(TaskIcon icon);        // 'i', '!', 'x': the icon column on a terminal

// One line of --json output. Bytes from the DC that are not UTF-8 become U+FFFD, never an abort.
std::string JsonLine(const nlohmann::ordered_json& object);

class ConsoleView final : public wizard::View {
public:
    enum class Format { Text, Json };
    using Answerer = std::function<MessageAnswer(const std::string& title, const std::string& text,
                                                 MessageIcon icon, MessageButtons buttons)>;

    ConsoleView(std::FILE* out, std::FILE* messages, Format format, bool live, Answerer answerer);
    ~ConsoleView() override;
    ConsoleView(const ConsoleView&) = delete;
    ConsoleView& operator=(const ConsoleView&) = delete;

    void InsertTaskList(TaskIcon icon, const std::string& time, const std::string& event,
                        const std::string& status, std::string_view id = {}) override;
    void SetTaskStatus(const std::string& status) override;
    void EmptyTaskLog() override { Flush(); }
    MessageAnswer ShowMessage(const std::string& title, const std::string& text, MessageIcon icon,
                              MessageButtons buttons) override;
    // Which call of a silent DC it is: one line rewritten in place on a terminal that draws so,
    // a line each elsewhere; for people only (the messages stream), not in JSON.
    void ShowCalling(const std::string& text) override;
    // Printed like a box; the question answerer decides (Interrupted when there is none).
    MessageAnswer Ask(const QuestionBox& box) override;
    void OnQuestion(std::function<MessageAnswer(const QuestionBox&)> answerer) { questionAnswerer_ = std::move(answerer); }
    text::Wording Words() const override { return words_; }
    void SetLanguage(const std::string& /*tag*/) override {
        if (languageSet_) languageSet_();
    }
    // Called once the catalogue's language is set: its texts can be read from then on.
    void OnLanguage(std::function<void()> then) { languageSet_ = std::move(then); }
    void SetWords(text::Wording words) { words_ = words; }

    // Prints the newest row if it is still held back; call before anything else is printed.
    void Flush();
    // Every finished row, also to this (the support log).
    void OnRowDone(std::function<void(const TaskRow&)> sink) { rowDone_ = std::move(sink); }
    // Every notice for a support engineer, to this (the support log).
    void OnNotice(std::function<void(const std::string&)> sink) { notice_ = std::move(sink); }
    void Notice(const std::string& what) override {
        if (notice_) notice_(what);
    }
    // The fields every JSON line starts with: the cable's port, and the DC's serial once known.
    void SetJsonContext(std::function<nlohmann::ordered_json()> context) { context_ = std::move(context); }
    // The statuses that end a step (done, failed): as JSON, they come only with the finished row.
    void SetFinalStatuses(std::vector<std::string> statuses) { finalStatuses_ = std::move(statuses); }
    // Where the JSON lines' times come from (tests fix it).
    void SetClock(std::function<std::chrono::system_clock::time_point()> now) { now_ = std::move(now); }
    // The event of the newest error row: why the update failed.
    const std::string& LastError() const { return lastError_; }

private:
    std::string RowText() const;
    void PrintBox(const std::string& title, const std::string& text);
    void EndCallingLine();
    nlohmann::ordered_json Json(const char* type) const;
    void Print(const nlohmann::ordered_json& line);

    std::FILE* out_;
    std::FILE* messages_;
    Format format_;
    bool live_;
    Answerer answerer_;
    std::function<MessageAnswer(const QuestionBox&)> questionAnswerer_;
    text::Wording words_ = text::Wording::Unattended;
    std::function<void()> languageSet_;
    bool callingLine_ = false;  // the line of a silent DC's calls waits for its end
    std::function<void(const TaskRow&)> rowDone_;
    std::function<void(const std::string&)> notice_;
    std::function<nlohmann::ordered_json()> context_;
    std::vector<std::string> finalStatuses_;
    std::function<std::chrono::system_clock::time_point()> now_ = [] { return std::chrono::system_clock::now(); };

    bool haveRow_ = false;
    TaskRow row_;
    std::string rowStarted_;  // ISO 8601, for the JSON lines
    std::string lastError_;
};

}  // namespace verno::console
