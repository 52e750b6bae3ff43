#include "common/Places.h"

#include <string>
#include <system_error>

namespace verno {

namespace {

// An XDG base folder: the variable when it holds an absolute path, else the default below home.
std::filesystem::path BaseFolder(const std::function<const char*(const char*)>& env, const char* variable,
                                 const char* defaultBelowHome) {
    if (const char* value = env(variable); value && std::filesystem::path(value).is_absolute()) return value;
    const char* home = env("HOME");
    return std::filesystem::path(home && *home ? home : "/") / defaultBelowHome;
}

}  // namespace

std::filesystem::path Places::FirmwareFile(const std::filesystem::path& name) const {
    if (!userFirmwareFolder.empty() && userFirmwareFolder != dataFolder) {
        std::error_code ec;
        const std::filesystem::path own = userFirmwareFolder / name;
        if (std::filesystem::is_regular_file(own, ec)) return own;
    }
    return dataFolder / name;
}

std::string DescribePlaces(const Places& places) {
    return "Files:\n  " + places.dataFolder.string() + "\n      the language catalogue and the shipped firmware file\n  " +
           places.userFirmwareFolder.string() + "\n      the vendor's firmware file, when you put it here" +
           (places.installed ? " (used before the shipped one)" : "") + "\n  " + places.backupFolder.string() +
           "\n      backup files of dive computer profiles, until they are written back";
}

Places DecidePlaces(const std::filesystem::path& programFolder, bool programFolderWritable,
                    const std::function<const char*(const char*)>& env) {
    Places places;
    places.programFolder = programFolder;
    const bool installedLayout =
        programFolder.filename() == kPackageFolderName && programFolder.parent_path().filename() == "lib";
    places.installed = installedLayout || !programFolderWritable;
    if (!places.installed) {
        places.dataFolder = places.userFirmwareFolder = places.backupFolder = programFolder;
        return places;
    }
    places.dataFolder =
        installedLayout ? programFolder.parent_path().parent_path() / "share" / kPackageFolderName : programFolder;
    places.userFirmwareFolder = BaseFolder(env, "XDG_DATA_HOME", ".local/share") / kPackageFolderName;
    places.backupFolder = BaseFolder(env, "XDG_STATE_HOME", ".local/state") / kPackageFolderName;
    return places;
}

}  // namespace verno
