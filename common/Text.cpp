#include "Text.h"

namespace verno {

std::string Percent(long i, long n) {
    const long scaled = i * 100;
    long q = scaled / n;
    const long twiceRest = 2 * (scaled % n);
    if (twiceRest > n || (twiceRest == n && q % 2 != 0)) ++q;
    return std::to_string(q) + "%";
}

std::string TwoDigitNumber(long value) {
    std::string digits = std::to_string(value < 0 ? -value : value);
    if (digits.size() < 2) digits.insert(0, 2 - digits.size(), '0');
    return value < 0 ? "-" + digits : digits;
}

std::string FillPlaceholders(std::string_view text, std::initializer_list<std::string_view> values) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::size_t n = i + 1 < text.size() && text[i] == '%' ? static_cast<std::size_t>(text[i + 1] - '1') : 9;
        if (n < values.size()) {
            out += values.begin()[n];
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string Latin1ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            out.push_back(c);
        } else {
            out.push_back(static_cast<char>(0xC0 | (b >> 6)));
            out.push_back(static_cast<char>(0x80 | (b & 0x3F)));
        }
    }
    return out;
}

std::string VersionText(std::string_view version, std::optional<long> revision) {
    std::string text = Latin1ToUtf8(version);
    if (revision) text += "." + TwoDigitNumber(*revision);
    return text;
}

}  // namespace verno
