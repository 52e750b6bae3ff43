#include "common/ConfigRecord.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace verno {

namespace {

bool Skipped(char c) { return c == ' ' || c == '\t' || c == '\n'; }

int DigitValue(char c, int base) {
    int v = -1;
    if (c >= '0' && c <= '9') v = c - '0';
    else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
    return v >= 0 && v < base ? v : -1;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

double ReadRadix(const std::string& s, std::size_t pos, int base) {
    double value = 0.0;
    for (; pos < s.size(); ++pos) {
        const int d = DigitValue(s[pos], base);
        if (d < 0) break;
        value = value * base + d;
    }
    return value;
}

double ReadDecimal(const std::string& s) {
    // Copy the longest prefix that forms a number into a plain "[-]d[.d][e[-]d]" text; the
    // conversion then does not depend on the process's locale.
    std::string plain;
    std::size_t pos = 0;
    if (pos < s.size() && (s[pos] == '+' || s[pos] == '-')) {
        if (s[pos] == '-') plain.push_back('-');
        ++pos;
    }
    bool mantissaDigits = false;
    for (; pos < s.size() && IsDigit(s[pos]); ++pos) {
        plain.push_back(s[pos]);
        mantissaDigits = true;
    }
    if (pos < s.size() && s[pos] == '.') {
        ++pos;
        std::string fraction;
        for (; pos < s.size() && IsDigit(s[pos]); ++pos) fraction.push_back(s[pos]);
        if (!fraction.empty()) {
            if (!mantissaDigits) plain.push_back('0');
            plain += "." + fraction;
            mantissaDigits = true;
        }
    }
    if (!mantissaDigits) return 0.0;

    bool negativeExponent = false;
    if (pos < s.size() && (s[pos] == 'e' || s[pos] == 'E' || s[pos] == 'd' || s[pos] == 'D')) {
        std::size_t e = pos + 1;
        if (e < s.size() && (s[e] == '+' || s[e] == '-')) {
            negativeExponent = s[e] == '-';
            ++e;
        }
        std::string digits;
        for (; e < s.size() && IsDigit(s[e]); ++e) digits.push_back(s[e]);
        if (!digits.empty()) plain += (negativeExponent ? "e-" : "e") + digits;
    }

    double value = 0.0;
    const auto [end, ec] = std::from_chars(plain.data(), plain.data() + plain.size(), value);
    (void)end;
    if (ec == std::errc::result_out_of_range) {
        const bool negative = plain.front() == '-';
        if (negativeExponent) return negative ? -0.0 : 0.0;
        return negative ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
    }
    return ec == std::errc() ? value : 0.0;
}

double RoundHalfEven(double x) {
    const double lower = std::floor(x);
    const double rest = x - lower;
    if (rest > 0.5) return lower + 1.0;
    if (rest < 0.5) return lower;
    return std::fmod(lower, 2.0) == 0.0 ? lower : lower + 1.0;
}

}  // namespace

double LenientNumber(std::string_view text) {
    std::string s;
    s.reserve(text.size());
    for (const char c : text)
        if (!Skipped(c)) s.push_back(c);

    if (s.size() >= 2 && s[0] == '&') {
        if (s[1] == 'h' || s[1] == 'H') return ReadRadix(s, 2, 16);
        if (s[1] == 'o' || s[1] == 'O') return ReadRadix(s, 2, 8);
    }
    return ReadDecimal(s);
}

std::int32_t LanguageIndexFromCode(double code) {
    constexpr double kMin = std::numeric_limits<std::int32_t>::min();
    constexpr double kMax = std::numeric_limits<std::int32_t>::max();
    double rounded = RoundHalfEven(code - 5000.0);
    if (std::isnan(rounded)) rounded = 0.0;
    // A code this far out names no column anyway; clamping keeps the arithmetic defined.
    if (rounded < kMin) rounded = kMin;
    if (rounded > kMax) rounded = kMax;
    return static_cast<std::int32_t>(rounded) / 1000 + 1;
}

std::optional<ConfigRecord> ReadConfigRecord(std::string_view record,
                                             const std::filesystem::path& programFolder) {
    ConfigRecord config;
    std::size_t start = 0;
    while (true) {
        const std::size_t bar = record.find('|', start);
        config.ConfigFields.emplace_back(record.substr(start, bar == std::string_view::npos ? bar : bar - start));
        if (bar == std::string_view::npos) break;
        start = bar + 1;
    }
    const auto& fields = config.ConfigFields;
    if (fields.size() < 2) return std::nullopt;

    // Field 0 is a file name in the program's folder; an absolute name must not lead out of it.
    config.FirmwareFileName = std::filesystem::path(fields[0]).relative_path();
    config.FirmwareFilePath = programFolder / config.FirmwareFileName;
    config.CloseProgramName = fields.size() >= 3 ? fields[2] : std::string();
    config.LanguageIndex = fields.size() >= 4 ? LanguageIndexFromCode(LenientNumber(fields[3])) : 1;
    return config;
}

}  // namespace verno
