#include "wizard/TestInterface.h"

#include "common/Text.h"
#include "common/TextNumbers.h"

namespace verno::wizard {

namespace {

constexpr const char* kLineBreak = "\r\n";

std::string OpenFailureText(WizardSurface& surface, const std::string& path, const link::PortOpenResult& failure) {
    std::string text = FillPlaceholders(surface.LoadText(text::kPortOpenFailed), path, failure.reason) + "." + kLineBreak;
    if (failure.permissionDenied && !failure.deviceGroup.empty())
        text += FillPlaceholders(surface.LoadText(text::kPortNoPermission), path, failure.deviceGroup) + kLineBreak;
    return text + surface.LoadText(text::kPlugInCable);
}

}  // namespace

std::optional<std::string> TestInterface(WizardSurface& surface, const PortFinder& find, const PortOpener& open) {
    for (;;) {
        std::string text;
        if (const auto path = find()) {
            const link::PortOpenResult result = open(*path);
            if (result.opened) return path;
            // "Not found" would be wrong here: say which port failed, and why.
            text = OpenFailureText(surface, *path, result);
        } else {
            text = surface.LoadText(text::kCableNotFound) + "." + kLineBreak + surface.LoadText(text::kPlugInCable);
        }
        const MessageAnswer answer =
            surface.ShowMessage(surface.LoadText(text::kCableTitle), text, MessageIcon::Critical, MessageButtons::OkCancel);
        if (answer != MessageAnswer::Ok) return std::nullopt;
    }
}

}  // namespace verno::wizard
