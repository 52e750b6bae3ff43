#pragma once
// The answers a test gives to message boxes, in order; when they run out, OK to a plain box and
// Cancel or No to the others.

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
};

}  // namespace verno
