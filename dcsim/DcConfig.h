#pragma once
// What a simulated DC is (DcConfig) and how it misbehaves (DcFaults).

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "firmware/FirmwareImage.h"
#include "firmware/Identity.h"

namespace verno::dcsim {

struct DcConfig {
    // An explicit identity text (16 characters) overrides the one built from the model tag and
    // the current version, "<tag> FW-<version> DC", which follows the version across an update.
    std::optional<std::string> identity;
    // The demo firmware's tag by default: the simulated DC takes the bundle's demo file, and a
    // real DC, whose identity names its own model, refuses it.
    std::string modelTag = firmware::kDemoModelTag;
    std::string version = "1A";  // two characters
    std::uint8_t revision = 0;
    std::uint32_t serial = 123456;  // 0..999999, block 0 bytes 10..12 as packed BCD
    int memoryBlocks = 512;         // 512 or 1024 blocks of 128 bytes
    // Profile pointers in units (block 0 bytes 72..75), encoded for the memory size.
    std::uint16_t profileStart = 256;
    std::uint16_t profileEnd = 639;  // 48 blocks
    // A raw memory image; shorter is padded with 0xFF, longer is cut. The serial and the pointers
    // are written into it only where the flags say so. Absent: a profile generated from seed.
    std::optional<std::vector<std::uint8_t>> memory;
    bool writeSerial = true;
    bool writePointers = true;
    std::uint32_t seed = 1;
    // Reported after an accepted upload.
    std::string versionAfterUpdate = "1B";
    std::uint8_t revisionAfterUpdate = 0;
    double restartSeconds = 8.0;  // shorter than the program's 10/12/45 s waits
    bool bytePacing = true;       // 38400 baud, 10 bits a byte, both directions
};

// Version and revision after an upload as a firmware image carries them.
void TakeVersionFrom(const firmware::FirmwareImage& image, DcConfig& config);

// Aims the switches at one phase: they act from the `frame`-th frame of `command` on, that frame
// included; frames count from 1 over the DC's life. Before it the DC behaves.
struct FaultArming {
    std::uint8_t command = 0;
    int frame = 1;
};

// Fault switches; 0 / empty means off. Block numbers count from 1, from the arming frame when
// armAt is set.
struct DcFaults {
    bool silent = false;                          // hears and stores, never sends a byte
    std::optional<std::uint8_t> refuseCommand;    // reply 0xA5 to the first refuseCount frames
    int refuseCount = 0;
    int loseAckOfCodeBlock = 0;   // the k-th 0xB5/0xB7 payload is stored, its 0x5A not sent
    int powerLossAtBlock = 0;     // from the k-th block write (0xB5/0xB7/0xB2 header) on: dead
    bool byteAtATime = false;     // every reply byte its own chunk
    double replyLatency = 0.0;    // seconds before the first byte of every reply
    int garbageBeforeReply = 0;   // noise bytes ahead of every reply
    // The first N memory reads answered with one byte of the block changed, each a different
    // one: the reply carries no checksum that would show it.
    int garbledReads = 0;
    // The first N 0xB5 payloads are stored with one byte changed, and acknowledged all the same.
    int garbledWrites = 0;
    bool refuseSpecialWrites = false;  // NAK 0xB5 payloads at units 3072 and 3080
    std::optional<std::uint16_t> refuseWriteAt;  // NAK 0xB5 payloads at this unit
    std::optional<std::uint8_t> unansweredCommand;  // frames of this command are heard, never answered
    std::optional<std::uint16_t> unansweredUnit;    // ... only those at this unit, when given
    bool corruptHeaderWrite = false;  // a 0xB2 piece of block 0 is stored with one byte changed
    std::optional<std::uint8_t> refusePayloadOf;  // reply 0xA5 to the first refusePayloadCount payloads
    int refusePayloadCount = 0;                   // of this command (0x97, 0xB2, 0xB5, 0xB7)
    std::optional<double> restartSeconds;  // overrides the config, e.g. 60 s (longer than the waits)
    // The cable drops off the computer for that many seconds, then comes back; nothing crosses
    // it meanwhile. The DC itself keeps its state.
    double cableOutSeconds = 0.0;
    std::optional<FaultArming> armAt;      // absent: armed from the start
};

// Parses one "--fault" argument: NAME or NAME=ARG. Names: silent, refuse=CMD[:N] (CMD in hex),
// lose-ack=K, power-loss=K, byte-at-a-time, latency=SECONDS, garbage=N, garble-reads=N,
// garble-writes=N, refuse-special-writes, refuse-write=UNIT, unanswered=CMD[@UNIT] (CMD in hex),
// refuse-payload=CMD[:N] (hex), corrupt-header, long-restart[=SECONDS] (default 60),
// cable-out=SECONDS, arm=CMD:N (CMD in hex). False for an unknown name or a bad argument.
bool ApplyFault(const std::string& text, DcFaults& faults);

}  // namespace verno::dcsim
