#pragma once
// Where the program finds its data and keeps the user's files, decided in one place. Two ways
// to run, one program:
// - portable (the build's bin/, an unpacked archive, any folder the program may write): the
//   catalogue, the firmware file and the backup files all lie in the program's folder;
// - installed (the programs in <prefix>/lib/verno-update, or a folder the program may not
//   write): the catalogue and the shipped firmware in <prefix>/share/verno-update, a firmware
//   file the user puts in $XDG_DATA_HOME/verno-update used before the shipped one, and the
//   backup files in $XDG_STATE_HOME/verno-update.
// On Windows, installed means %LOCALAPPDATA%\Programs\verno-update or a folder the program may
// not write; the data lies beside the program, the user's firmware file and the backups in
// %LOCALAPPDATA%\verno-update, private to the user by where it lies.

#include <filesystem>
#include <functional>
#include <string>

namespace verno {

inline constexpr const char* kPackageFolderName = "verno-update";

struct Places {
    bool installed = false;
    std::filesystem::path programFolder;  // the programs, and a follow-up program
    std::filesystem::path dataFolder;     // the catalogue and the shipped firmware file
    // Where a user puts the vendor's firmware file: looked at before the shipped one.
    std::filesystem::path userFirmwareFolder;
    std::filesystem::path backupFolder;

    // The firmware file of that name: the user's own when there is one, else the shipped one.
    std::filesystem::path FirmwareFile(const std::filesystem::path& name) const;
};

// Where the files lie, for --help and the manual pages.
const char* PlacesHelp();

// env: the environment's value of a variable in UTF-8, nullptr when unset; programFolderWritable: whether
// the program may create files in its folder.
Places DecidePlaces(const std::filesystem::path& programFolder, bool programFolderWritable,
                    const std::function<const char*(const char*)>& env);

}  // namespace verno
