#include "wizard/InstructionPage.h"

namespace verno::wizard {

namespace {

constexpr const char* kCrLf = "\r\n";

std::string PageOne() {
    int step = 1;
    std::string text;
    auto numbered = [&](const char* line, int breaks, bool counts) {
        text += std::to_string(step) + line;
        if (counts) ++step;
        for (int i = 0; i < breaks; ++i) text += kCrLf;
    };
    auto plain = [&](const char* line, int breaks) {
        text += line;
        for (int i = 0; i < breaks; ++i) text += kCrLf;
    };
    numbered(". Plug the USB interface cable into an USB port on the PC.", 2, true);
    numbered(". Dive Computer (DC) needs to be in the Watch Main Time Mode.", 2, true);
    numbered(". Clip the interface cable on the DC data port.", 2, true);
    numbered(". A PC will appear with a 120 second countdown (you have 2 minutes to initiate the connection PC-DC).",
             1, false);
    plain("   a) If the  PC screen does not appear, unclip the interface cable from the DC for 5 second then repeat", 1);
    plain("   steps 2, 3, 4.", 2);
    plain(">>> Click on Next button to continue... >>>", 0);
    return text;
}

}  // namespace

std::string StepInstructions(int n) { return n == 1 ? PageOne() : std::string(); }

}  // namespace verno::wizard
