#include "update/VersionDecision.h"

namespace verno::update {

VersionDecision DecideVersion(const firmware::FirmwareImage& fw, std::string_view dcVersion, std::uint8_t dcRevision) {
    // std::string_view compares chars as unsigned, i.e. on their codes.
    const std::string_view fwVersion = fw.FwVersion;
    if (fw.Area1Only() && dcVersion < std::string_view(fw.RequiredVersion)) return VersionDecision::BelowRequired;
    // A DC reporting "1T" always takes the area-1 code, although "1T" sorts above the file's.
    if (fw.Area1Only() && !(dcVersion < fwVersion) && dcVersion != "1T") return VersionDecision::NoUpdateNeeded;
    if (fw.BothAreas() && dcVersion >= fwVersion && dcRevision >= fw.FwRevision) return VersionDecision::NoUpdateNeeded;
    if (fw.Area2Only() && dcRevision > fw.FwRevision) return VersionDecision::NewerRevision;
    return VersionDecision::Update;
}

}  // namespace verno::update
