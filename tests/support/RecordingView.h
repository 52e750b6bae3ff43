#pragma once
// The wizard's view in a test: records the task log, the boxes (answered from a script), the
// page text, which view is shown, the buttons and the decoration.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/RecordingSurface.h"
#include "tests/support/ScriptedAnswers.h"
#include "wizard/View.h"

namespace verno {

class RecordingView final : public wizard::View, public ScriptedAnswers {
public:
    std::vector<RecordedRow> rows;
    std::vector<std::string> times;
    std::vector<RecordedMessage> messages;
    std::function<void(const RecordedMessage&)> onMessage;
    std::vector<Question> questions;
    // When set, decides every question instead of the script.
    std::function<MessageAnswer(const QuestionBox&)> questionAnswerer;
    // When set, decides every box instead of the script.
    std::function<MessageAnswer(const RecordedMessage&)> answerer;
    std::string pageText;
    bool taskLogShown = false;
    bool buttonsShown = false;
    bool backEnabled = false;
    bool nextEnabled = false;
    bool onTop = false;
    bool decorated = false;
    wizard::Titles titles;
    wizard::Captions captions;

    void InsertTaskList(TaskIcon icon, const std::string& time, const std::string& event,
                        const std::string& status, std::string_view id = {}) override {
        rows.push_back({icon, event, {status}, std::string(id)});
        times.push_back(time);
    }
    void SetTaskStatus(const std::string& status) override {
        if (!rows.empty()) rows.back().statuses.push_back(status);
    }
    void EmptyTaskLog() override { rows.clear(); }
    MessageAnswer ShowMessage(const std::string& title, const std::string& text, MessageIcon icon,
                              MessageButtons buttons) override {
        messages.push_back({title, text, icon, buttons});
        if (onMessage) onMessage(messages.back());
        return answerer ? answerer(messages.back()) : Next(buttons);
    }
    MessageAnswer Ask(const QuestionBox& box) override {
        messages.push_back({box.title, box.text, box.icon, MessageButtons::Ok});
        questions.push_back(box.question);
        if (onMessage) onMessage(messages.back());
        return questionAnswerer ? questionAnswerer(box) : NextAnswer(box);
    }
    void SetPageText(const std::string& text) override { pageText = text; }
    void ShowTaskLog(bool shown) override { taskLogShown = shown; }
    void ShowButtons() override { buttonsShown = true; }
    void EnableBack(bool enabled) override { backEnabled = enabled; }
    void EnableNext(bool enabled) override { nextEnabled = enabled; }
    void PutOnTop() override { onTop = true; }
    void UnDoPutOnTop() override { onTop = false; }
    void Decorate(const wizard::Titles& t) override {
        titles = t;
        decorated = true;
    }
    void Undecorate() override { decorated = false; }
    void SetCaptions(const wizard::Captions& c) override { captions = c; }
    text::Wording Words() const override { return words; }
    void ShowCalling(const std::string& text) override { calls.push_back(text); }
    std::optional<std::filesystem::path> ChooseProfileFile(const std::string&, const std::filesystem::path& folder,
                                                           const std::string&) override {
        fileDialogs.push_back(folder);
        return chosenFile;
    }
    void Notice(const std::string& what) override { notices.push_back(what); }
    void HoldOffSessionEnd(const std::optional<std::string>& why) override { sessionEndHeld.push_back(why.has_value()); }
    std::vector<std::string> notices;                 // for the support log
    std::vector<bool> sessionEndHeld;                 // each hold (true) and release (false)
    std::vector<std::filesystem::path> fileDialogs;   // where each file dialog opened
    std::optional<std::filesystem::path> chosenFile;  // what the user picks there
    std::vector<std::string> calls;  // what each call of a DC on Next showed
    text::Wording words = text::Wording::Buttons;

    std::vector<std::string> Events() const {
        std::vector<std::string> out;
        for (const auto& r : rows) out.push_back(r.event);
        return out;
    }
    const RecordedRow* FindRowWithId(std::string_view id) const {
        for (const auto& r : rows)
            if (r.id == id) return &r;
        return nullptr;
    }
    bool HasErrorRow() const {
        for (const auto& r : rows)
            if (r.icon == TaskIcon::Error) return true;
        return false;
    }
};

}  // namespace verno
