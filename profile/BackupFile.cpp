#include "profile/BackupFile.h"

#include <algorithm>
#include <cstdio>

#include "common/Sum8.h"
#include "profile/Block0.h"
#include "profile/ProfileRange.h"

namespace verno::profile {

namespace {

constexpr std::size_t kSerialDigitCount = 6;

std::int16_t ValueAt(std::span<const std::uint8_t> bytes, std::size_t row, std::size_t column) {
    const std::size_t at = BackupValueOffset(row, column);
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8)));
}

// The rows in use for that memory size, or -1 when the file is no profile for it: equal pointers,
// a range past the table, or a row in use that is out of range, does not add up or lies elsewhere.
int RowsInUse(const ProfileImage& image, std::uint16_t memoryBlocks) {
    const auto [start, end] = DecodeHeaderPointers(image.ProfileHeader, memoryBlocks);
    if (start == end) return -1;
    const ProfileRange range = ApplyRangeRule(start, end, memoryBlocks);
    if (!range.Fits() || !RowsFollowRange(image.ProfileBlocks, range)) return -1;
    for (std::int32_t r = 0; r < range.blockCount; ++r) {
        const ProfileRow& row = image.ProfileBlocks[static_cast<std::size_t>(r)];
        std::array<std::uint8_t, kSumColumn - 1> data{};
        for (std::size_t c = 1; c <= kSumColumn; ++c)
            if (row[c] < 0 || row[c] > 255) return -1;
        for (std::size_t c = 1; c < kSumColumn; ++c) data[c - 1] = static_cast<std::uint8_t>(row[c]);
        // A flipped byte would otherwise go into the DC as if it were the diver's.
        if (Sum8(data) != row[kSumColumn]) return -1;
    }
    return range.blockCount;
}

}  // namespace

std::string SerialText(std::int32_t serial) {
    char text[16];
    std::snprintf(text, sizeof text, "%06d", static_cast<int>(serial));
    return text;
}

std::array<std::uint8_t, 17> SerialDigitsOf(std::int32_t serial) {
    std::array<std::uint8_t, 17> digits{};
    const std::string text = SerialText(serial);
    for (std::size_t i = 0; i < kSerialDigitCount && i < text.size(); ++i)
        digits[i] = static_cast<std::uint8_t>(text[i] - '0');
    return digits;
}

std::int32_t SerialOf(const std::array<std::uint8_t, 17>& digits) {
    std::int32_t serial = 0;
    for (std::size_t i = 0; i < kSerialDigitCount; ++i) serial = serial * 10 + digits[i] % 10;
    return serial;
}

std::filesystem::path BackupFileName(const std::filesystem::path& folder, std::uint16_t modelNumber,
                                     std::int32_t serial) {
    return folder / (std::to_string(modelNumber) + "." + SerialText(serial) + ".bin");
}

std::vector<std::uint8_t> EncodeBackupFile(const ProfileImage& image) {
    std::vector<std::uint8_t> bytes(kBackupFileSize, 0);
    std::copy(image.ProfileHeader.begin(), image.ProfileHeader.end(), bytes.begin() + kBackupHeaderOffset);
    std::copy_n(image.SerialDigits.begin(), kSerialDigitCount, bytes.begin() + kBackupSerialOffset);
    const auto rows = static_cast<std::size_t>(std::clamp<int>(image.ProfileBlockCount, 0, static_cast<int>(kProfileRows)));
    for (std::size_t c = 0; c < kProfileColumns; ++c) {
        for (std::size_t r = 0; r < rows; ++r) {
            const auto v = static_cast<std::uint16_t>(image.ProfileBlocks[r][c]);
            const std::size_t at = BackupValueOffset(r, c);
            bytes[at] = static_cast<std::uint8_t>(v & 0xFF);
            bytes[at + 1] = static_cast<std::uint8_t>(v >> 8);
        }
    }
    return bytes;
}

DecodedBackup DecodeBackupFile(std::span<const std::uint8_t> bytes, std::uint16_t dcMemoryBlocks) {
    DecodedBackup out;
    if (bytes.size() != kBackupFileSize) return out;
    auto image = std::make_unique<ProfileImage>();
    std::copy_n(bytes.begin() + kBackupHeaderOffset, image->ProfileHeader.size(), image->ProfileHeader.begin());
    std::copy_n(bytes.begin() + kBackupSerialOffset, image->SerialDigits.size(), image->SerialDigits.begin());
    // The spare bytes of the serial record carry nothing a reader needs.
    std::fill(image->SerialDigits.begin() + kSerialDigitCount, image->SerialDigits.end(), 0);
    for (std::size_t c = 0; c < kProfileColumns; ++c)
        for (std::size_t r = 0; r < kProfileRows; ++r) image->ProfileBlocks[r][c] = ValueAt(bytes, r, c);

    // A flipped header byte would leave the DC with a header it refuses and a profile it cannot find.
    if (Sum8(std::span(image->ProfileHeader).first(16)) != image->ProfileHeader[16]) return out;
    const auto [start, end] = DecodeHeaderPointers(image->ProfileHeader, dcMemoryBlocks);
    if (start == end) {
        out.check = BackupCheck::Empty;
        return out;
    }
    const int own = RowsInUse(*image, dcMemoryBlocks);
    const int theirs = RowsInUse(*image, dcMemoryBlocks == 1024 ? 512 : 1024);
    // A file that fits both sizes is the one whose longer range its rows follow: those rows'
    // addresses cannot be chance.
    if (own >= 0 && theirs <= own) {
        image->ProfileBlockCount = static_cast<std::int16_t>(own);
        out.check = BackupCheck::Ok;
        out.image = std::move(image);
    } else if (theirs >= 0) {
        out.check = BackupCheck::OtherSize;
    }
    return out;
}

}  // namespace verno::profile
