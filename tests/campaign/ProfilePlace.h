#pragma once
// Where a DC's profile is after a run: still in the DC, safe in the backup file, both, or gone.
// Read straight from the DC's memory and the file's bytes, without the program's own decoder.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace verno::campaign {

// The profile as it was at the start: the header in block 0 and the blocks of its range.
struct ProfileAtStart {
    std::vector<std::uint8_t> memory;  // the DC's whole memory before the first run
    std::uint16_t firstUnit = 0;       // profile range in units, not wrapped, from unit 256 on
    std::uint16_t lastUnit = 0;
    std::uint32_t serial = 0;
    std::uint16_t modelNumber = 0;
};

struct ProfilePlace {
    bool inDc = false;
    bool inFile = false;
    // Block 0 and the settings (units 0..255) apart from the header: nothing may change them.
    bool settingsIntact = false;
    bool backupPresent = false;  // the DC's backup file, whatever it holds
    int historyFiles = 0;              // the DC's files in history/<serial>/
    bool historyHoldsProfile = false;  // one of them holds the profile as it was at the start
    std::vector<std::string> strayFiles;  // anything else in the program's folder but the firmware file

    bool Safe() const { return inDc || inFile; }
    std::string Describe() const;
};

ProfilePlace LocateProfile(const ProfileAtStart& start, const std::vector<std::uint8_t>& memoryNow,
                           const std::filesystem::path& folder);

// A file's bytes; a file packed as the history packs its files (gzip), what it holds.
std::vector<std::uint8_t> ReadProfileFile(const std::filesystem::path& path);

// True when the bytes are a backup file holding exactly that profile for that DC.
bool FileHoldsProfile(const std::vector<std::uint8_t>& file, const ProfileAtStart& start);

}  // namespace verno::campaign
