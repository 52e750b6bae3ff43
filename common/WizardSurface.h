#pragma once
// What the update procedures may ask of the front end (the window, the console or a test
// recorder): task-log rows, message boxes, the stage reset after a failure, and catalogue texts.

#include <string>

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
};

class WizardSurface {
public:
    virtual ~WizardSurface() = default;

    // Adds a row at the end of the task log, stamped with the current time of day.
    virtual void InsertTaskList(TaskIcon icon, const std::string& event, const std::string& status) = 0;
    // Rewrites the status cell of the newest row; does nothing on an empty log.
    virtual void SetTaskStatus(const std::string& status) = 0;
    // After a failed step: normal process priority, Back enabled.
    virtual void ResetStage() = 0;
    // A modal message box; returns the button the user chose.
    virtual MessageAnswer ShowMessage(const std::string& title, const std::string& text, MessageIcon icon,
                                      MessageButtons buttons) = 0;
    // Catalogue text n in the configured language; empty when the catalogue has no such number.
    virtual std::string LoadText(int n) = 0;
};

}  // namespace verno
