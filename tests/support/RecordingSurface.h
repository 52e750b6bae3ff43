#pragma once
// A front end for tests: records task-log rows with every status they showed, counts stage
// resets, answers message boxes from a script and gives "T<n>" for catalogue text n.

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "common/WallClock.h"
#include "common/WizardSurface.h"
#include "tests/support/ScriptedAnswers.h"

namespace verno {

struct RecordedRow {
    TaskIcon icon;
    std::string event;
    std::vector<std::string> statuses;  // the first one given at insertion, then every rewrite
    std::string id;
    const std::string& status() const { return statuses.back(); }
};

struct RecordedMessage {
    std::string title;
    std::string text;
    MessageIcon icon;
    MessageButtons buttons;
};

class RecordingSurface : public WizardSurface, public ScriptedAnswers {
public:
    std::vector<RecordedRow> rows;
    std::vector<RecordedMessage> messages;
    std::map<int, std::string> texts;   // overrides of "T<n>"
    std::vector<std::string> trace;     // "row", "status", "reset", "message" in order
    int resetStages = 0;
    std::function<void()> onResetStage;
    std::function<void(const RecordedMessage&)> onMessage;
    std::vector<Question> questions;
    // When set, decides every question instead of the script.
    std::function<MessageAnswer(const QuestionBox&)> questionAnswerer;

    void InsertTaskList(TaskIcon icon, const std::string& event, const std::string& status,
                        std::string_view id = {}) override {
        rows.push_back({icon, event, {status}, std::string(id)});
        trace.push_back("row " + event);
    }
    void SetTaskStatus(const std::string& status) override {
        if (rows.empty()) return;
        rows.back().statuses.push_back(status);
        trace.push_back("status " + status);
    }
    void ResetStage() override {
        ++resetStages;
        trace.push_back("reset");
        if (onResetStage) onResetStage();
    }
    MessageAnswer ShowMessage(const std::string& title, const std::string& text, MessageIcon icon,
                              MessageButtons buttons) override {
        messages.push_back({title, text, icon, buttons});
        trace.push_back("message " + title);
        if (onMessage) onMessage(messages.back());
        return Next(buttons);
    }
    MessageAnswer Ask(const QuestionBox& box) override {
        messages.push_back({box.title, box.text, box.icon, MessageButtons::Ok});
        questions.push_back(box.question);
        trace.push_back("question " + box.title);
        if (onMessage) onMessage(messages.back());
        return questionAnswerer ? questionAnswerer(box) : NextAnswer(box);
    }
    std::string LoadText(int n) override {
        const auto it = texts.find(n);
        return it != texts.end() ? it->second : "T" + std::to_string(n);
    }

    // The events of all rows, for checking the log as a whole.
    std::vector<std::string> Events() const {
        std::vector<std::string> out;
        for (const auto& r : rows) out.push_back(r.event);
        return out;
    }
    const RecordedRow* FindRow(const std::string& event) const {
        for (const auto& r : rows)
            if (r.event == event) return &r;
        return nullptr;
    }
};

// A fixed PC date and time.
class FixedWallClock : public WallClock {
public:
    LocalDateTime now{2026, 12, 7, 15, 30, 5};
    LocalDateTime Now() const override { return now; }
};

}  // namespace verno
