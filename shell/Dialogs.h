#pragma once
// Modal message boxes; parent is the window the box must stay above. The program uses the
// desktop's boxes, the tests answer from a script.

#include <QWidget>

#include <filesystem>
#include <optional>
#include <string>

#include "common/WizardSurface.h"

namespace verno::shell {

class Dialogs {
public:
    virtual ~Dialogs() = default;
    virtual MessageAnswer Show(QWidget* parent, const std::string& title, const std::string& text, MessageIcon icon,
                               MessageButtons buttons) = 0;
    // A box with the question's own buttons; its first choice is the default. Closing the box
    // answers Interrupted.
    virtual MessageAnswer Ask(QWidget* parent, const QuestionBox& box) = 0;
    // A file to open, chosen in a file dialog that starts in `folder`; nullopt when none was.
    virtual std::optional<std::filesystem::path> ChooseFile(QWidget* parent, const std::string& title,
                                                            const std::filesystem::path& folder,
                                                            const std::string& filter) = 0;
};

}  // namespace verno::shell
