#include "firmware/FirmwareFile.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <system_error>
#include <optional>
#include <string>
#include <vector>

#include "common/ConfigRecord.h"
#include "common/Resources.h"

namespace verno::firmware {

namespace {

using Record = std::array<std::uint8_t, kRecordSize>;

constexpr std::size_t kKeyFirst = 8;
constexpr std::size_t kKeyLast = 15;
constexpr std::size_t kTextsStart = 32;

std::uint16_t Word(const Record& r, std::size_t offset) {
    return static_cast<std::uint16_t>(r[offset] << 8 | r[offset + 1]);
}

// Record n (from 1) of the file, or nothing when the file ends before its last byte.
std::optional<Record> ReadRecord(std::span<const std::uint8_t> file, std::size_t n) {
    const std::size_t start = kRecordSize * (n - 1);
    if (n == 0 || file.size() < start + kRecordSize) return std::nullopt;
    Record r;
    std::copy_n(file.begin() + static_cast<std::ptrdiff_t>(start), kRecordSize, r.begin());
    return r;
}

// A header text: each stored byte XOR the key bytes 8..15 in turn, ending at a stored 0.
// Returns the position of the terminator, or nothing when the record ends first.
std::optional<std::size_t> ReadText(const Record& r, std::size_t position, std::string& text) {
    std::size_t key = kKeyFirst;
    text.clear();
    while (position < kRecordSize && r[position] != 0) {
        text.push_back(static_cast<char>(r[position] ^ r[key]));
        key = key == kKeyLast ? kKeyFirst : key + 1;
        ++position;
    }
    if (position >= kRecordSize) return std::nullopt;
    return position;
}

// Reads count records from record number first on into blocks; the sum of their block bytes.
// None, or why the records cannot be code: the file ends first, or a record is no code record.
FileCause ReadArea(std::span<const std::uint8_t> file, std::size_t first, std::size_t count,
                   std::vector<CodeBlock>& blocks, std::uint16_t& sum) {
    if (count > kMaxAreaRecords) return FileCause::NotFirmware;
    blocks.clear();
    blocks.reserve(count);
    std::uint32_t running = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const auto r = ReadRecord(file, first + i);
        if (!r) return FileCause::TooShort;
        if ((*r)[0] >= 0x80) return FileCause::NotFirmware;  // a signed 16-bit address cannot hold it
        CodeBlock b;
        b.address = Word(*r, 0);
        b.blockByte = (*r)[130];
        for (std::size_t c = 0; c < b.code.size(); ++c) b.code[c] = (*r)[c + 2] ^ b.blockByte;
        running = (running + b.blockByte) % 65536;
        blocks.push_back(b);
    }
    sum = static_cast<std::uint16_t>(running);
    return FileCause::None;
}

// Header values and texts into fw; false when a text runs past the header.
bool ReadHeader(Record& h, FirmwareImage& fw, int& errorCode) {
    for (std::size_t k = 0; k < 8; ++k) h[k] ^= h[k + 8];
    fw.DcModelNumber = Word(h, 0);
    fw.FwVersion = {static_cast<char>(h[2]), static_cast<char>(h[3])};
    fw.DcMemoryBlocks = Word(h, 6);

    const auto nameEnd = ReadText(h, kTextsStart, fw.FwModelName);
    if (!nameEnd) return false;
    if (fw.FwModelName.empty()) errorCode = 4;
    const auto tagEnd = ReadText(h, *nameEnd + 1, fw.FwModelTag);
    if (!tagEnd) return false;
    if (fw.FwModelTag.empty()) errorCode = 5;

    if (h[30] == h[16] && h[31] == h[17]) {
        fw.layout = Layout::Area1Only;
    } else if (h[30] == h[20] && h[31] == h[21]) {
        fw.layout = Layout::Area2Only;
    } else {
        fw.layout = Layout::BothAreas;
    }
    fw.FwRevision = h[24];
    if (!fw.Area2Only()) {
        fw.Area1Sum = Word(h, 4);
        fw.Area1Records = Word(h, 16);
    }
    if (!fw.Area1Only()) {
        fw.Area2Sum = Word(h, 18);
        fw.Area2Records = Word(h, 20);
        fw.Area2Word = Word(h, 22);
    }
    return true;
}

bool Printable(const std::string& text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x20; });
}

// A header a firmware file could hold: a cut file keeps it, random bytes hardly ever make one.
bool PlausibleHeader(const FirmwareImage& fw) {
    return Printable(fw.FwModelName) && Printable(fw.FwModelTag) && Printable(fw.FwVersion) &&
           fw.Area1Records <= kMaxAreaRecords && fw.Area2Records <= kMaxAreaRecords;
}

FileCause ReadAreas(std::span<const std::uint8_t> file, FirmwareImage& fw) {
    switch (fw.layout) {
        case Layout::Area1Only:
            return ReadArea(file, 2, fw.Area1Records, fw.Area1Blocks, fw.Area1Computed);
        case Layout::Area2Only:
            return ReadArea(file, 2, fw.Area2Records, fw.Area2Blocks, fw.Area2Computed);
        case Layout::BothAreas:
            break;
    }
    if (const FileCause first = ReadArea(file, 2, fw.Area1Records, fw.Area1Blocks, fw.Area1Computed);
        first != FileCause::None)
        return first;
    // The record between the two areas is read but carries nothing for the DC.
    if (!ReadRecord(file, fw.Area1Records + 2u)) return FileCause::TooShort;
    return ReadArea(file, fw.Area1Records + 3u, fw.Area2Records, fw.Area2Blocks, fw.Area2Computed);
}

FirmwareError CheckSums(const FirmwareImage& fw) {
    if ((fw.Area1Only() && fw.Area1Computed != fw.Area1Sum) || (fw.Area2Only() && fw.Area2Computed != fw.Area2Sum))
        return FirmwareError::ChecksumError1;
    if (fw.BothAreas() && fw.Area1Computed != fw.Area1Sum) return FirmwareError::ChecksumError2;
    if (fw.BothAreas() && fw.Area2Computed != fw.Area2Sum) return FirmwareError::ChecksumError3;
    return FirmwareError::None;
}

DecodeResult Refused(FirmwareError error, FileCause cause) {
    DecodeResult refused;
    refused.error = error;
    refused.cause = cause;
    return refused;
}

}  // namespace

void ReadIdentityRecord(std::string_view record, FirmwareImage& fw) {
    std::size_t field = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= record.size(); ++i) {
        if (i == record.size() || record[i] == '|') {
            if (field == 4) {
                const std::string_view required = record.substr(start, i - start);
                fw.RequiredVersion = std::string(required.substr(0, 2));
                if (required.size() > 2) {
                    // The revision is read the way the configuration's language code is: leniently.
                    const double value = std::nearbyint(LenientNumber(required.substr(required.size() - 2)));
                    fw.RequiredRevision = static_cast<std::uint8_t>(std::clamp(value, 0.0, 255.0));
                }
            }
            ++field;
            start = i + 1;
        }
    }
}

const char* ChecksumMessage(FirmwareError error) {
    switch (error) {
        case FirmwareError::ChecksumError1: return "Check sum error 1!";
        case FirmwareError::ChecksumError2: return "Check sum error 2!";
        case FirmwareError::ChecksumError3: return "Check sum error 3!";
        default: return nullptr;
    }
}

DecodeResult DecodeFirmware(std::span<const std::uint8_t> file) {
    DecodeResult result;
    result.fileSize = file.size();
    FirmwareImage& fw = result.image;
    auto fail = [&result](FirmwareError e, FileCause cause) {
        result.error = e;
        result.cause = cause;
        return result;
    };

    auto header = ReadRecord(file, 1);
    if (!header) return fail(FirmwareError::Unreadable, FileCause::TooShort);
    if (!ReadHeader(*header, fw, result.errorCode)) return fail(FirmwareError::Unreadable, FileCause::NotFirmware);
    ReadIdentityRecord(resources::kDeviceIdentityRecord, fw);
    const bool plausible = PlausibleHeader(fw);

    if (const FileCause read = ReadAreas(file, fw); read != FileCause::None)
        return fail(FirmwareError::Unreadable, plausible ? read : FileCause::NotFirmware);
    if (result.errorCode == 4) return fail(FirmwareError::EmptyModelName, FileCause::NotFirmware);
    if (result.errorCode == 5) return fail(FirmwareError::EmptyModelTag, FileCause::NotFirmware);
    if (const FirmwareError sums = CheckSums(fw); sums != FirmwareError::None)
        return fail(sums, plausible ? FileCause::CheckValue : FileCause::NotFirmware);
    return result;
}

DecodeResult LoadFirmwareFile(const std::filesystem::path& path) {
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (std::filesystem::is_directory(status)) return Refused(FirmwareError::Missing, FileCause::Folder);
    if (!std::filesystem::exists(status)) return Refused(FirmwareError::Missing, FileCause::Missing);
    if (!std::filesystem::is_regular_file(status)) return Refused(FirmwareError::Missing, FileCause::NotFirmware);

    // No header can ask for more than this; anything after it is never read.
    constexpr std::size_t kLongestUsefulFile = kRecordSize * (1 + kMaxAreaRecords + 1 + kMaxAreaRecords);
    std::vector<std::uint8_t> bytes(kLongestUsefulFile);
    errno = 0;
#ifdef _WIN32
    std::FILE* in = _wfopen(path.c_str(), L"rb");
#else
    std::FILE* in = std::fopen(path.c_str(), "rb");
#endif
    const std::size_t got = in != nullptr ? std::fread(bytes.data(), 1, bytes.size(), in) : 0;
    const bool failed = in == nullptr || std::ferror(in) != 0;
    const int error = errno;
    if (in != nullptr) std::fclose(in);
    if (failed) {
        DecodeResult unreadable = Refused(FirmwareError::Unreadable, FileCause::Unreadable);
        unreadable.systemReason = std::error_code(error != 0 ? error : EIO, std::generic_category()).message();
        return unreadable;
    }
    bytes.resize(got);
    return DecodeFirmware(bytes);
}

}  // namespace verno::firmware
