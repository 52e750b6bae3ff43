#include "profile/Gzip.h"

#include <zlib.h>

#include <array>
#include <cstring>

namespace verno::profile {

namespace {

constexpr int kGzipWindow = 15 + 16;  // zlib's way of asking for a gzip header and trailer

}  // namespace

std::vector<std::uint8_t> Gzip(std::span<const std::uint8_t> bytes, std::int64_t mtime, const std::string& name) {
    z_stream z{};
    if (deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, kGzipWindow, 8, Z_DEFAULT_STRATEGY) != Z_OK) return {};
    std::vector<char> nameField(name.begin(), name.end());
    nameField.push_back('\0');
    gz_header header{};
    header.time = static_cast<uLong>(mtime);
    header.os = 255;  // unknown: the same bytes on every system
    header.name = reinterpret_cast<Bytef*>(nameField.data());
    deflateSetHeader(&z, &header);
    std::vector<std::uint8_t> out(deflateBound(&z, static_cast<uLong>(bytes.size())) + name.size() + 32);
    z.next_in = const_cast<Bytef*>(bytes.data());
    z.avail_in = static_cast<uInt>(bytes.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    const int status = deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return status == Z_STREAM_END ? out : std::vector<std::uint8_t>();
}

std::optional<GzipMember> Gunzip(std::span<const std::uint8_t> gz, std::size_t limit) {
    z_stream z{};
    if (inflateInit2(&z, kGzipWindow) != Z_OK) return std::nullopt;
    std::array<char, 256> name{};
    gz_header header{};
    header.name = reinterpret_cast<Bytef*>(name.data());
    header.name_max = static_cast<uInt>(name.size() - 1);
    inflateGetHeader(&z, &header);

    GzipMember member;
    std::array<std::uint8_t, 16384> chunk{};
    z.next_in = const_cast<Bytef*>(gz.data());
    z.avail_in = static_cast<uInt>(gz.size());
    int status = Z_OK;
    while (status == Z_OK) {
        z.next_out = chunk.data();
        z.avail_out = static_cast<uInt>(chunk.size());
        status = inflate(&z, Z_NO_FLUSH);
        const std::size_t got = chunk.size() - z.avail_out;
        if (member.bytes.size() + got > limit) status = Z_BUF_ERROR;
        else member.bytes.insert(member.bytes.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(got));
        if (status == Z_BUF_ERROR && z.avail_in == 0) break;  // cut short
    }
    const bool whole = status == Z_STREAM_END && z.avail_in == 0 && header.done == 1;
    inflateEnd(&z);
    if (!whole) return std::nullopt;
    member.mtime = static_cast<std::int64_t>(header.time);
    member.name = std::string(name.data(), strnlen(name.data(), name.size()));
    return member;
}

}  // namespace verno::profile
