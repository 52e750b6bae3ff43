#include "common/Places.h"

#include <string>
#include <system_error>

namespace verno {

namespace {

#ifdef _WIN32
constexpr const char* kHomeVariable = "USERPROFILE";
#else
constexpr const char* kHomeVariable = "HOME";
#endif

// A base folder of the user's files: the variable when it holds an absolute path, else the
// default below home.
std::filesystem::path BaseFolder(const std::function<const char*(const char*)>& env, const char* variable,
                                 const char* defaultBelowHome) {
    if (const char* value = env(variable); value && std::filesystem::path(value).is_absolute())
        return std::filesystem::u8path(value);
    const char* home = env(kHomeVariable);
    return std::filesystem::u8path(home && *home ? home : "/") / defaultBelowHome;
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

#ifdef _WIN32
const char* PlacesHelp() {
    return "Files:\n"
           "  Run from a folder it may write (the build's bin\\, an unpacked zip), the program keeps\n"
           "  everything there: the language catalogue FirmwareUpdate.lng, the firmware file\n"
           "  VERNO.1B.FWR and the backup files of dive computer profiles (MODEL.SERIAL.bin).\n"
           "  Installed (in %LOCALAPPDATA%\\Programs\\verno-update, or a folder it may not write),\n"
           "  it reads the catalogue and the shipped demo firmware beside itself, takes a firmware\n"
           "  file you put in %LOCALAPPDATA%\\verno-update before the shipped one, and keeps backup\n"
           "  files there until they are written back.";
}

// Installed per user below %LOCALAPPDATA%\Programs, or in a folder it may not write (Program
// Files): the data beside the program, the user's own files in %LOCALAPPDATA%\verno-update.
Places DecidePlaces(const std::filesystem::path& programFolder, bool programFolderWritable,
                    const std::function<const char*(const char*)>& env) {
    Places places;
    places.programFolder = places.dataFolder = programFolder;
    const bool installedLayout =
        programFolder.filename() == kPackageFolderName && programFolder.parent_path().filename() == "Programs";
    places.installed = installedLayout || !programFolderWritable;
    if (!places.installed) {
        places.userFirmwareFolder = places.backupFolder = programFolder;
        return places;
    }
    places.userFirmwareFolder = places.backupFolder =
        BaseFolder(env, "LOCALAPPDATA", "AppData/Local") / kPackageFolderName;
    return places;
}
#else
const char* PlacesHelp() {
    return "Files:\n"
           "  Run from a folder it may write (the build's bin/, an unpacked archive), the program\n"
           "  keeps everything there: the language catalogue FirmwareUpdate.lng, the firmware file\n"
           "  VERNO.1B.FWR and the backup files of dive computer profiles (MODEL.SERIAL.bin).\n"
           "  Installed (in PREFIX/lib/verno-update, /usr with the package), it reads the catalogue\n"
           "  and the shipped demo firmware from PREFIX/share/verno-update, takes a firmware file you\n"
           "  put in $XDG_DATA_HOME/verno-update (~/.local/share/verno-update) before the shipped\n"
           "  one, and keeps backup files in $XDG_STATE_HOME/verno-update\n"
           "  (~/.local/state/verno-update) until they are written back.";
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
#endif

}  // namespace verno
