#pragma once
// What the update procedures may ask of the front end (the window, the console or a test
// recorder): task-log rows, message boxes, the stage reset after a failure, and catalogue texts.

#include <string>
#include <string_view>
#include <vector>

namespace verno {

// Task-log icon index, as the rows of the log number them.
enum class TaskIcon : int { Information = 0, Warning = 1, Error = 2 };

enum class MessageIcon { Exclamation, Critical, Information, Question };
enum class MessageButtons { Ok, OkCancel, YesNo };
enum class MessageAnswer {
    Ok,
    Cancel,
    Yes,
    No,
    // Nobody chose: the program is being ended (Ctrl-C, a closed input, a bench that keeps the
    // saved profile for later). Decides nothing, and deletes nothing.
    Interrupted,
    // The choices of the questions about a saved profile.
    WriteBack,
    Keep,
    Discard,
    Present,
    Saved,
};

// The questions about the diver's profile; each front end answers them in its own way (the
// console from its options when nobody is at the terminal).
enum class Question {
    RecoverProfile,  // write back now, keep for later, discard
    ConfirmDiscard,  // discard, keep
    WhichProfile,    // present, saved: which of two profiles goes back
    ConfirmRestore,  // yes, no: write a chosen file into the DC
};

struct Choice {
    MessageAnswer answer;
    std::string label;
};

struct QuestionBox {
    Question question;
    std::string title;
    std::string text;
    MessageIcon icon;
    std::vector<Choice> choices;  // the first is the default
};

class WizardSurface {
public:
    virtual ~WizardSurface() = default;

    // Adds a row at the end of the task log, stamped with the current time of day. id is the
    // row's stable name for machines (common/RowIds.h); empty for a row without one.
    virtual void InsertTaskList(TaskIcon icon, const std::string& event, const std::string& status,
                                std::string_view id = {}) = 0;
    // Rewrites the status cell of the newest row; does nothing on an empty log.
    virtual void SetTaskStatus(const std::string& status) = 0;
    // After a failed step: normal process priority, Back enabled.
    virtual void ResetStage() = 0;
    // A modal message box; returns the button the user chose.
    virtual MessageAnswer ShowMessage(const std::string& title, const std::string& text, MessageIcon icon,
                                      MessageButtons buttons) = 0;
    // Which call of a silent DC it is, where no row shows it (the recovery's calls).
    virtual void ShowCalling(const std::string& /*text*/) {}
    // A question with choices of its own; Interrupted when nobody answered.
    virtual MessageAnswer Ask(const QuestionBox& box) = 0;
    // Catalogue text n in the configured language; empty when the catalogue has no such number.
    virtual std::string LoadText(int n) = 0;
};

}  // namespace verno
