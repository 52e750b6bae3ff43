// verno-fwr: inspect and build firmware files.
//
//   verno-fwr info [--json] FILE
//   verno-fwr demo [--layout area1|area2|both] [--area1-blocks N] [--area2-blocks N] OUT
//   verno-fwr pack [options] OUT        (see --help)

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/Catalogue.h"
#include "common/ProgramFolder.h"
#include "common/Resources.h"
#include "common/Text.h"
#include "firmware/FirmwareFile.h"
#include "firmware/FirmwarePacker.h"

namespace fw = verno::firmware;

namespace {

constexpr const char* kUsage =
    "usage:\n"
    "  verno-fwr info [--json] FILE\n"
    "      Decodes a firmware file and prints every value. Exit status 1 when the file\n"
    "      cannot be read or fails a check, with the wizard's message on stderr.\n"
    "  verno-fwr demo [--layout area1|area2|both] [--area1-blocks N] [--area2-blocks N] OUT\n"
    "      Writes a generated demo file (not real dive computer code).\n"
    "  verno-fwr pack [--layout area1|area2|both] [--model-number N] [--version XY]\n"
    "                 [--revision N] [--memory-blocks N] [--name TEXT] [--tag TEXT]\n"
    "                 [--area2-word N] [--area1 RAW] [--area2 RAW] OUT\n"
    "      Builds a file from raw code images: each RAW file is cut into 128-byte blocks\n"
    "      (the last one padded with 0xFF) placed at units 0, 8, 16, ...; each block's\n"
    "      block byte is the 8-bit sum of its code bytes. Numbers may be decimal or 0x hex.\n";

const char* LayoutName(fw::Layout layout) {
    switch (layout) {
        case fw::Layout::Area1Only: return "area1";
        case fw::Layout::Area2Only: return "area2";
        case fw::Layout::BothAreas: return "both";
    }
    return "";
}

std::optional<fw::Layout> ParseLayout(const std::string& name) {
    if (name == "area1") return fw::Layout::Area1Only;
    if (name == "area2") return fw::Layout::Area2Only;
    if (name == "both") return fw::Layout::BothAreas;
    return std::nullopt;
}

std::optional<long> ParseNumber(const std::string& text, long max) {
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 0);
    if (text.empty() || *end != '\0' || value < 0 || value > max) return std::nullopt;
    return value;
}

std::string JsonString(const std::string& utf8) {
    std::string out = "\"";
    for (const char c : utf8) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (b < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", b);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

// The wizard's own words for a failed file, from the catalogue beside the program when it is there.
std::string FailureMessage(const fw::DecodeResult& result, const std::string& path) {
    if (result.error == fw::FirmwareError::Missing) return "The firmware file " + path + " was not found.";
    if (const char* checksum = fw::ChecksumMessage(result.error)) return checksum;
    verno::catalogue::Catalogue catalogue;
    catalogue.Open(verno::ProgramFolder() / verno::resources::kCatalogueFileName, 1);
    std::string text = catalogue.LoadText(779);
    if (text.empty()) text = "Firmware file error";
    const std::string code = result.errorCode != 0 ? std::to_string(result.errorCode) : "";
    text += " " + code + "!";
    if (result.error == fw::FirmwareError::Unreadable) text += " (" + path + " cannot be read)";
    return text;
}

int Info(const std::vector<std::string>& args) {
    bool json = false;
    std::string path;
    for (const auto& a : args) {
        if (a == "--json") {
            json = true;
        } else if (path.empty()) {
            path = a;
        } else {
            std::cerr << kUsage;
            return 2;
        }
    }
    if (path.empty()) {
        std::cerr << kUsage;
        return 2;
    }
    const fw::DecodeResult result = fw::LoadFirmwareFile(path);
    if (!result.ok()) {
        std::cerr << FailureMessage(result, path) << "\n";
        return 1;
    }
    const fw::FirmwareImage& f = result.image;
    const std::vector<std::pair<std::string, long>> numbers = {
        {"model_number", f.DcModelNumber},   {"revision", f.FwRevision},         {"memory_blocks", f.DcMemoryBlocks},
        {"area1_records", f.Area1Records},   {"area2_records", f.Area2Records},  {"area1_sum", f.Area1Sum},
        {"area2_sum", f.Area2Sum},           {"area2_word", f.Area2Word},        {"area1_computed", f.Area1Computed},
        {"area2_computed", f.Area2Computed},
    };
    const std::vector<std::pair<std::string, std::string>> texts = {
        {"model_name", verno::Latin1ToUtf8(f.FwModelName)},
        {"model_tag", verno::Latin1ToUtf8(f.FwModelTag)},
        {"version", verno::Latin1ToUtf8(f.FwVersion)},
        {"layout", LayoutName(f.layout)},
    };
    if (json) {
        std::string out = "{";
        for (const auto& [key, value] : texts) out += JsonString(key) + ": " + JsonString(value) + ", ";
        for (const auto& [key, value] : numbers) out += JsonString(key) + ": " + std::to_string(value) + ", ";
        out.resize(out.size() - 2);
        std::cout << out << "}\n";
    } else {
        for (const auto& [key, value] : texts) std::cout << key << ": " << value << "\n";
        for (const auto& [key, value] : numbers) std::cout << key << ": " << value << "\n";
    }
    return 0;
}

bool WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) std::cerr << "verno-fwr: cannot write " << path << "\n";
    return static_cast<bool>(out);
}

std::optional<std::vector<fw::CodeBlock>> BlocksFromRaw(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::cerr << "verno-fwr: cannot read " << path << "\n";
        return std::nullopt;
    }
    const std::vector<std::uint8_t> raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<fw::CodeBlock> blocks;
    for (std::size_t start = 0; start < raw.size(); start += 128) {
        fw::CodeBlock b;
        b.code.fill(0xFF);
        for (std::size_t i = 0; i < 128 && start + i < raw.size(); ++i) b.code[i] = raw[start + i];
        b.address = static_cast<std::uint16_t>(8 * blocks.size());
        unsigned sum = 0;
        for (const auto byte : b.code) sum += byte;
        b.blockByte = static_cast<std::uint8_t>(sum & 0xFF);
        blocks.push_back(b);
    }
    if (blocks.size() > fw::kMaxAreaRecords) {
        std::cerr << "verno-fwr: " << path << " holds more than " << fw::kMaxAreaRecords << " blocks\n";
        return std::nullopt;
    }
    return blocks;
}

// Options of the form --name VALUE; the last bare argument is the output file.
bool ParseOptions(const std::vector<std::string>& args, std::map<std::string, std::string>& options,
                  std::string& out) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i].rfind("--", 0) == 0) {
            if (i + 1 >= args.size()) return false;
            options[args[i]] = args[i + 1];
            ++i;
        } else if (out.empty()) {
            out = args[i];
        } else {
            return false;
        }
    }
    return !out.empty();
}

int Build(const std::vector<std::string>& args, bool demo) {
    std::map<std::string, std::string> o;
    std::string out;
    if (!ParseOptions(args, o, out)) {
        std::cerr << kUsage;
        return 2;
    }
    auto number = [&o](const std::string& key, long fallback, long max) -> std::optional<long> {
        const auto it = o.find(key);
        if (it == o.end()) return fallback;
        const auto value = ParseNumber(it->second, max);
        if (!value) std::cerr << "verno-fwr: " << key << " takes a number from 0 to " << max << "\n";
        return value;
    };
    const auto layout = ParseLayout(o.count("--layout") ? o["--layout"] : "area1");
    if (!layout) {
        std::cerr << "verno-fwr: --layout is area1, area2 or both\n";
        return 2;
    }

    fw::FirmwareSource source;
    if (demo) {
        const auto a1 = number("--area1-blocks", 192, fw::kMaxAreaRecords);
        const auto a2 = number("--area2-blocks", 64, fw::kMaxAreaRecords);
        if (!a1 || !a2) return 2;
        source = fw::DemoFirmware(*layout, static_cast<int>(*a1), static_cast<int>(*a2));
    } else {
        source.layout = *layout;
        const auto model = number("--model-number", source.DcModelNumber, 65535);
        const auto revision = number("--revision", source.FwRevision, 255);
        const auto memory = number("--memory-blocks", source.DcMemoryBlocks, 65535);
        const auto word = number("--area2-word", source.Area2Word, 65535);
        if (!model || !revision || !memory || !word) return 2;
        source.DcModelNumber = static_cast<std::uint16_t>(*model);
        source.FwRevision = static_cast<std::uint8_t>(*revision);
        source.DcMemoryBlocks = static_cast<std::uint16_t>(*memory);
        source.Area2Word = static_cast<std::uint16_t>(*word);
        if (o.count("--version")) source.FwVersion = o["--version"];
        if (o.count("--name")) source.FwModelName = o["--name"];
        if (o.count("--tag")) source.FwModelTag = o["--tag"];
        if (source.FwVersion.size() != 2) {
            std::cerr << "verno-fwr: --version takes two characters\n";
            return 2;
        }
        for (const auto& [key, area] : {std::pair{"--area1", &source.Area1Blocks}, {"--area2", &source.Area2Blocks}}) {
            if (!o.count(key)) continue;
            auto blocks = BlocksFromRaw(o[key]);
            if (!blocks) return 1;
            *area = std::move(*blocks);
        }
    }
    return WriteFile(out, fw::PackFirmware(source)) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || args[0] == "--help" || args[0] == "-h") {
        std::cout << kUsage;
        return args.empty() ? 2 : 0;
    }
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (args[0] == "info") return Info(rest);
    if (args[0] == "demo") return Build(rest, true);
    if (args[0] == "pack") return Build(rest, false);
    std::cerr << kUsage;
    return 2;
}
