#include "wizard/TestInterface.h"

#include "common/Text.h"
#include "common/TextNumbers.h"

namespace verno::wizard {

namespace {

constexpr const char* kLineBreak = "\r\n";

// The groups whose members may use serial devices on the usual Linux distributions.
bool IsSerialGroup(const std::string& group) { return group == "dialout" || group == "uucp"; }

// Where a port is named and what takes it differ by system: /dev/ttyUSB0 and ModemManager on
// Linux, COM3 and the Device Manager on Windows.
#ifdef _WIN32
constexpr int kPortMissingText = text::kComPortMissing;
constexpr int kPortInUseText = text::kComPortInUse;
constexpr int kPortNotSerialText = text::kComPortNotSerial;
#else
constexpr int kPortMissingText = text::kPortMissing;
constexpr int kPortInUseText = text::kPortInUse;
constexpr int kPortNotSerialText = text::kPortNotSerial;
#endif

// What went wrong with the port, and what to do about it.
std::string OpenFailureText(WizardSurface& surface, const std::string& path, const link::PortOpenResult& failure) {
    switch (failure.error) {
        case link::PortOpenError::Missing:
            return FillPlaceholders(surface.LoadText(kPortMissingText), path);
        case link::PortOpenError::InUse:
            return FillPlaceholders(surface.LoadText(kPortInUseText), path);
        case link::PortOpenError::StaleLock:
            return FillPlaceholders(surface.LoadText(text::kPortStaleLock), path, failure.reason);
        case link::PortOpenError::NoPermission:
            // Joining the device's group helps only where it is the serial devices' group;
            // elsewhere the cable's udev rule gives the port to the user at the computer.
            if (IsSerialGroup(failure.deviceGroup))
                return FillPlaceholders(surface.LoadText(text::kPortNoPermission), path, failure.deviceGroup);
            return FillPlaceholders(surface.LoadText(text::kPortNoPermissionRule), path);
        case link::PortOpenError::NotSerial:
            return FillPlaceholders(surface.LoadText(kPortNotSerialText), path);
        case link::PortOpenError::None:
        case link::PortOpenError::Other:
            break;
    }
    return FillPlaceholders(surface.LoadText(text::kPortOpenFailed), path, failure.reason) + ".";
}

}  // namespace

std::optional<std::string> TestInterface(WizardSurface& surface, const PortFinder& find, const PortOpener& open,
                                         const DriverCheck& cableWithoutDriver) {
    for (;;) {
        std::string text;
        if (const auto path = find()) {
            const link::PortOpenResult result = open(*path);
            if (result.opened) return path;
            // "Not found" would be wrong here: say which port failed, why, and what to do.
            text = OpenFailureText(surface, *path, result) + kLineBreak + surface.LoadText(text::kPlugInCable);
        } else if (cableWithoutDriver && cableWithoutDriver()) {
            text = surface.LoadText(text::kCableNoDriver) + kLineBreak + surface.LoadText(text::kPlugInCable);
        } else {
            text = surface.LoadText(text::kCableNotFound) + "." + kLineBreak + surface.LoadText(text::kPlugInCable);
        }
        const MessageAnswer answer =
            surface.ShowMessage(surface.LoadText(text::kCableTitle), text, MessageIcon::Critical, MessageButtons::OkCancel);
        if (answer != MessageAnswer::Ok) return std::nullopt;
    }
}

}  // namespace verno::wizard
