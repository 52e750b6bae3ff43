#include "profile/Block0.h"

#include <algorithm>

#include "profile/ProfileRange.h"

namespace verno::profile {

namespace {

constexpr std::size_t kStartPointer = 8;  // in the header
constexpr std::size_t kEndPointer = 10;

int Bcd(std::uint8_t x) { return (x / 16) * 10 + x % 16; }

}  // namespace

HeaderPointers DecodeHeaderPointers(std::span<const std::uint8_t> header, std::uint16_t dcMemoryBlocks) {
    const auto at = [&](std::size_t i) -> std::uint8_t { return i < header.size() ? header[i] : 0; };
    return {DecodePointer(at(kStartPointer), at(kStartPointer + 1), dcMemoryBlocks),
            DecodePointer(at(kEndPointer), at(kEndPointer + 1), dcMemoryBlocks)};
}

std::int32_t Block0::Serial() const {
    return Bcd(At(kSerialOffset)) * 10000 + Bcd(At(kSerialOffset + 1)) * 100 + Bcd(At(kSerialOffset + 2));
}

ProfileHeaderBytes Block0::Header() const {
    ProfileHeaderBytes header{};
    for (std::size_t k = 0; k < header.size(); ++k) header[k] = At(kHeaderOffset + k);
    return header;
}

}  // namespace verno::profile
