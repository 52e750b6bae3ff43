#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/ByteReader.h"
#include "fuzz/FuzzCheck.h"
#include "fuzz/MemoryFile.h"
#include "fuzz/Targets.h"
#include "platform/Files.h"
#include "profile/BackupFile.h"
#include "profile/Gzip.h"
#include "profile/ProfileFiles.h"
#include "profile/ProfileRange.h"

namespace verno::fuzz {

namespace {

using profile::BackupCheck;
using profile::kBackupFileSize;
using profile::kProfileColumns;
using profile::kProfileRows;

constexpr std::size_t kFrontBytes = profile::kBackupBlocksOffset;  // header and serial digits
constexpr std::size_t kPatchBytes = 5;                              // value index (3), value (2)

const char* CheckName(BackupCheck c) {
    switch (c) {
        case BackupCheck::Ok: return "ok";
        case BackupCheck::Empty: return "empty";
        case BackupCheck::OtherSize: return "other-size";
        case BackupCheck::Damaged: return "damaged";
    }
    return "?";
}

// Raw reads: the callers have checked the size.
std::int16_t ValueAt(std::span<const std::uint8_t> bytes, std::size_t row, std::size_t column) {
    const std::size_t at = profile::BackupValueOffset(row, column);
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8));
}

// The rows in use of a file for a DC of that memory size, worked out from the bytes alone:
// -1 when it holds no whole profile for it (equal pointers, a range past the table, a row in
// use out of range, not adding up or not where the header puts it).
int RowsInUse(std::span<const std::uint8_t> bytes, std::uint16_t memoryBlocks) {
    const std::int32_t start = profile::DecodePointer(bytes[8], bytes[9], memoryBlocks);
    const std::int32_t end = profile::DecodePointer(bytes[10], bytes[11], memoryBlocks);
    if (start == end) return -1;
    const profile::ProfileRange range = profile::ApplyRangeRule(start, end, memoryBlocks);
    if (!range.Fits()) return -1;
    for (std::int32_t r = 0; r < range.blockCount; ++r) {
        const auto row = static_cast<std::size_t>(r);
        if (ValueAt(bytes, row, 0) != range.firstReadAddress + 8 * r - 256) return -1;
        unsigned sum = 0;
        for (std::size_t c = 1; c < kProfileColumns; ++c) {
            const std::int16_t v = ValueAt(bytes, row, c);
            if (v < 0 || v > 255) return -1;
            if (c < profile::kSumColumn) sum += static_cast<unsigned>(v);
        }
        if (static_cast<unsigned>(ValueAt(bytes, row, profile::kSumColumn)) != sum % 256) return -1;
    }
    return range.blockCount;
}

BackupCheck Expected(std::span<const std::uint8_t> bytes, std::uint16_t memoryBlocks) {
    if (bytes.size() != kBackupFileSize) return BackupCheck::Damaged;
    unsigned headerSum = 0;
    for (std::size_t i = 0; i < 16; ++i) headerSum += bytes[i];
    if (headerSum % 256 != bytes[16]) return BackupCheck::Damaged;
    if (profile::DecodePointer(bytes[8], bytes[9], memoryBlocks) == profile::DecodePointer(bytes[10], bytes[11], memoryBlocks))
        return BackupCheck::Empty;
    const int own = RowsInUse(bytes, memoryBlocks);
    const int theirs = RowsInUse(bytes, memoryBlocks == 1024 ? 512 : 1024);
    if (own >= 0 && theirs <= own) return BackupCheck::Ok;
    return theirs >= 0 ? BackupCheck::OtherSize : BackupCheck::Damaged;
}

// An image holds the file's profile: header, serial digits and every row in use, value for value,
// and encodes back to the same bytes there; its range sends the restore nowhere outside its rows.
void CheckImage(const profile::ProfileImage& image, std::span<const std::uint8_t> bytes, std::uint16_t memoryBlocks) {
    VERNO_FUZZ_CHECK(std::equal(image.ProfileHeader.begin(), image.ProfileHeader.end(), bytes.begin()));
    VERNO_FUZZ_CHECK(std::equal(image.SerialDigits.begin(), image.SerialDigits.begin() + 6, bytes.begin() + 17));
    VERNO_FUZZ_CHECK(image.ProfileBlockCount == RowsInUse(bytes, memoryBlocks));
    const auto rows = static_cast<std::size_t>(image.ProfileBlockCount);
    VERNO_FUZZ_CHECK(rows >= 1 && rows <= kProfileRows);
    for (std::size_t r = 0; r < rows; ++r)
        for (std::size_t c = 0; c < kProfileColumns; ++c) VERNO_FUZZ_CHECK(image.ProfileBlocks[r][c] == ValueAt(bytes, r, c));
    const std::int32_t firstWrite = image.ProfileBlocks[0][0];
    const std::int32_t lastWrite = image.ProfileBlocks[rows - 1][0];
    VERNO_FUZZ_CHECK(firstWrite >= 0 && lastWrite <= 32767);
    const std::vector<std::uint8_t> again = profile::EncodeBackupFile(image);
    for (std::size_t r = 0; r < rows; ++r)
        for (std::size_t c = 0; c < kProfileColumns; ++c) VERNO_FUZZ_CHECK(ValueAt(again, r, c) == ValueAt(bytes, r, c));
}

// The check of both memory sizes, each against the one worked out from the bytes.
BackupCheck DecodeAndCheck(std::span<const std::uint8_t> bytes) {
    BackupCheck first = BackupCheck::Damaged;
    for (const std::uint16_t memoryBlocks : {std::uint16_t{512}, std::uint16_t{1024}}) {
        const profile::DecodedBackup decoded = profile::DecodeBackupFile(bytes, memoryBlocks);
        VERNO_FUZZ_CHECK(decoded.check == Expected(bytes, memoryBlocks));
        VERNO_FUZZ_CHECK((decoded.image != nullptr) == (decoded.check == BackupCheck::Ok));
        if (decoded.image) CheckImage(*decoded.image, bytes, memoryBlocks);
        if (memoryBlocks == 512) first = decoded.check;
    }
    return first;
}

// The same bytes as a file on disk: the reader answers alike, unless they are a gzip member,
// which the reader unpacks first.
void ReadAndCheck(std::span<const std::uint8_t> bytes, BackupCheck decoded) {
    if (profile::LooksGzipped(bytes) && profile::Gunzip(bytes, kBackupFileSize + 1)) return;
    const MemoryFile file(bytes);
    if (!file.Ok()) return;
    platform::SystemFiles disk;
    profile::ProfileFiles files(disk);
    const profile::ProfileFile read = files.Read(file.Path(), 512);
    using profile::ProfileFileStatus;
    switch (decoded) {
        case BackupCheck::Ok: VERNO_FUZZ_CHECK(read.status == ProfileFileStatus::Ok); break;
        case BackupCheck::Empty: VERNO_FUZZ_CHECK(read.status == ProfileFileStatus::Empty); break;
        case BackupCheck::OtherSize: VERNO_FUZZ_CHECK(read.status == ProfileFileStatus::OtherSize); break;
        case BackupCheck::Damaged: VERNO_FUZZ_CHECK(read.status == ProfileFileStatus::Damaged); break;
    }
}

// A valid backup of a 48-block profile on a 512-block DC, units 256..639, for the edits to
// start from.
std::vector<std::uint8_t> BaseFile() {
    auto image = std::make_unique<profile::ProfileImage>();
    const std::uint8_t header[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0x00, 0x10, 0xF0, 0x27, 0, 0, 0, 0};
    unsigned sum = 0;
    for (std::size_t i = 0; i < 16; ++i) {
        image->ProfileHeader[i] = header[i];
        sum += header[i];
    }
    image->ProfileHeader[16] = static_cast<std::uint8_t>(sum % 256);
    image->SerialDigits = {1, 2, 3, 4, 5, 6};
    image->ProfileBlockCount = 48;
    for (std::size_t r = 0; r < 48; ++r) {
        auto& row = image->ProfileBlocks[r];
        row[0] = static_cast<std::int16_t>(8 * r);
        unsigned rowSum = 0;
        for (std::size_t c = 1; c <= 128; ++c) {
            row[c] = static_cast<std::int16_t>((r * 31 + c * 7) & 0xFF);
            rowSum += static_cast<unsigned>(row[c]);
        }
        row[profile::kSumColumn] = static_cast<std::int16_t>(rowSum % 256);
    }
    return profile::EncodeBackupFile(*image);
}

}  // namespace

std::string BackupFileTarget(std::span<const std::uint8_t> input) {
    const BackupCheck check = DecodeAndCheck(input);
    ReadAndCheck(input, check);
    std::string account = std::string("backup ") + CheckName(check);
    if (input.size() == kBackupFileSize) return account;

    // Random bytes are almost never a whole backup: the input also edits a valid one, its first
    // 34 bytes the header and serial digits, then (value index, little-endian value) edits.
    static const std::vector<std::uint8_t> kBase = BaseFile();
    std::vector<std::uint8_t> edited = kBase;
    ByteReader reader(input);
    const auto front = reader.Take(kFrontBytes);
    std::copy(front.begin(), front.end(), edited.begin());
    while (reader.Left() >= kPatchBytes) {
        const std::uint32_t low = reader.Byte();
        const std::uint32_t mid = reader.Byte();
        const std::uint32_t high = reader.Byte();
        const std::size_t index = (low | mid << 8 | high << 16) % (kProfileRows * kProfileColumns);
        const std::size_t at = profile::BackupValueOffset(index % kProfileRows, index / kProfileRows);
        edited[at] = reader.Byte();
        edited[at + 1] = reader.Byte();
    }
    account += std::string(", edited ") + CheckName(DecodeAndCheck(edited));
    return account;
}

}  // namespace verno::fuzz
