#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/ByteReader.h"
#include "fuzz/FuzzCheck.h"
#include "fuzz/MemoryFile.h"
#include "fuzz/Targets.h"
#include "profile/BackupFile.h"
#include "profile/ProfileRange.h"

namespace verno::fuzz {

namespace {

using profile::BackupContents;
using profile::BackupFileStatus;
using profile::kBackupFileSize;
using profile::kProfileColumns;
using profile::kProfileRows;

constexpr std::size_t kFrontBytes = profile::kBackupBlocksOffset;  // header and serial digits
constexpr std::size_t kPatchBytes = 5;                              // value index (3), value (2)
constexpr std::uint8_t kUntouchedByte = 0xEE;
constexpr std::int16_t kUntouchedValue = -7;

const char* StatusName(BackupFileStatus s) {
    switch (s) {
        case BackupFileStatus::Ok: return "ok";
        case BackupFileStatus::Missing: return "missing";
        case BackupFileStatus::Damaged: return "damaged";
        case BackupFileStatus::Unreadable: return "unreadable";
    }
    return "?";
}

// Raw reads: the callers have checked the size, and these loops run over every value.
std::int16_t ValueAt(const std::uint8_t* bytes, std::size_t row, std::size_t column) {
    const std::size_t at = profile::BackupValueOffset(row, column);
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8));
}

// What the format allows: the whole size, write addresses 0..32767, bytes and sums 0..255, and
// every row's bytes adding up to its sum.
bool WellFormed(std::span<const std::uint8_t> bytes) {
    if (bytes.size() != kBackupFileSize) return false;
    for (std::size_t r = 0; r < kProfileRows; ++r) {
        unsigned sum = 0;
        for (std::size_t c = 0; c < kProfileColumns; ++c) {
            const std::int16_t v = ValueAt(bytes.data(), r, c);
            if (v < 0 || (c > 0 && v > 255)) return false;
            if (c > 0 && c < profile::kSumColumn) sum += static_cast<unsigned>(v);
        }
        if (static_cast<unsigned>(ValueAt(bytes.data(), r, profile::kSumColumn)) != sum % 256) return false;
    }
    return true;
}

void MarkUntouched(BackupContents& c) {
    c.ProfileHeader.fill(kUntouchedByte);
    c.SerialDigits.fill(kUntouchedByte);
    for (auto& row : c.ProfileBlocks) row.fill(kUntouchedValue);
}

bool Untouched(const BackupContents& c) {
    for (const std::uint8_t b : c.ProfileHeader)
        if (b != kUntouchedByte) return false;
    for (const std::uint8_t b : c.SerialDigits)
        if (b != kUntouchedByte) return false;
    for (const auto& row : c.ProfileBlocks)
        for (const std::int16_t v : row)
            if (v != kUntouchedValue) return false;
    return true;
}

// The contents are the file's bytes, value for value, where the format puts them.
bool HoldsTheFile(const BackupContents& c, std::span<const std::uint8_t> bytes) {
    if (!std::equal(c.ProfileHeader.begin(), c.ProfileHeader.end(), bytes.begin() + profile::kBackupHeaderOffset))
        return false;
    if (!std::equal(c.SerialDigits.begin(), c.SerialDigits.end(), bytes.begin() + profile::kBackupSerialOffset))
        return false;
    for (std::size_t r = 0; r < kProfileRows; ++r)
        for (std::size_t col = 0; col < kProfileColumns; ++col)
            if (c.ProfileBlocks[r][col] != ValueAt(bytes.data(), r, col)) return false;
    return true;
}

// A loaded profile whose range the table holds never sends the restore outside its rows or
// below the profile area.
void CheckRange(const BackupContents& c, std::uint16_t dcMemoryBlocks) {
    const std::int32_t start = profile::DecodePointer(c.ProfileHeader[8], c.ProfileHeader[9], dcMemoryBlocks);
    const std::int32_t end = profile::DecodePointer(c.ProfileHeader[10], c.ProfileHeader[11], dcMemoryBlocks);
    VERNO_FUZZ_CHECK(start >= 0 && end >= 0 && start <= 0xFFFF && end <= 0xFFFF);
    if (start == end) return;
    const profile::ProfileRange range = profile::ApplyRangeRule(start, end, dcMemoryBlocks);
    VERNO_FUZZ_CHECK(range.start >= 256 && range.end >= 256);
    VERNO_FUZZ_CHECK(range.firstReadAddress % 8 == 0 && range.firstReadAddress <= range.start);
    VERNO_FUZZ_CHECK(range.blockCount >= 0);
    if (!range.Fits()) return;
    VERNO_FUZZ_CHECK(range.blockCount <= static_cast<std::int32_t>(kProfileRows));
    if (range.blockCount == 0) return;
    const std::int32_t firstWrite = range.firstReadAddress - 256;
    const std::int32_t lastWrite = firstWrite + 8 * (range.blockCount - 1);
    VERNO_FUZZ_CHECK(firstWrite >= 0 && lastWrite <= 32767);
}

// Ok exactly for a well-formed file, then holding it; otherwise the caller's contents untouched.
void CheckOutcome(std::span<const std::uint8_t> bytes, BackupFileStatus status, const BackupContents& out) {
    VERNO_FUZZ_CHECK(status == BackupFileStatus::Ok || status == BackupFileStatus::Damaged);
    VERNO_FUZZ_CHECK((status == BackupFileStatus::Ok) == WellFormed(bytes));
    VERNO_FUZZ_CHECK(status == BackupFileStatus::Ok ? HoldsTheFile(out, bytes) : Untouched(out));
}

BackupFileStatus DecodeAndCheck(std::span<const std::uint8_t> bytes, BackupContents& out) {
    MarkUntouched(out);
    const BackupFileStatus status = profile::DecodeBackupFile(bytes, out);
    CheckOutcome(bytes, status, out);
    if (status == BackupFileStatus::Ok) {
        // The memory sizes a firmware header can name: the two real ones and the extremes.
        for (const std::uint16_t blocks : {std::uint16_t{512}, std::uint16_t{1024}, std::uint16_t{0}, std::uint16_t{0xFFFF}})
            CheckRange(out, blocks);
    }
    return status;
}

// The same bytes as a file on disk: the reader stops one read past the size and answers alike.
void ReadAndCheck(std::span<const std::uint8_t> bytes, BackupFileStatus decoded, BackupContents& out) {
    const MemoryFile file(bytes);
    if (!file.Ok()) return;
    MarkUntouched(out);
    const BackupFileStatus status = profile::ReadBackupFile(file.Path(), out);
    VERNO_FUZZ_CHECK(status == decoded);
    CheckOutcome(bytes, status, out);
}

// A valid backup of a 48-block profile for the edits to start from.
std::vector<std::uint8_t> BaseFile() {
    auto state = std::make_unique<profile::ProfileState>();
    for (std::size_t r = 0; r < 48; ++r) {
        auto& row = state->ProfileBlocks[r];
        row[0] = static_cast<std::int16_t>(8 * r);
        unsigned sum = 0;
        for (std::size_t c = 1; c <= 128; ++c) {
            row[c] = static_cast<std::int16_t>((r * 31 + c * 7) & 0xFF);
            sum += static_cast<unsigned>(row[c]);
        }
        row[profile::kSumColumn] = static_cast<std::int16_t>(sum % 256);
    }
    return profile::EncodeBackupFile(*state);
}

}  // namespace

std::string BackupFileTarget(std::span<const std::uint8_t> input) {
    // One set of contents for every decoding: a backup's table is too big to allocate often.
    auto out = std::make_unique<BackupContents>();
    const BackupFileStatus status = DecodeAndCheck(input, *out);
    ReadAndCheck(input, status, *out);
    std::string account = std::string("backup ") + StatusName(status);
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
    account += std::string(", edited ") + StatusName(DecodeAndCheck(edited, *out));
    return account;
}

}  // namespace verno::fuzz
