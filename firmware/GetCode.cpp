#include "firmware/GetCode.h"

#include "common/Text.h"
#include "common/TextNumbers.h"
#include "firmware/FirmwareFile.h"
#include "firmware/Identity.h"

namespace verno::firmware {

namespace {
std::string VersionRowText(const FirmwareImage& fw, WizardSurface& surface) {
    std::string text = Latin1ToUtf8(fw.FwModelName) + ", " + surface.LoadText(text::kVersionWord) + ": " +
                       Latin1ToUtf8(fw.FwVersion);
    const bool noRevision = fw.Area1Only() && (fw.FwRevision == 0 || fw.FwRevision >= 100);
    if (!noRevision) text += "." + TwoDigitNumber(fw.FwRevision);
    return text;
}
}  // namespace

std::optional<FirmwareImage> GetCode(const std::filesystem::path& firmwareFilePath, WizardSurface& surface) {
    surface.InsertTaskList(TaskIcon::Information, surface.LoadText(text::kReadingFirmwareFile), "...");

    if (!FileExists(firmwareFilePath)) {
        surface.ResetStage();
        // The program ends here; a window that vanishes without a word leaves the user guessing.
        surface.ShowMessage(surface.LoadText(text::kFailed),
                            FillPlaceholders(surface.LoadText(text::kFirmwareMissing), firmwareFilePath.string()),
                            MessageIcon::Critical, MessageButtons::Ok);
        return std::nullopt;
    }

    DecodeResult decoded = LoadFirmwareFile(firmwareFilePath);
    const bool fatal = decoded.error == FirmwareError::Unreadable || decoded.error == FirmwareError::EmptyModelName ||
                       decoded.error == FirmwareError::EmptyModelTag || decoded.error == FirmwareError::Missing;
    if (fatal) surface.ResetStage();

    surface.SetTaskStatus(surface.LoadText(text::kDone));
    surface.InsertTaskList(TaskIcon::Information, surface.LoadText(text::kCheckingFirmware), "...");

    if (fatal) {
        const std::string code = decoded.errorCode != 0 ? std::to_string(decoded.errorCode) : "";
        surface.ShowMessage(surface.LoadText(text::kFailed), surface.LoadText(text::kFirmwareFileError) + " " + code + "!",
                            MessageIcon::Critical, MessageButtons::Ok);
        return std::nullopt;
    }
    if (const char* message = ChecksumMessage(decoded.error)) {
        surface.ShowMessage(surface.LoadText(text::kFailed), message, MessageIcon::Critical, MessageButtons::Ok);
        return std::nullopt;
    }

    surface.SetTaskStatus(surface.LoadText(text::kDone));
    surface.InsertTaskList(TaskIcon::Warning, VersionRowText(decoded.image, surface), "");
    if (IsDemoFirmware(decoded.image)) surface.InsertTaskList(TaskIcon::Warning, surface.LoadText(text::kDemoFirmware), "");
    return std::move(decoded.image);
}

}  // namespace verno::firmware
