#pragma once
// What the wizard shows and asks: the task log, message boxes, the two views with the page text,
// the buttons and the window's decoration. The window draws all of it; a terminal front end
// prints the log and the boxes and has no window to decorate, so the decoration calls do nothing
// unless a view overrides them.

#include <filesystem>
#include <optional>
#include <string>

#include "common/TextNumbers.h"
#include "common/WizardSurface.h"

namespace verno::wizard {

// The texts the start-up puts on the window, from the catalogue.
struct Captions {
    std::string frame;  // the instruction frame's caption, shown in capitals
    std::string back;
    std::string next;
    std::string close;
    std::string timeHeading;
    std::string eventHeading;
    std::string statusHeading;
};

// The window's titles: the task bar's, the title bar's, and the second caption text.
struct Titles {
    std::string taskBar;
    std::string titleBar;
    std::string tip;
};

class View {
public:
    virtual ~View() = default;

    // The task log. time is the time of day the row was added, "hh:mm:ss".
    // id: the row's stable name for machines, empty when it has none.
    virtual void InsertTaskList(TaskIcon icon, const std::string& time, const std::string& event,
                                const std::string& status, std::string_view id = {}) = 0;
    virtual void SetTaskStatus(const std::string& status) = 0;  // the newest row; nothing on an empty log
    virtual void EmptyTaskLog() = 0;

    // A modal box above every window of the program; the button the user chose.
    virtual MessageAnswer ShowMessage(const std::string& title, const std::string& text, MessageIcon icon,
                                      MessageButtons buttons) = 0;
    // A question with choices of its own (about the diver's profile); Interrupted when nobody
    // answered.
    virtual MessageAnswer Ask(const QuestionBox& box) = 0;

    // The text of the instruction view (lines broken by CR LF); the task log shown in the view's
    // place, or the instruction view again.
    virtual void SetPageText(const std::string& /*text*/) {}
    virtual void ShowTaskLog(bool /*shown*/) {}
    virtual void ShowButtons() {}
    virtual void EnableBack(bool /*enabled*/) {}
    virtual void EnableNext(bool /*enabled*/) {}
    // While the DC is contacted on Next: a busy pointer, and which call it is (1 of 12, ...).
    virtual void SetBusy(bool /*busy*/) {}
    virtual void ShowCalling(const std::string& /*text*/) {}

    // Decoration: top-most from start-up to Close, the titles and the notification-area icon,
    // the captions; Undecorate takes the icon away again.
    virtual void PutOnTop() {}
    virtual void UnDoPutOnTop() {}
    virtual void Decorate(const Titles& /*titles*/) {}
    virtual void Undecorate() {}
    virtual void SetCaptions(const Captions& /*captions*/) {}
    // Something for a support engineer rather than the user (the cable's device went away, in the
    // system's words): the console writes it to its support log.
    virtual void Notice(const std::string& /*what*/) {}
    // While why is given the DC's memory is being written: the window asks the desktop session
    // not to end (log-off, shutdown). nullopt: it may again.
    virtual void HoldOffSessionEnd(const std::optional<std::string>& /*why*/) {}
    // A profile file to write back, chosen by the user in a file dialog that opens at `folder`;
    // nullopt when they chose none. A view without dialogs offers none.
    virtual std::optional<std::filesystem::path> ChooseProfileFile(const std::string& /*title*/,
                                                                   const std::filesystem::path& /*folder*/,
                                                                   const std::string& /*filter*/) {
        return std::nullopt;
    }
    // The language of the catalogue's texts, as an ISO 639-1 code (empty when unknown): the
    // view's own words (a box's buttons) follow it.
    virtual void SetLanguage(const std::string& /*tag*/) {}
    // How the texts speak of what the user does: buttons to click, keys to press, or nothing
    // to do but run the program again.
    virtual text::Wording Words() const { return text::Wording::Buttons; }
};

}  // namespace verno::wizard
