#include "wizard/InstructionPage.h"

#include "common/TextNumbers.h"

namespace verno::wizard {

namespace {

constexpr const char* kCrLf = "\r\n";

std::string PageOne(WizardSurface& surface) {
    // Line by line: whether the step counter stands before it, whether the counter moves on after
    // it, and the line breaks after it.
    struct Line {
        bool numbered;
        bool counts;
        int breaks;
    };
    constexpr Line kLines[] = {{true, true, 2},   {true, true, 2},   {true, true, 2}, {true, false, 1},
                               {false, false, 1}, {false, false, 2}, {false, false, 0}};
    int step = 1;
    std::string text;
    for (std::size_t i = 0; i < text::kPageOne.size(); ++i) {
        if (kLines[i].numbered) text += std::to_string(step) + ". ";
        if (kLines[i].counts) ++step;
        text += surface.LoadText(text::kPageOne[i]);
        for (int b = 0; b < kLines[i].breaks; ++b) text += kCrLf;
    }
    return text;
}

}  // namespace

std::string StepInstructions(int n, WizardSurface& surface) { return n == 1 ? PageOne(surface) : std::string(); }

}  // namespace verno::wizard
