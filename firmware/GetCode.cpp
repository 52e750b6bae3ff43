#include "firmware/GetCode.h"

#include "common/Text.h"
#include "firmware/FirmwareFile.h"
#include "firmware/Identity.h"

namespace verno::firmware {

namespace {
constexpr int kTextReadingFile = 776;
constexpr int kTextDone = 777;
constexpr int kTextCheckingFile = 778;
constexpr int kTextFirmwareError = 779;
constexpr int kTextFirmwareVersion = 781;
constexpr int kTextFailed = 280;

std::string VersionRowText(const FirmwareImage& fw, WizardSurface& surface) {
    std::string text = Latin1ToUtf8(fw.FwModelName) + ", " + surface.LoadText(kTextFirmwareVersion) + ": " +
                       Latin1ToUtf8(fw.FwVersion);
    const bool noRevision = fw.Area1Only() && (fw.FwRevision == 0 || fw.FwRevision >= 100);
    if (!noRevision) text += "." + TwoDigitNumber(fw.FwRevision);
    return text;
}
}  // namespace

std::optional<FirmwareImage> GetCode(const std::filesystem::path& firmwareFilePath, WizardSurface& surface) {
    surface.InsertTaskList(TaskIcon::Information, surface.LoadText(kTextReadingFile), "...");

    if (!FileExists(firmwareFilePath)) {
        surface.ResetStage();
        // The program ends here; a window that vanishes without a word leaves the user guessing.
        surface.ShowMessage(surface.LoadText(kTextFailed),
                            "The firmware file " + firmwareFilePath.string() +
                                " was not found. Reinstall the program, or put the firmware file beside it.",
                            MessageIcon::Critical, MessageButtons::Ok);
        return std::nullopt;
    }

    DecodeResult decoded = LoadFirmwareFile(firmwareFilePath);
    const bool fatal = decoded.error == FirmwareError::Unreadable || decoded.error == FirmwareError::EmptyModelName ||
                       decoded.error == FirmwareError::EmptyModelTag || decoded.error == FirmwareError::Missing;
    if (fatal) surface.ResetStage();

    surface.SetTaskStatus(surface.LoadText(kTextDone));
    surface.InsertTaskList(TaskIcon::Information, surface.LoadText(kTextCheckingFile), "...");

    if (fatal) {
        const std::string code = decoded.errorCode != 0 ? std::to_string(decoded.errorCode) : "";
        surface.ShowMessage(surface.LoadText(kTextFailed), surface.LoadText(kTextFirmwareError) + " " + code + "!",
                            MessageIcon::Critical, MessageButtons::Ok);
        return std::nullopt;
    }
    if (const char* message = ChecksumMessage(decoded.error)) {
        surface.ShowMessage(surface.LoadText(kTextFailed), message, MessageIcon::Critical, MessageButtons::Ok);
        return std::nullopt;
    }

    surface.SetTaskStatus(surface.LoadText(kTextDone));
    surface.InsertTaskList(TaskIcon::Warning, VersionRowText(decoded.image, surface), "");
    return std::move(decoded.image);
}

}  // namespace verno::firmware
