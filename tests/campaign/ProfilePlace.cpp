#include "tests/campaign/ProfilePlace.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <system_error>

#include <zlib.h>

namespace verno::campaign {

namespace {

constexpr std::size_t kHeaderByte = 64;
constexpr std::size_t kHeaderBytes = 16;
constexpr std::size_t kSettingsBytes = 256 * 16;
constexpr std::size_t kRows = 1024;
constexpr std::size_t kFileSize = 34 + 2 * kRows * 130;

bool SameRange(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b, std::size_t from,
               std::size_t to) {
    if (a.size() < to || b.size() < to) return false;
    return std::equal(a.begin() + static_cast<std::ptrdiff_t>(from), a.begin() + static_cast<std::ptrdiff_t>(to),
                      b.begin() + static_cast<std::ptrdiff_t>(from));
}

// Row r, column c of the block table: 16-bit little-endian, stored column after column.
int TableValue(const std::vector<std::uint8_t>& file, std::size_t row, std::size_t column) {
    const std::size_t at = 34 + 2 * (row + kRows * column);
    return static_cast<std::int16_t>(file[at] | (file[at + 1] << 8));
}

}  // namespace

std::vector<std::uint8_t> ReadProfileFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (bytes.size() < 2 || bytes[0] != 0x1F || bytes[1] != 0x8B) return bytes;
    std::vector<std::uint8_t> out(kFileSize + 1);
    z_stream z{};
    if (inflateInit2(&z, 15 + 16) != Z_OK) return {};
    z.next_in = bytes.data();
    z.avail_in = static_cast<uInt>(bytes.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    const int status = inflate(&z, Z_FINISH);
    out.resize(z.total_out);
    inflateEnd(&z);
    // A plain backup file may begin with the gzip signature by chance.
    return status == Z_STREAM_END ? out : bytes;
}

bool FileHoldsProfile(const std::vector<std::uint8_t>& file, const ProfileAtStart& start) {
    if (file.size() != kFileSize || start.memory.size() < kSettingsBytes) return false;
    unsigned sum = 0;
    for (std::size_t i = 0; i < kHeaderBytes; ++i) {
        if (file[i] != start.memory[kHeaderByte + i]) return false;
        sum += file[i];
    }
    if (file[16] != (sum & 0xFFu)) return false;
    std::uint32_t serial = start.serial;
    for (std::size_t i = 6; i-- > 0;) {
        if (file[17 + i] != serial % 10) return false;
        serial /= 10;
    }
    for (std::size_t i = 23; i < 34; ++i)
        if (file[i] != 0) return false;

    const std::size_t firstBlock = start.firstUnit / 8;
    const std::size_t lastBlock = start.lastUnit / 8;
    if (lastBlock < firstBlock || lastBlock - firstBlock >= kRows || (lastBlock + 1) * 128 > start.memory.size())
        return false;
    for (std::size_t r = 0; r <= lastBlock - firstBlock; ++r) {
        const std::size_t block = firstBlock + r;
        if (TableValue(file, r, 0) != static_cast<int>(block * 8) - 256) return false;
        unsigned rowSum = 0;
        for (std::size_t k = 0; k < 128; ++k) {
            const std::uint8_t expected = start.memory[block * 128 + k];
            if (TableValue(file, r, k + 1) != expected) return false;
            rowSum += expected;
        }
        if (TableValue(file, r, 129) != static_cast<int>(rowSum & 0xFFu)) return false;
    }
    return true;
}

ProfilePlace LocateProfile(const ProfileAtStart& start, const std::vector<std::uint8_t>& memoryNow,
                           const std::filesystem::path& folder) {
    ProfilePlace place;
    const std::size_t from = std::size_t{start.firstUnit} / 8 * 128;
    const std::size_t to = (std::size_t{start.lastUnit} / 8 + 1) * 128;
    place.inDc = SameRange(start.memory, memoryNow, kHeaderByte, kHeaderByte + kHeaderBytes) &&
                 SameRange(start.memory, memoryNow, from, to);
    place.settingsIntact = SameRange(start.memory, memoryNow, 0, kHeaderByte) &&
                           SameRange(start.memory, memoryNow, kHeaderByte + kHeaderBytes, kSettingsBytes);

    char serialText[16];
    std::snprintf(serialText, sizeof serialText, "%06u", static_cast<unsigned>(start.serial % 1000000u));
    const std::string backupName = std::to_string(start.modelNumber) + "." + serialText + ".bin";
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        const std::string name = entry.path().filename().string();
        if (name == "VERNO.1B.FWR") continue;  // the firmware file the program reads
        if (name == "history") {
            for (const auto& kept : std::filesystem::directory_iterator(entry.path() / serialText, ec)) {
                ++place.historyFiles;
                place.historyHoldsProfile = place.historyHoldsProfile || FileHoldsProfile(ReadProfileFile(kept.path()), start);
            }
        } else if (name == backupName) {
            place.backupPresent = true;
            place.inFile = FileHoldsProfile(ReadProfileFile(entry.path()), start);
        } else {
            place.strayFiles.push_back(name);
        }
    }
    return place;
}

std::string ProfilePlace::Describe() const {
    std::string s = inDc && inFile ? "DC + file" : inDc ? "DC" : inFile ? "file" : "LOST";
    if (!settingsIntact) s += ", SETTINGS CHANGED";
    return s;
}

}  // namespace verno::campaign
