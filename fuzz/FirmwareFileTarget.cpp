#include <string>

#include "firmware/FirmwareFile.h"
#include "firmware/FirmwarePacker.h"
#include "fuzz/FuzzCheck.h"
#include "fuzz/MemoryFile.h"
#include "fuzz/Targets.h"

namespace verno::fuzz {

namespace {

using firmware::CodeBlock;
using firmware::DecodeResult;
using firmware::FirmwareError;
using firmware::FirmwareImage;
using firmware::kRecordSize;

const char* ErrorName(FirmwareError e) {
    switch (e) {
        case FirmwareError::None: return "ok";
        case FirmwareError::Missing: return "missing";
        case FirmwareError::Unreadable: return "unreadable";
        case FirmwareError::EmptyModelName: return "empty-name";
        case FirmwareError::EmptyModelTag: return "empty-tag";
        case FirmwareError::ChecksumError1: return "checksum-1";
        case FirmwareError::ChecksumError2: return "checksum-2";
        case FirmwareError::ChecksumError3: return "checksum-3";
    }
    return "?";
}

const char* LayoutName(firmware::Layout layout) {
    switch (layout) {
        case firmware::Layout::Area1Only: return "area1";
        case firmware::Layout::Area2Only: return "area2";
        case firmware::Layout::BothAreas: return "both";
    }
    return "?";
}

bool SameBlock(const CodeBlock& a, const CodeBlock& b) {
    return a.address == b.address && a.code == b.code && a.blockByte == b.blockByte;
}

bool SameBlocks(const std::vector<CodeBlock>& a, const std::vector<CodeBlock>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (!SameBlock(a[i], b[i])) return false;
    return true;
}

bool SameImage(const FirmwareImage& a, const FirmwareImage& b) {
    return a.layout == b.layout && a.DcModelNumber == b.DcModelNumber && a.FwVersion == b.FwVersion &&
           a.FwRevision == b.FwRevision && a.DcMemoryBlocks == b.DcMemoryBlocks && a.FwModelName == b.FwModelName &&
           a.FwModelTag == b.FwModelTag && a.Area1Sum == b.Area1Sum && a.Area1Records == b.Area1Records &&
           a.Area2Sum == b.Area2Sum && a.Area2Records == b.Area2Records && a.Area2Word == b.Area2Word &&
           a.Area1Computed == b.Area1Computed && a.Area2Computed == b.Area2Computed &&
           a.RequiredVersion == b.RequiredVersion && a.RequiredRevision == b.RequiredRevision &&
           SameBlocks(a.Area1Blocks, b.Area1Blocks) && SameBlocks(a.Area2Blocks, b.Area2Blocks);
}

// Every block of an area is the record the layout names, de-scrambled with its own byte 130.
void CheckAreaAgainstRecords(std::span<const std::uint8_t> file, const std::vector<CodeBlock>& blocks,
                             std::size_t firstRecord) {
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        const std::size_t start = kRecordSize * (firstRecord + i - 1);
        VERNO_FUZZ_CHECK(start + kRecordSize <= file.size());
        const auto record = file.subspan(start, kRecordSize);
        const CodeBlock& b = blocks[i];
        VERNO_FUZZ_CHECK(b.address < 0x8000);
        VERNO_FUZZ_CHECK(b.address == (record[0] << 8 | record[1]));
        VERNO_FUZZ_CHECK(b.blockByte == record[130]);
        for (std::size_t c = 0; c < b.code.size(); ++c)
            VERNO_FUZZ_CHECK((b.code[c] ^ b.blockByte) == record[c + 2]);
    }
}

std::uint16_t SumOfBlockBytes(const std::vector<CodeBlock>& blocks) {
    std::uint32_t sum = 0;
    for (const CodeBlock& b : blocks) sum += b.blockByte;
    return static_cast<std::uint16_t>(sum & 0xFFFF);
}

void CheckResult(std::span<const std::uint8_t> file, const DecodeResult& r) {
    VERNO_FUZZ_CHECK(r.error != FirmwareError::Missing);
    VERNO_FUZZ_CHECK(r.errorCode == 0 || r.errorCode == 4 || r.errorCode == 5);
    VERNO_FUZZ_CHECK(r.error != FirmwareError::EmptyModelName || r.errorCode == 4);
    VERNO_FUZZ_CHECK(r.error != FirmwareError::EmptyModelTag || r.errorCode == 5);
    const bool checksum = r.error == FirmwareError::ChecksumError1 || r.error == FirmwareError::ChecksumError2 ||
                          r.error == FirmwareError::ChecksumError3;
    VERNO_FUZZ_CHECK((firmware::ChecksumMessage(r.error) != nullptr) == checksum);
    if (file.size() < kRecordSize) VERNO_FUZZ_CHECK(r.error == FirmwareError::Unreadable);
    if (!r.ok()) return;

    const FirmwareImage& fw = r.image;
    VERNO_FUZZ_CHECK(r.errorCode == 0);
    VERNO_FUZZ_CHECK(fw.FwVersion.size() == 2);
    VERNO_FUZZ_CHECK(!fw.FwModelName.empty() && !fw.FwModelTag.empty());
    // Both texts and their terminators lie in the header's 99 text bytes.
    VERNO_FUZZ_CHECK(fw.FwModelName.size() + fw.FwModelTag.size() + 2 <= kRecordSize - 32);
    VERNO_FUZZ_CHECK(fw.Area1Blocks.size() == fw.Area1Records && fw.Area2Blocks.size() == fw.Area2Records);
    VERNO_FUZZ_CHECK(fw.Area1Records <= firmware::kMaxAreaRecords && fw.Area2Records <= firmware::kMaxAreaRecords);
    VERNO_FUZZ_CHECK(SumOfBlockBytes(fw.Area1Blocks) == fw.Area1Computed);
    VERNO_FUZZ_CHECK(SumOfBlockBytes(fw.Area2Blocks) == fw.Area2Computed);
    switch (fw.layout) {
        case firmware::Layout::Area1Only:
            VERNO_FUZZ_CHECK(fw.Area2Records == 0 && fw.Area2Sum == 0 && fw.Area2Word == 0);
            VERNO_FUZZ_CHECK(fw.Area1Computed == fw.Area1Sum);
            CheckAreaAgainstRecords(file, fw.Area1Blocks, 2);
            break;
        case firmware::Layout::Area2Only:
            VERNO_FUZZ_CHECK(fw.Area1Records == 0 && fw.Area1Sum == 0);
            VERNO_FUZZ_CHECK(fw.Area2Computed == fw.Area2Sum);
            CheckAreaAgainstRecords(file, fw.Area2Blocks, 2);
            break;
        case firmware::Layout::BothAreas:
            VERNO_FUZZ_CHECK(fw.Area1Computed == fw.Area1Sum && fw.Area2Computed == fw.Area2Sum);
            CheckAreaAgainstRecords(file, fw.Area1Blocks, 2);
            // The record between the areas must be there although nothing of it is used.
            VERNO_FUZZ_CHECK(kRecordSize * (fw.Area1Records + 2u) <= file.size());
            CheckAreaAgainstRecords(file, fw.Area2Blocks, fw.Area1Records + 3u);
            break;
    }
}

// A decoded image packed again decodes to the same image, unless it holds what the packer
// cannot write (a text character equal to its key byte decodes to a NUL).
void CheckRepack(const FirmwareImage& fw) {
    firmware::FirmwareSource source;
    source.layout = fw.layout;
    source.DcModelNumber = fw.DcModelNumber;
    source.FwVersion = fw.FwVersion;
    source.FwRevision = fw.FwRevision;
    source.DcMemoryBlocks = fw.DcMemoryBlocks;
    source.FwModelName = fw.FwModelName;
    source.FwModelTag = fw.FwModelTag;
    source.Area2Word = fw.Area2Word;
    source.Area1Blocks = fw.Area1Blocks;
    source.Area2Blocks = fw.Area2Blocks;
    if (firmware::CheckSource(source) != firmware::PackError::None) {
        VERNO_FUZZ_CHECK(fw.FwModelName.find('\0') != std::string::npos ||
                         fw.FwModelTag.find('\0') != std::string::npos);
        return;
    }
    const DecodeResult again = firmware::DecodeFirmware(firmware::PackFirmware(source));
    VERNO_FUZZ_CHECK(again.ok());
    VERNO_FUZZ_CHECK(SameImage(again.image, fw));
}

}  // namespace

std::string FirmwareFileTarget(std::span<const std::uint8_t> input) {
    const DecodeResult r = firmware::DecodeFirmware(input);
    CheckResult(input, r);

    // Reading the file stops after the longest file a header can describe; the answer is the same.
    const MemoryFile file(input);
    if (file.Ok()) {
        const DecodeResult loaded = firmware::LoadFirmwareFile(file.Path());
        VERNO_FUZZ_CHECK(loaded.error == r.error && loaded.errorCode == r.errorCode);
        VERNO_FUZZ_CHECK(SameImage(loaded.image, r.image));
    }

    if (r.ok()) CheckRepack(r.image);

    std::string account = std::string("firmware ") + ErrorName(r.error);
    if (r.ok()) {
        account += std::string(" ") + LayoutName(r.image.layout) + " " + std::to_string(r.image.Area1Records) + "+" +
                   std::to_string(r.image.Area2Records);
    }
    return account;
}

}  // namespace verno::fuzz
