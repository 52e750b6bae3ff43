#include "firmware/Identity.h"

#include <algorithm>
#include <vector>

namespace verno::firmware {

namespace {

std::string Lower(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](char c) {
                       // The DC and the firmware file speak single-byte Latin-1: fold its capitals too.
                       const auto u = static_cast<unsigned char>(c);
                       if ((u >= 'A' && u <= 'Z') || (u >= 0xC0 && u <= 0xDE && u != 0xD7))
                           return static_cast<char>(u + 0x20);
                       return c;
                   });
    return out;
}

std::string LastTwo(const std::string& word) { return word.size() <= 2 ? word : word.substr(word.size() - 2); }

}  // namespace

bool IsDemoFirmware(const FirmwareImage& fw) { return Lower(fw.FwModelTag).find("demo") != std::string::npos; }

bool CheckIdentity(std::string& text, const FirmwareImage& fw, std::string& dcVersion) {
    // One left-to-right pass: three spaces become two.
    std::string reduced;
    for (std::size_t i = 0; i < text.size(); ++i) {
        reduced.push_back(text[i]);
        if (text[i] == ' ' && i + 1 < text.size() && text[i + 1] == ' ') ++i;
    }
    text = reduced;

    std::vector<std::string> words(1);
    for (const char c : text) {
        if (c == ' ') {
            words.emplace_back();
        } else {
            words.back().push_back(c);
        }
    }
    if (words.size() < 3) return false;
    if (Lower(text).find(Lower(fw.FwModelTag)) == std::string::npos) return false;
    if (words.size() == 3) dcVersion = LastTwo(words[1]);
    if (words.size() == 4) dcVersion = LastTwo(words[2]);
    return true;
}

bool IsIdentity(std::string_view text) {
    int words = 0;
    bool inWord = false;
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        // Single-byte Latin-1: controls and the C1 range never stand in a model's name.
        if (u < 0x20 || (u >= 0x7F && u < 0xA0)) return false;
        if (c != ' ' && !inWord) ++words;
        inWord = c != ' ';
    }
    return words >= 2;
}

bool FileExists(const std::filesystem::path& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::is_regular_file(path, ec);
}

}  // namespace verno::firmware
