#pragma once
// The device link: the link's buffers and flags, the byte layer, the receive handler, the
// wait-and-resend loop and every DC command. One object per open link; nothing global.
//
// What the link does with received bytes is its phase, one private value. The failure flags,
// RxBuf and DataBuf are still public: the procedures above read and write them, and each
// command's reply handling in CommModule.cpp gives them their meaning. Every write into a buffer
// is bounds-checked: a byte that would fall beyond a buffer is dropped.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "link/protocol/MonotonicClock.h"
#include "link/protocol/Port.h"
#include "link/protocol/Pump.h"
#include "link/protocol/Wait.h"

namespace verno::link {

// Command bytes and reply bytes on the wire.
namespace wire {
inline constexpr std::uint8_t kAck = 0x5A;
inline constexpr std::uint8_t kNak = 0xA5;
inline constexpr std::uint8_t kReadIdentity = 0x84;
inline constexpr std::uint8_t kSetDateTime = 0x97;
inline constexpr std::uint8_t kEndConnection = 0xA8;
inline constexpr std::uint8_t kEndConnectionArg = 0x55;
inline constexpr std::uint8_t kWriteProfileBlock = 0xB2;
inline constexpr std::uint8_t kReadMemory = 0xB4;
inline constexpr std::uint8_t kWriteArea1Block = 0xB5;
inline constexpr std::uint8_t kCloseArea1 = 0xB6;
inline constexpr std::uint8_t kWriteArea2Block = 0xB7;
inline constexpr std::uint8_t kArea2Word = 0xB8;
inline constexpr std::uint8_t kCloseArea2 = 0xB9;
inline constexpr std::uint8_t kReadRevision = 0xBA;
inline constexpr std::size_t kIdentityReplyLength = 18;
inline constexpr std::size_t kRevisionReplyLength = 2;
inline constexpr std::size_t kMemoryReplyLength = 129;  // ack + 128 bytes
inline constexpr std::uint8_t kClockExtraByte = 233;
}  // namespace wire

// How a DC command ended. The flags (TransferFailed, CommError, LinkAborted) are still set by
// each command's reply handling; the status tells the caller why, so that nobody has to infer
// a cause from flag differences.
enum class LinkStatus {
    Ok,         // answered, or acknowledged
    Timeout,    // no complete answer within the resend bound
    Refused,    // the DC answered 0xA5 to the last transmission
    PortError,  // the port refused a write; the command's error trap (if it has one) has run
    Aborted,    // LinkAborted or CommError stopped the wait, or an earlier failure stands
};

// The parameters of one send-wait-resend exchange (defined with the commands' own values).
struct Exchange;

struct RevisionReply {
    LinkStatus status = LinkStatus::Timeout;
    std::uint8_t revision = 0;  // 0 unless answered
};

inline constexpr std::size_t kBlockBytes = 128;
// A block of code or profile and its check byte, as one 0xB5 or 0xB7 write sends it.
using BlockPayload = std::span<const std::uint8_t, kBlockBytes + 1>;
// Sixteen bytes of profile and their sum, as one 0xB2 write sends them.
using ProfilePiece = std::span<const std::uint8_t, 17>;

struct MemoryBlock {
    LinkStatus status = LinkStatus::Timeout;
    std::array<std::uint8_t, kBlockBytes> bytes{};  // the block, when status is Ok
};

class CommModule {
public:
    // The longest reply is 129 bytes and ReadMemory copies indices 1..129.
    static constexpr std::size_t kMinReceiveBuffer = 130;

    CommModule(Port& port, MonotonicClock& clock, Pump& pump);

    // 16 single-byte characters after a successful ReadIdentity.
    const std::string& Identity() const { return IdentityText; }
    // Close: every command that waits stops, and none waits again until it is sent anew.
    void Abort();
    // A new sequence of writes begins: a failure of an earlier command no longer keeps the next
    // code block's payload back.
    void ClearFailure() { TransferFailed = false; }
    // The last frame did not go out because the cable's device went away and did not come back:
    // the failure is the cable's, not a silent DC's.
    bool CableGone() const { return cableGone_; }

    // Sizes RxBuf and the memory reply's buffer to indices 0..lastIndex (never below
    // kMinReceiveBuffer bytes); their contents are discarded.
    void ResizeReceiveBuffers(std::size_t lastIndex);
    // The size the start-up gives them once the firmware file is read: 136 bytes for each
    // 128-byte block of the DC's memory, and one more. Far beyond the longest reply, so the
    // surplus bytes of a garbled or doubled reply are stored and ignored rather than dropped.
    void SizeReceiveBuffersForMemory(std::uint16_t dcMemoryBlocks) { ResizeReceiveBuffers(136u * dcMemoryBlocks + 1); }
    // Close: both buffers keep index 0 only; late bytes are dropped from then on.
    void ShrinkReceiveBuffers();

    // --- byte layer ---
    // Every received chunk, in arrival order; runs only inside the pump.
    void ReceiveData(std::span<const std::uint8_t> chunk);
    // Waits without letting any notification run (sleeps; never spins).
    void Pause(Seconds duration);
    // Lets the line go quiet for that long, dropping whatever arrives, then clears the port: the
    // late reply to an interrupted or resent command must not be taken for the next one's.
    void SettleLine(Seconds duration);

    // --- query and control commands ---
    // Every command says how it ended; anything but Ok is a failure of it, except where a
    // command's comment says otherwise.
    // Ok: Identity() holds the DC's identity. onCall, when given, is told of every transmission:
    // which one it is and how many there can be, so that a long wait for a silent DC shows life.
    using CallShown = std::function<void(int transmission, int of)>;
    [[nodiscard]] LinkStatus ReadIdentity(const CallShown& onCall = {});
    [[nodiscard]] RevisionReply ReadRevision();
    [[nodiscard]] LinkStatus SendWordCommand(std::uint8_t command, std::int32_t value);
    [[nodiscard]] LinkStatus SendB8WordCommand(std::int32_t value);
    [[nodiscard]] LinkStatus EndConnection();

    // --- block transfers ---
    [[nodiscard]] LinkStatus WriteCodeBlock(std::uint16_t address, std::uint8_t command, BlockPayload payload);
    [[nodiscard]] LinkStatus WriteProfileBlock(std::uint16_t address, ProfilePiece piece);
    // date "mm/dd/yy", time "hh:mm:ss". Refused: the DC did not take the time, which is no
    // failure of the link.
    [[nodiscard]] LinkStatus SetDateTime(std::string_view date, std::string_view time, std::uint8_t extra);
    [[nodiscard]] MemoryBlock ReadMemory(std::uint16_t first, std::uint16_t last);

    // The 9-byte clock record SetDateTime sends.
    static std::array<std::uint8_t, 9> BuildClockRecord(std::string_view date, std::string_view time,
                                                        std::uint8_t extra);

private:
    // The link's own state: the buffers, and the flags of its exchanges. TransferFailed is the
    // standing failure of the last commands (it keeps a code block's payload back); CommError
    // and LinkAborted stop every wait.
    std::array<std::uint8_t, 129> DataBuf{};  // the payload the next block or piece write sends
    std::vector<std::uint8_t> RxBuf;          // sized by ResizeReceiveBuffers, never written past
    bool CommError = false;
    bool LinkAborted = false;
    bool TransferFailed = false;
    bool cableGone_ = false;
    std::array<std::uint8_t, 17> IdentityBytes{};
    std::string IdentityText;

    std::uint8_t RxByte(std::size_t index) const { return index < RxBuf.size() ? RxBuf[index] : 0; }
    LinkStatus SendBlockHeader(std::uint16_t address, std::uint8_t command);
    LinkStatus SendProfileBlockHeader(std::uint16_t address);
    LinkStatus SendDateTimeHeader();
    // A command that recorded a failure never reports Ok.
    LinkStatus Reported(LinkStatus status, bool failedBefore) const {
        return status == LinkStatus::Ok && TransferFailed && !failedBefore ? LinkStatus::Timeout : status;
    }

    // What the link does with the bytes that arrive, for the command it sent last (command_).
    // Open phases take bytes in; a reply ends the wait; a refusal (0xA5 first) asks for a resend
    // until the next transmission clears it.
    enum class Phase : std::uint8_t {
        Idle,             // nothing outstanding: bytes are dropped
        IdleRefused,      // the line was settled while a refusal stood
        Awaiting,         // the reply is outstanding
        RefusalSeen,      // refused; bytes are still taken in until the resend
        Acknowledged,     // 0x5A to a header or payload: open still, for the payload that follows
        RefusedOpen,      // 0xA5 to a header or payload: answered, and open still
        Answered,         // a complete reply: bytes are dropped
        AnsweredRefused,  // a complete reply after a refusal in the same transmission
    };
    enum class Event {
        Open,             // a command's exchange begins: its reply is outstanding, a refusal stands
        OpenAfresh,       // the same, and any refusal is forgotten
        Reopen,           // a resend or a payload of the same command: the reply is outstanding again
        Restart,          // a code block's payload: outstanding again, and any refusal forgotten
        Sent,             // a transmission went out: the refusal it answers is cleared
        Refusal,          // the reply began with 0xA5
        Acknowledgement,  // the acknowledgement family answered: the command stays open
        Completion,       // a reply with a length is complete: the command closes
        Settle,           // whatever arrives from now on is dropped
    };
    // The only place the phase changes; command is the one whose reply an Open awaits.
    void On(Event event, std::uint8_t command = 0);
    bool IsOpen() const;
    bool Replied() const;
    bool Refused() const;

    struct ExchangeOutcome {
        LinkStatus status = LinkStatus::Ok;
        int resends = 0;
    };
    // Sends txBuf_(0..count-1) followed by one 0x00 byte; nothing when no command is open.
    PortResult SendBytes(int count);
    // onCall, when given, is told of every transmission.
    ExchangeOutcome RunExchange(const Exchange& exchange, const std::function<void()>& reinitialise,
                                const CallShown& onCall = {});
    bool Stopped(const Exchange& exchange) const;
    // The wait for a code block's payload acknowledgement: Ok, Refused, Timeout or Aborted.
    LinkStatus AwaitPayload(Wait& wait);
    // Sets the frame: byte, then a 16-bit value high byte first.
    void SetWordFrame(std::uint8_t command, std::int32_t value);
    LinkStatus SendWordExchange(std::uint8_t command, std::int32_t value, bool trapped);
    void TrapWriteFailure();

    std::array<std::uint8_t, 257> txBuf_{};
    std::vector<std::uint8_t> blockBuf_;  // same size as RxBuf; 0xB4 replies only
    std::int32_t rxCount_ = 0;
    std::int32_t rxExpected_ = 0;
    Phase phase_ = Phase::Idle;
    std::uint8_t command_ = 0;
    Port& port_;
    MonotonicClock& clock_;
    Pump& pump_;
};

}  // namespace verno::link
