#pragma once
// The desktop's modal message boxes.

#include "shell/Dialogs.h"

namespace verno::shell {

class MessageBoxDialogs final : public Dialogs {
public:
    MessageAnswer Show(QWidget* parent, const std::string& title, const std::string& text, MessageIcon icon,
                       MessageButtons buttons) override;
    MessageAnswer Ask(QWidget* parent, const QuestionBox& box) override;
    std::optional<std::filesystem::path> ChooseFile(QWidget* parent, const std::string& title,
                                                    const std::filesystem::path& folder,
                                                    const std::string& filter) override;
};

}  // namespace verno::shell
