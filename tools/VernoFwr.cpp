// verno-fwr: inspects, builds and checks firmware files for the wizard.

#include <charconv>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/Text.h"
#include "firmware/FirmwareFile.h"
#include "firmware/FirmwarePacker.h"

namespace fw = verno::firmware;

namespace {

constexpr int kExitOk = 0;
constexpr int kExitBadFile = 1;
constexpr int kExitUsage = 2;

constexpr std::string_view kHelp = R"(usage:
  verno-fwr info [--json] FILE
      Decodes FILE and prints every value; exit 1 with the wizard's message when it would refuse it.
  verno-fwr demo [--layout area1|area2|both] [--area1-blocks N] [--area2-blocks N] OUT
      Writes a generated demo file (not DC code). Defaults: area1, 192 area-1 blocks, 64 area-2 blocks.
  verno-fwr pack [options] OUT
      Builds a file from explicit values and raw code binaries:
      --layout area1|area2|both   which areas the file carries (default area1)
      --area1 FILE, --area2 FILE  raw code of an area, cut into 128-byte blocks (last one padded
                                  with 0xFF); each block byte is the 8-bit sum of its code bytes
      --area1-start U, --area2-start U
                                  DC address of the area's first block in 16-byte units
                                  (default 0); blocks follow every 8 units
      --model-number N            DcModelNumber (default 6978)
      --version XY                FwVersion, two characters (default 1B)
      --revision N                FwRevision 0-255 (default 0)
      --memory-blocks N           DcMemoryBlocks (default 512)
      --name TEXT, --tag TEXT     FwModelName / FwModelTag (default "VERNO 1B" / "VERNO1B")
      --area2-word N              Area2Word sent after area 2 (default 0)
  Numbers may be decimal or 0x-prefixed hexadecimal.
)";

int Usage(const std::string& problem) {
    std::cerr << "verno-fwr: " << problem << "\n\n" << kHelp;
    return kExitUsage;
}

std::optional<long> Number(std::string_view text, long low, long high) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (ec != std::errc{} || end != text.data() + text.size() || value < low || value > high) return std::nullopt;
    return value;
}

std::optional<fw::Layout> LayoutNamed(std::string_view name) {
    if (name == "area1") return fw::Layout::Area1Only;
    if (name == "area2") return fw::Layout::Area2Only;
    if (name == "both") return fw::Layout::BothAreas;
    return std::nullopt;
}

const char* LayoutName(fw::Layout layout) {
    switch (layout) {
        case fw::Layout::Area1Only: return "area1";
        case fw::Layout::Area2Only: return "area2";
        case fw::Layout::BothAreas: return "both";
    }
    return "";
}

std::string JsonString(std::string_view latin1) {
    std::string out = "\"";
    for (const char c : verno::Latin1ToUtf8(latin1)) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", u);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

// The wording of the English catalogue, as the wizard would put it.
std::string RefusalMessage(const fw::DecodeResult& decoded, const std::string& path) {
    if (decoded.error == fw::FirmwareError::Missing) return "The firmware file " + path + " was not found.";
    if (const char* message = fw::ChecksumMessage(decoded.error)) return path + ": " + message;
    std::string text = path + ": Firmware file error " + (decoded.errorCode != 0 ? std::to_string(decoded.errorCode) : "") + "!";
    if (decoded.error == fw::FirmwareError::Unreadable) text += " (the file cannot be read as a firmware file)";
    return text;
}

int Info(const std::vector<std::string_view>& args) {
    bool json = false;
    std::optional<std::string> file;
    for (const auto arg : args) {
        if (arg == "--json") {
            json = true;
        } else if (!arg.starts_with("--") && !file) {
            file = std::string(arg);
        } else {
            return Usage("info: unexpected argument " + std::string(arg));
        }
    }
    if (!file) return Usage("info: no FILE given");

    const fw::DecodeResult decoded = fw::LoadFirmwareFile(*file);
    if (!decoded.ok()) {
        std::cerr << RefusalMessage(decoded, *file) << "\n";
        return kExitBadFile;
    }
    const fw::FirmwareImage& f = decoded.image;
    const std::vector<std::pair<const char*, std::string>> fields = {
        {"model_number", std::to_string(f.DcModelNumber)},
        {"model_name", JsonString(f.FwModelName)},
        {"model_tag", JsonString(f.FwModelTag)},
        {"version", JsonString(f.FwVersion)},
        {"revision", std::to_string(f.FwRevision)},
        {"layout", JsonString(LayoutName(f.layout))},
        {"memory_blocks", std::to_string(f.DcMemoryBlocks)},
        {"area1_records", std::to_string(f.Area1Records)},
        {"area2_records", std::to_string(f.Area2Records)},
        {"area1_sum", std::to_string(f.Area1Sum)},
        {"area2_sum", std::to_string(f.Area2Sum)},
        {"area2_word", std::to_string(f.Area2Word)},
        {"area1_computed", std::to_string(f.Area1Computed)},
        {"area2_computed", std::to_string(f.Area2Computed)},
    };
    if (json) {
        std::cout << "{";
        for (std::size_t i = 0; i < fields.size(); ++i)
            std::cout << (i ? ", " : "") << '"' << fields[i].first << "\": " << fields[i].second;
        std::cout << "}\n";
    } else {
        for (const auto& [name, value] : fields) std::cout << name << ": " << value << "\n";
    }
    return kExitOk;
}

int Write(const std::string& out, const fw::FirmwareSource& source) {
    if (const auto problem = fw::CheckSource(source); problem != fw::PackError::None) {
        static constexpr const char* kProblems[] = {"", "the version must be two characters",
                                                    "name and tag together must stay below 98 characters",
                                                    "name and tag may not contain a 0 byte",
                                                    "an area holds at most 1024 blocks",
                                                    "block addresses must stay below 0x8000 units"};
        std::cerr << "verno-fwr: " << kProblems[static_cast<int>(problem)] << "\n";
        return kExitUsage;
    }
    const std::vector<std::uint8_t> bytes = fw::PackFirmware(source);
    std::ofstream file(out, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file) {
        std::cerr << "verno-fwr: cannot write " << out << "\n";
        return kExitBadFile;
    }
    return kExitOk;
}

// Reads "--flag value" pairs; the one remaining word is OUT.
struct Options {
    std::vector<std::pair<std::string_view, std::string_view>> pairs;
    std::optional<std::string> out;
};

std::optional<Options> SplitOptions(const std::vector<std::string_view>& args, std::string& problem) {
    Options o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i].starts_with("--")) {
            if (i + 1 >= args.size()) {
                problem = "missing value after " + std::string(args[i]);
                return std::nullopt;
            }
            o.pairs.emplace_back(args[i], args[i + 1]);
            ++i;
        } else if (!o.out) {
            o.out = std::string(args[i]);
        } else {
            problem = "unexpected argument " + std::string(args[i]);
            return std::nullopt;
        }
    }
    if (!o.out) {
        problem = "no OUT file given";
        return std::nullopt;
    }
    return o;
}

int Demo(const std::vector<std::string_view>& args) {
    std::string problem;
    const auto options = SplitOptions(args, problem);
    if (!options) return Usage("demo: " + problem);
    fw::Layout layout = fw::Layout::Area1Only;
    long area1 = 192;
    long area2 = 64;
    for (const auto& [flag, value] : options->pairs) {
        if (flag == "--layout") {
            const auto l = LayoutNamed(value);
            if (!l) return Usage("demo: unknown layout " + std::string(value));
            layout = *l;
        } else if (flag == "--area1-blocks" || flag == "--area2-blocks") {
            const auto n = Number(value, 0, static_cast<long>(fw::kMaxAreaRecords));
            if (!n) return Usage("demo: " + std::string(flag) + " takes 0 to 1024");
            (flag == "--area1-blocks" ? area1 : area2) = *n;
        } else {
            return Usage("demo: unknown option " + std::string(flag));
        }
    }
    return Write(*options->out, fw::DemoFirmware(layout, static_cast<int>(area1), static_cast<int>(area2)));
}

std::optional<std::vector<fw::CodeBlock>> AreaFromBinary(const std::string& path, long startUnit) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<fw::CodeBlock> blocks;
    for (std::size_t at = 0; at < bytes.size(); at += 128) {
        fw::CodeBlock b;
        b.code.fill(0xFF);
        for (std::size_t i = 0; i < 128 && at + i < bytes.size(); ++i) b.code[i] = static_cast<std::uint8_t>(bytes[at + i]);
        const long address = startUnit + 8 * static_cast<long>(blocks.size());
        b.address = static_cast<std::uint16_t>(address > 0xFFFF ? 0xFFFF : address);  // CheckSource refuses it
        unsigned sum = 0;
        for (const auto c : b.code) sum += c;
        b.blockByte = static_cast<std::uint8_t>(sum & 0xFF);
        blocks.push_back(b);
    }
    return blocks;
}

int Pack(const std::vector<std::string_view>& args) {
    std::string problem;
    const auto options = SplitOptions(args, problem);
    if (!options) return Usage("pack: " + problem);
    fw::FirmwareSource s;
    std::string area1File, area2File;
    long area1Start = 0, area2Start = 0;
    for (const auto& [flag, value] : options->pairs) {
        auto number = [&](long low, long high) -> std::optional<long> { return Number(value, low, high); };
        std::optional<long> n;
        if (flag == "--layout") {
            const auto l = LayoutNamed(value);
            if (!l) return Usage("pack: unknown layout " + std::string(value));
            s.layout = *l;
        } else if (flag == "--area1") {
            area1File = value;
        } else if (flag == "--area2") {
            area2File = value;
        } else if (flag == "--name") {
            s.FwModelName = value;
        } else if (flag == "--tag") {
            s.FwModelTag = value;
        } else if (flag == "--version") {
            s.FwVersion = value;
        } else if ((flag == "--area1-start" || flag == "--area2-start") && (n = number(0, 0x7FFF))) {
            (flag == "--area1-start" ? area1Start : area2Start) = *n;
        } else if (flag == "--model-number" && (n = number(0, 0xFFFF))) {
            s.DcModelNumber = static_cast<std::uint16_t>(*n);
        } else if (flag == "--memory-blocks" && (n = number(0, 0xFFFF))) {
            s.DcMemoryBlocks = static_cast<std::uint16_t>(*n);
        } else if (flag == "--area2-word" && (n = number(0, 0xFFFF))) {
            s.Area2Word = static_cast<std::uint16_t>(*n);
        } else if (flag == "--revision" && (n = number(0, 0xFF))) {
            s.FwRevision = static_cast<std::uint8_t>(*n);
        } else {
            return Usage("pack: bad option or value: " + std::string(flag) + " " + std::string(value));
        }
    }
    const bool needs1 = s.layout != fw::Layout::Area2Only;
    const bool needs2 = s.layout != fw::Layout::Area1Only;
    if (needs1 == area1File.empty()) return Usage(needs1 ? "pack: this layout needs --area1" : "pack: this layout takes no --area1");
    if (needs2 == area2File.empty()) return Usage(needs2 ? "pack: this layout needs --area2" : "pack: this layout takes no --area2");
    for (const auto& [file, start, blocks] :
         {std::tuple{area1File, area1Start, &s.Area1Blocks}, std::tuple{area2File, area2Start, &s.Area2Blocks}}) {
        if (file.empty()) continue;
        auto area = AreaFromBinary(file, start);
        if (!area) {
            std::cerr << "verno-fwr: cannot read " << file << "\n";
            return kExitBadFile;
        }
        *blocks = std::move(*area);
    }
    return Write(*options->out, s);
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string_view> all(argv + 1, argv + argc);
    if (all.empty() || all[0] == "--help" || all[0] == "-h" || all[0] == "help") {
        std::cout << kHelp;
        return all.empty() ? kExitUsage : kExitOk;
    }
    const std::vector<std::string_view> rest(all.begin() + 1, all.end());
    if (all[0] == "info") return Info(rest);
    if (all[0] == "demo") return Demo(rest);
    if (all[0] == "pack") return Pack(rest);
    return Usage("unknown command " + std::string(all[0]));
}
