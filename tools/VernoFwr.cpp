// verno-fwr: inspects, builds and checks firmware files for the wizard.

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/Text.h"
#include "common/Version.h"
#include "firmware/FirmwareFile.h"
#include "firmware/FirmwarePacker.h"
#include "host/WrappedHelp.h"
#include "platform/ProgramArguments.h"

namespace fw = verno::firmware;

namespace {

constexpr int kExitOk = 0;
constexpr int kExitBadFile = 1;
constexpr int kExitUsage = 2;

int Usage(const std::string& problem) {
    std::cerr << "verno-fwr: " << problem << "\nTry verno-fwr --help.\n";
    return kExitUsage;
}

const std::map<std::string, fw::Layout> kLayouts{
    {"area1", fw::Layout::Area1Only}, {"area2", fw::Layout::Area2Only}, {"both", fw::Layout::BothAreas}};

const char* LayoutName(fw::Layout layout) {
    switch (layout) {
        case fw::Layout::Area1Only: return "area1";
        case fw::Layout::Area2Only: return "area2";
        case fw::Layout::BothAreas: return "both";
    }
    return "";
}

// Why the wizard refuses a file, in English, with its path.
std::string RefusalMessage(const fw::DecodeResult& decoded, const std::string& path) {
    const std::string file = "The firmware file " + path;
    const std::string code = decoded.errorCode != 0 ? " (Firmware file error " + std::to_string(decoded.errorCode) + "!)" : "";
    switch (decoded.cause) {
        case fw::FileCause::Missing: return file + " was not found.";
        case fw::FileCause::Folder: return file + " is a folder.";
        case fw::FileCause::Unreadable: return file + " could not be read: " + decoded.systemReason + ".";
        case fw::FileCause::TooShort:
            return file + " is incomplete: it ends after " + std::to_string(decoded.fileSize) + " bytes, before its last record.";
        case fw::FileCause::CheckValue:
            return file + " is damaged: a check value does not match its contents (" + fw::ChecksumMessage(decoded.error) + ").";
        case fw::FileCause::NotFirmware:
        case fw::FileCause::None: break;
    }
    return path + " is not a firmware file" + code + ".";
}

// A stable name of the cause, for programs.
const char* CauseId(fw::FileCause cause) {
    switch (cause) {
        case fw::FileCause::Missing: return "missing";
        case fw::FileCause::Folder: return "folder";
        case fw::FileCause::Unreadable: return "unreadable";
        case fw::FileCause::TooShort: return "too_short";
        case fw::FileCause::CheckValue: return "check_value";
        case fw::FileCause::NotFirmware:
        case fw::FileCause::None: break;
    }
    return "not_firmware";
}

int Info(const std::string& file, bool json) {
    const fw::DecodeResult decoded = fw::LoadFirmwareFile(std::filesystem::u8path(file));
    if (!decoded.ok()) {
        if (json) {
            const nlohmann::ordered_json error = {
                {"file", file}, {"error", CauseId(decoded.cause)}, {"message", RefusalMessage(decoded, file)}};
            std::cout << error.dump() << "\n";
        } else {
            std::cerr << RefusalMessage(decoded, file) << "\n";
        }
        return kExitBadFile;
    }
    const fw::FirmwareImage& f = decoded.image;
    const nlohmann::ordered_json fields = {
        {"model_number", f.DcModelNumber},
        {"model_name", verno::Latin1ToUtf8(f.FwModelName)},
        {"model_tag", verno::Latin1ToUtf8(f.FwModelTag)},
        {"version", verno::Latin1ToUtf8(f.FwVersion)},
        {"revision", f.FwRevision},
        {"layout", LayoutName(f.layout)},
        {"memory_blocks", f.DcMemoryBlocks},
        {"area1_records", f.Area1Records},
        {"area2_records", f.Area2Records},
        {"area1_sum", f.Area1Sum},
        {"area2_sum", f.Area2Sum},
        {"area2_word", f.Area2Word},
        {"area1_computed", f.Area1Computed},
        {"area2_computed", f.Area2Computed},
    };
    if (json) {
        std::cout << fields.dump() << "\n";
    } else {
        for (const auto& [name, value] : fields.items()) std::cout << name << ": " << value.dump() << "\n";
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
    // What the wizard would refuse is no firmware file: write none (an empty name or tag).
    if (const fw::DecodeResult check = fw::DecodeFirmware(bytes); !check.ok()) {
        const char* why = check.errorCode == 4   ? "the model name may not be empty"
                          : check.errorCode == 5 ? "the model tag may not be empty"
                                                 : "the wizard would refuse the file";
        std::cerr << "verno-fwr: " << why << "; nothing was written\n";
        return kExitUsage;
    }
    std::ofstream file(std::filesystem::u8path(out), std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file) {
        std::cerr << "verno-fwr: cannot write " << out << "\n";
        return kExitBadFile;
    }
    return kExitOk;
}

std::optional<std::vector<fw::CodeBlock>> AreaFromBinary(const std::string& path, long startUnit) {
    std::ifstream in(std::filesystem::u8path(path), std::ios::binary);
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

struct PackOptions {
    std::string layout = "area1";
    std::string area1File, area2File;
    long area1Start = 0, area2Start = 0;
};

int Pack(fw::FirmwareSource s, const PackOptions& o, const std::string& out) {
    s.layout = kLayouts.at(o.layout);
    const bool needs1 = s.layout != fw::Layout::Area2Only;
    const bool needs2 = s.layout != fw::Layout::Area1Only;
    if (needs1 == o.area1File.empty()) return Usage(needs1 ? "pack: this layout needs --area1" : "pack: this layout takes no --area1");
    if (needs2 == o.area2File.empty()) return Usage(needs2 ? "pack: this layout needs --area2" : "pack: this layout takes no --area2");
    for (const auto& [file, start, blocks] :
         {std::tuple{o.area1File, o.area1Start, &s.Area1Blocks}, std::tuple{o.area2File, o.area2Start, &s.Area2Blocks}}) {
        if (file.empty()) continue;
        auto area = AreaFromBinary(file, start);
        if (!area) {
            std::cerr << "verno-fwr: cannot read " << file << "\n";
            return kExitBadFile;
        }
        *blocks = std::move(*area);
    }
    return Write(out, s);
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Inspects, builds and checks firmware files for the VERNO 1B firmware update.", "verno-fwr"};
    // A path such as /tmp/x.fwr is an operand on Windows too; the subcommands copy this setting.
    app.allow_windows_style_options(false);
    verno::host::WrapHelp(app);  // before the subcommands, which take it over
    app.set_help_flag("-h,--help", "Print this help and exit");
    app.set_version_flag("--version", std::string("verno-fwr ") + verno::ProgramVersion(), "Print the program's version and exit");
    app.require_subcommand(1);
    app.footer("Numbers may be decimal or 0x-prefixed hexadecimal.");
    const auto blocks = CLI::Range(0L, static_cast<long>(fw::kMaxAreaRecords)).description("");
    const auto layouts = CLI::IsMember({"area1", "area2", "both"}).description("");

    std::string file, out;
    bool json = false;
    CLI::App* info = app.add_subcommand("info", "Decodes FILE and prints every value; exit 1 with the wizard's message when it would refuse it");
    info->add_flag("--json", json, "One JSON object");
    info->add_option("FILE", file, "The firmware file")->required();

    std::string demoLayout = "area1";
    long area1Blocks = 192, area2Blocks = 64;
    CLI::App* demo = app.add_subcommand("demo", "Writes a generated demo file (not DC code) to OUT");
    demo->add_option("--layout", demoLayout, "Which areas the file carries (default area1)")->check(layouts)->type_name("area1|area2|both");
    demo->add_option("--area1-blocks", area1Blocks, "Blocks of area 1 (default 192)")->check(blocks)->type_name("N");
    demo->add_option("--area2-blocks", area2Blocks, "Blocks of area 2 (default 64)")->check(blocks)->type_name("N");
    demo->add_option("OUT", out, "The file to write")->required();

    fw::FirmwareSource source;
    PackOptions pack;
    CLI::App* packing = app.add_subcommand("pack", "Builds a file from explicit values and raw code binaries, to OUT");
    packing->add_option("--layout", pack.layout, "Which areas the file carries (default area1)")->check(layouts)->type_name("area1|area2|both");
    packing->add_option("--area1", pack.area1File,
                        "Raw code of area 1, cut into 128-byte blocks (the last one padded with 0xFF); each block "
                        "byte is the 8-bit sum of its code bytes")->type_name("FILE");
    packing->add_option("--area2", pack.area2File, "Raw code of area 2, as --area1")->type_name("FILE");
    packing->add_option("--area1-start", pack.area1Start, "DC address of area 1's first block in 16-byte units (default 0); blocks follow every 8 units")
        ->check(CLI::Range(0L, 0x7FFFL).description(""))->type_name("U");
    packing->add_option("--area2-start", pack.area2Start, "The same for area 2")->check(CLI::Range(0L, 0x7FFFL).description(""))->type_name("U");
    packing->add_option("--model-number", source.DcModelNumber, "DcModelNumber (default 6978)")->type_name("N");
    packing->add_option("--version", source.FwVersion, "FwVersion, two characters (default 1B)")->type_name("XY");
    packing->add_option("--revision", source.FwRevision, "FwRevision 0-255 (default 0)")->type_name("N");
    packing->add_option("--memory-blocks", source.DcMemoryBlocks, "DcMemoryBlocks (default 512)")->type_name("N");
    packing->add_option("--name", source.FwModelName, "FwModelName (default \"VERNO 1B\")")->type_name("TEXT");
    packing->add_option("--tag", source.FwModelTag, "FwModelTag (default \"VERNO1B\")")->type_name("TEXT");
    packing->add_option("--area2-word", source.Area2Word, "Area2Word sent after area 2 (default 0)")->type_name("N");
    packing->add_option("OUT", out, "The file to write")->required();

    try {
        // UTF-8 from the wide command line on Windows, so that a Greek or Japanese path arrives whole.
        std::vector<std::string> args = verno::platform::ProgramArguments(argc, argv);
        std::reverse(args.begin(), args.end());  // as CLI11 takes them
        app.parse(args);
    } catch (const CLI::Success& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        return kExitUsage;
    }
    if (*info) return Info(file, json);
    if (*demo)
        return Write(out, fw::DemoFirmware(kLayouts.at(demoLayout), static_cast<int>(area1Blocks), static_cast<int>(area2Blocks)));
    return Pack(source, pack, out);
}
