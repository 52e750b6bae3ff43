#pragma once
// The answers a test gives to message boxes and questions, in order; when they run out, OK to a
// plain box, Cancel or No to the others, and a question's default.

#include <deque>

#include "common/WizardSurface.h"

namespace verno {

struct ScriptedAnswers {
    std::deque<MessageAnswer> answers;

    MessageAnswer Next(MessageButtons buttons) {
        if (!answers.empty()) {
            const MessageAnswer a = answers.front();
            answers.pop_front();
            return a;
        }
        if (buttons == MessageButtons::Ok) return MessageAnswer::Ok;
        return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Cancel;
    }
    // A question takes its default, the first choice, when the script has run out.
    MessageAnswer NextAnswer(const QuestionBox& box) {
        if (!answers.empty()) {
            const MessageAnswer a = answers.front();
            answers.pop_front();
            return a;
        }
        return box.choices.empty() ? MessageAnswer::Interrupted : box.choices.front().answer;
    }
};

}  // namespace verno
