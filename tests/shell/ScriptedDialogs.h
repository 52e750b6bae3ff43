#pragma once
// Message boxes answered from a script, with the window each was shown above.

#include <functional>
#include <string>
#include <vector>

#include "shell/Dialogs.h"
#include "tests/support/ScriptedAnswers.h"

namespace verno::shell {

struct ShownMessage {
    QWidget* parent;
    std::string title;
    std::string text;
    MessageIcon icon;
    MessageButtons buttons;
};

class ScriptedDialogs final : public Dialogs, public ScriptedAnswers {
public:
    std::vector<ShownMessage> shown;
    std::function<void(const ShownMessage&)> onShow;

    MessageAnswer Show(QWidget* parent, const std::string& title, const std::string& text, MessageIcon icon,
                       MessageButtons buttons) override {
        shown.push_back({parent, title, text, icon, buttons});
        if (onShow) onShow(shown.back());
        return Next(buttons);
    }
    std::vector<std::string> fileDialogs;       // the folder each file dialog opened at
    std::optional<std::filesystem::path> chosenFile;  // what the user picks there
    std::optional<std::filesystem::path> ChooseFile(QWidget*, const std::string&, const std::filesystem::path& folder,
                                                    const std::string&) override {
        fileDialogs.push_back(folder.string());
        return chosenFile;
    }
    MessageAnswer Ask(QWidget* parent, const QuestionBox& box) override {
        shown.push_back({parent, box.title, box.text, box.icon, MessageButtons::Ok});
        if (onShow) onShow(shown.back());
        return NextAnswer(box);
    }
};

}  // namespace verno::shell
