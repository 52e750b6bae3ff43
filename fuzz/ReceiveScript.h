#pragma once
// The layout of a ReceiveData fuzz input, shared by the target, the seed maker and the tests.
//
//   input  := setup failingWrite step*
//   setup  := bits 0-1 the receive buffers: 0 sized 130 + 2*(bits 2-7) bytes, 1 and 2 as the
//             firmware sizes them for 512 and 1024 blocks, 3 shrunk by Close
//   failingWrite := bits 0-6: the n-th port write (from 1) fails, 0 none; bit 7: a failure
//             already stands (an unanswered command leaves it before the first step)
//   step   := kind valueHigh valueLow length event{length}      (length 0xFF: the rest)
//   event  := 0x00-0x3F  a chunk of 1..64 bytes follows          } each ends the pump pass,
//           | 0x40-0x7F  10..640 ms pass                          } unless a join follows
//           | 0x80-0xBF  a chunk of 8..512 bytes follows         }
//           | 0xC0-0xDF  the user presses Close
//           | 0xE0-0xFF  join: the next event comes in the same pass
//
// A step runs its command with the pump playing its events; once they are used up, time runs on
// until the command gives up. Events the command left unplayed arrive after it returned, as late
// bytes. The Idle and Settle kinds run no command: Idle delivers its events to whatever reply
// the last command left open, Settle lets the line go quiet for valueLow * 10 ms first.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <vector>

namespace verno::fuzz::script {

enum class StepKind : std::uint8_t {
    ReadIdentity,
    ReadRevision,
    CloseArea1,  // SendWordCommand(0xB6, value)
    CloseArea2,  // SendWordCommand(0xB9, value)
    Area2Word,   // SendB8WordCommand(value)
    EndConnection,
    WriteArea1Block,  // WriteCodeBlock(value, 0xB5)
    WriteArea2Block,  // WriteCodeBlock(value, 0xB7)
    WriteProfileBlock,
    SetDateTime,
    ReadMemory,
    Idle,
    Settle,
};
inline constexpr std::uint8_t kStepKinds = 13;

inline constexpr std::uint8_t kBuffersSized = 0;
inline constexpr std::uint8_t kBuffers512 = 1;
inline constexpr std::uint8_t kBuffers1024 = 2;
inline constexpr std::uint8_t kBuffersShrunk = 3;
inline constexpr std::uint8_t kFailureStandsBit = 0x80;

inline constexpr std::uint8_t kRestOfInput = 0xFF;
inline constexpr std::size_t kLongestStep = 254;

inline constexpr std::uint8_t kShortChunk = 0x00;  // + length - 1, up to 64
inline constexpr std::uint8_t kWait = 0x40;        // + tens of ms - 1, up to 64
inline constexpr std::uint8_t kLongChunk = 0x80;   // + length / 8 - 1, up to 64
inline constexpr std::uint8_t kClose = 0xC0;
inline constexpr std::uint8_t kJoin = 0xE0;
inline constexpr std::size_t kShortChunkMax = 64;
inline constexpr std::size_t kLongChunkUnit = 8;

// Builds inputs from replies; used for the seeds and by the tests.
class Writer {
public:
    Writer(std::uint8_t setup, std::uint8_t failingWrite) : bytes_{setup, failingWrite} {}

    Writer& Step(StepKind kind, std::uint16_t value) {
        CloseStep(false);
        bytes_.push_back(static_cast<std::uint8_t>(kind));
        bytes_.push_back(static_cast<std::uint8_t>(value >> 8));
        bytes_.push_back(static_cast<std::uint8_t>(value & 0xFF));
        lengthAt_ = bytes_.size();
        bytes_.push_back(0);
        return *this;
    }
    // One chunk as the port hands it over; a long one goes as pieces joined into one pass.
    Writer& Chunk(std::span<const std::uint8_t> chunk) {
        std::size_t done = 0;
        while (done < chunk.size()) {
            if (done > 0) bytes_.push_back(kJoin);
            const std::size_t left = chunk.size() - done;
            std::size_t n = 0;
            if (left > kShortChunkMax) {
                n = std::min<std::size_t>(left / kLongChunkUnit, 64) * kLongChunkUnit;
                bytes_.push_back(static_cast<std::uint8_t>(kLongChunk + n / kLongChunkUnit - 1));
            } else {
                n = left;
                bytes_.push_back(static_cast<std::uint8_t>(kShortChunk + n - 1));
            }
            bytes_.insert(bytes_.end(), chunk.begin() + static_cast<std::ptrdiff_t>(done),
                          chunk.begin() + static_cast<std::ptrdiff_t>(done + n));
            done += n;
        }
        return *this;
    }
    Writer& Chunk(std::initializer_list<std::uint8_t> chunk) {
        return Chunk(std::span<const std::uint8_t>(chunk.begin(), chunk.size()));
    }
    Writer& Wait(unsigned tensOfMs) {
        bytes_.push_back(static_cast<std::uint8_t>(kWait + std::min(tensOfMs, 64u) - 1));
        return *this;
    }
    Writer& Close() {
        bytes_.push_back(kClose);
        return *this;
    }
    // False when a step other than the last is longer than a length byte can say.
    bool Fits() const { return fits_; }
    std::vector<std::uint8_t> Bytes() {
        CloseStep(true);
        return bytes_;
    }

private:
    void CloseStep(bool last) {
        if (lengthAt_ == 0) return;
        const std::size_t length = bytes_.size() - lengthAt_ - 1;
        if (length > kLongestStep && !last) fits_ = false;
        bytes_[lengthAt_] = last ? kRestOfInput : static_cast<std::uint8_t>(std::min(length, kLongestStep));
        lengthAt_ = 0;
    }

    std::vector<std::uint8_t> bytes_;
    std::size_t lengthAt_ = 0;
    bool fits_ = true;
};

}  // namespace verno::fuzz::script
