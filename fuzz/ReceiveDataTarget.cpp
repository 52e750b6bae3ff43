#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "fuzz/ByteReader.h"
#include "fuzz/FuzzCheck.h"
#include "fuzz/ReceiveScript.h"
#include "fuzz/Targets.h"
#include "link/protocol/CommModule.h"
#include "link/protocol/VirtualClock.h"

namespace verno::fuzz {

namespace {

using link::CommModule;
using link::PortResult;
using link::Seconds;
using script::StepKind;
namespace wire = link::wire;

constexpr Seconds kPassStep{0.001};
// Once the events are used up every pass is a quarter second: all waits run out within a few.
constexpr Seconds kIdleStep{0.25};
// The longest give-up is WriteCodeBlock's, under 150 idle passes.
constexpr int kMaxIdlePasses = 2000;
// Outside these windows the buffers are not compared, so that big buffers stay cheap to check.
constexpr std::size_t kHeadWindow = 512;
constexpr std::size_t kMargin = 64;

// Where ReceiveData puts a chunk, by the command outstanding.
enum class Row { Counted, FromZero, Memory, Acknowledgement, Discarded };

Row RowOf(std::int16_t pending) {
    switch (pending) {
        case wire::kReadIdentity:
        case wire::kReadRevision: return Row::Counted;
        case wire::kEndConnection: return Row::FromZero;
        case wire::kReadMemory: return Row::Memory;
        case wire::kSetDateTime:
        case wire::kWriteProfileBlock:
        case wire::kWriteArea1Block:
        case wire::kCloseArea1:
        case wire::kWriteArea2Block:
        case wire::kArea2Word:
        case wire::kCloseArea2: return Row::Acknowledgement;
        default: return Row::Discarded;
    }
}

struct State {
    std::int16_t pendingCmd = 0;
    std::int32_t rxCount = 0;
    std::int32_t rxExpected = 0;
    bool replyOk = false;
    bool nakReceived = false;
    bool commError = false;
    bool linkAborted = false;
    bool transferFailed = false;
    std::size_t rxSize = 0;
    std::size_t blockSize = 0;
    std::array<std::uint8_t, 257> tx{};
    std::array<std::uint8_t, 129> data{};
    std::array<std::uint8_t, 17> identity{};
    std::string identityText;
};

State StateOf(const CommModule& c) {
    State s;
    s.pendingCmd = c.PendingCmd;
    s.rxCount = c.RxCount;
    s.rxExpected = c.RxExpected;
    s.replyOk = c.ReplyOk;
    s.nakReceived = c.NakReceived;
    s.commError = c.CommError;
    s.linkAborted = c.LinkAborted;
    s.transferFailed = c.TransferFailed;
    s.rxSize = c.RxBuf.size();
    s.blockSize = c.BlockBuf.size();
    s.tx = c.TxBuf;
    s.data = c.DataBuf;
    s.identity = c.IdentityBytes;
    s.identityText = c.IdentityText;
    return s;
}

struct Window {
    std::size_t from = 0;
    std::vector<std::uint8_t> bytes;
};

// The head of the buffer and the stretch around where the chunk goes.
std::vector<Window> WindowsOf(const std::vector<std::uint8_t>& buffer, std::size_t base, std::size_t n) {
    std::vector<Window> windows;
    auto add = [&](std::size_t from, std::size_t to) {
        to = std::min(to, buffer.size());
        if (from < to)
            windows.push_back({from, {buffer.begin() + static_cast<std::ptrdiff_t>(from),
                                      buffer.begin() + static_cast<std::ptrdiff_t>(to)}});
    };
    add(0, kHeadWindow);
    add(std::max(base > kMargin ? base - kMargin : 0, kHeadWindow), base + n + kMargin);
    return windows;
}

// Each byte is what it was, or the chunk's byte where the chunk was to be stored.
void CheckWindows(const std::vector<Window>& before, const std::vector<std::uint8_t>& after, bool target,
                  std::size_t base, std::span<const std::uint8_t> chunk) {
    for (const Window& w : before) {
        for (std::size_t i = 0; i < w.bytes.size(); ++i) {
            const std::size_t at = w.from + i;
            const bool written = target && at >= base && at - base < chunk.size();
            VERNO_FUZZ_CHECK(at < after.size());
            VERNO_FUZZ_CHECK(after[at] == (written ? chunk[at - base] : w.bytes[i]));
        }
    }
}

void CheckedReceive(CommModule& comm, std::span<const std::uint8_t> chunk) {
    const State before = StateOf(comm);
    VERNO_FUZZ_CHECK(before.rxCount >= 0);
    const Row row = RowOf(before.pendingCmd);
    const std::size_t base = row == Row::FromZero ? 0 : static_cast<std::size_t>(before.rxCount);
    const auto rxBefore = WindowsOf(comm.RxBuf, base, chunk.size());
    const auto blockBefore = WindowsOf(comm.BlockBuf, base, chunk.size());

    comm.ReceiveData(chunk);

    const State after = StateOf(comm);
    // Nothing but the reply's own state moves, and no buffer changes its size.
    VERNO_FUZZ_CHECK(after.rxSize == before.rxSize && after.blockSize == before.blockSize);
    VERNO_FUZZ_CHECK(after.rxExpected == before.rxExpected && after.commError == before.commError &&
                     after.linkAborted == before.linkAborted && after.transferFailed == before.transferFailed);
    VERNO_FUZZ_CHECK(after.tx == before.tx && after.data == before.data && after.identity == before.identity &&
                     after.identityText == before.identityText);

    const bool stored = row != Row::Discarded && !chunk.empty();
    CheckWindows(rxBefore, comm.RxBuf, stored && row != Row::Memory, base, chunk);
    CheckWindows(blockBefore, comm.BlockBuf, stored && row == Row::Memory, base, chunk);
    if (!stored) {
        VERNO_FUZZ_CHECK(after.pendingCmd == before.pendingCmd && after.rxCount == before.rxCount &&
                         after.replyOk == before.replyOk && after.nakReceived == before.nakReceived);
        return;
    }

    VERNO_FUZZ_CHECK(std::int64_t{after.rxCount} == std::int64_t{before.rxCount} + static_cast<std::int64_t>(chunk.size()));
    const auto& target = row == Row::Memory ? comm.BlockBuf : comm.RxBuf;
    const std::uint8_t first = target.empty() ? 0 : target[0];
    VERNO_FUZZ_CHECK(after.nakReceived == (before.nakReceived || first == wire::kNak));
    bool complete = false;
    switch (row) {
        case Row::Counted:
            complete = before.pendingCmd == wire::kReadIdentity ? after.rxCount >= after.rxExpected : after.rxCount >= 2;
            break;
        case Row::FromZero: complete = first == wire::kAck; break;
        case Row::Memory: complete = first == wire::kAck && after.rxCount >= after.rxExpected; break;
        case Row::Acknowledgement:
            // The command stays pending so that its payload can follow; a refusal also ends the wait.
            VERNO_FUZZ_CHECK(after.pendingCmd == before.pendingCmd);
            VERNO_FUZZ_CHECK(after.replyOk == (before.replyOk || first == wire::kAck || first == wire::kNak));
            return;
        case Row::Discarded: return;
    }
    VERNO_FUZZ_CHECK(after.pendingCmd == (complete ? CommModule::kNoCommand : before.pendingCmd));
    VERNO_FUZZ_CHECK(after.replyOk == (before.replyOk || complete));
}

// The port and the pump at once: writes are checked and kept, the pump plays the script.
class ScriptedLink final : public link::Port, public link::Pump {
public:
    ScriptedLink(link::VirtualClock& clock, int failingWrite) : clock_(clock), failingWrite_(failingWrite) {}
    void Attach(CommModule& comm) { comm_ = &comm; }

    void Play(ByteReader& events) {
        events_ = &events;
        idlePasses_ = 0;
        frames_.clear();
        stepWrites_ = 0;
    }
    // What the command left unplayed arrives after it returned.
    void PlayLate() {
        while (events_ != nullptr && !events_->Done()) PlayEvent(events_->Byte(), false);
        events_ = nullptr;
    }

    PortResult Write(std::span<const std::uint8_t> bytes) override {
        // SendBytes puts nothing on the wire without a command outstanding.
        VERNO_FUZZ_CHECK(comm_->PendingCmd != CommModule::kNoCommand);
        VERNO_FUZZ_CHECK(bytes.size() >= 2 && bytes.size() <= comm_->TxBuf.size() + 1 && bytes.back() == 0);
        ++stepWrites_;
        if (++writes_ == failingWrite_) return PortResult::WriteFailed;
        frames_.emplace_back(bytes.begin(), bytes.end());
        return PortResult::Ok;
    }
    void Clear() override {}

    void RunPending() override {
        if (events_ == nullptr || events_->Done()) {
            clock_.Advance(kIdleStep);
            // Every command gives up in bounded time once the DC has nothing more to say.
            VERNO_FUZZ_CHECK(++idlePasses_ <= kMaxIdlePasses);
            return;
        }
        clock_.Advance(kPassStep);
        while (!events_->Done()) {
            if (!PlayEvent(events_->Byte(), true)) continue;
            if (events_->Done() || events_->Peek() < script::kJoin) return;
        }
    }

    const std::vector<std::vector<std::uint8_t>>& Frames() const { return frames_; }
    int StepWrites() const { return stepWrites_; }

private:
    // True when the event ends the pump pass.
    bool PlayEvent(std::uint8_t event, bool inCommand) {
        const std::size_t x = event & 0x3Fu;
        if (event >= script::kJoin) return false;
        if (event >= script::kClose) {
            // As Close does once its recovery is over: both flags, then the buffers keep index 0.
            comm_->CommError = true;
            comm_->LinkAborted = true;
            comm_->ShrinkReceiveBuffers();
        } else if (event >= script::kLongChunk) {
            CheckedReceive(*comm_, events_->Take((x + 1) * script::kLongChunkUnit));
        } else if (event >= script::kWait) {
            if (inCommand) clock_.Advance(Seconds(0.01 * static_cast<double>(x + 1)));
        } else {
            CheckedReceive(*comm_, events_->Take(x + 1));
        }
        return true;
    }

    link::VirtualClock& clock_;
    CommModule* comm_ = nullptr;
    ByteReader* events_ = nullptr;
    int failingWrite_ = 0;
    int writes_ = 0;
    int stepWrites_ = 0;
    int idlePasses_ = 0;
    std::vector<std::vector<std::uint8_t>> frames_;
};

// What a command may put on the wire: its header frame, its payload, and how many of each.
struct WireRule {
    std::vector<std::uint8_t> header;
    std::size_t payload = 0;  // bytes from DataBuf, 0 when the command has none
    int maxWrites = 0;
    int maxPayloads = 0;
};

void CheckFrames(const CommModule& comm, const ScriptedLink& port, const WireRule& rule) {
    VERNO_FUZZ_CHECK(port.StepWrites() <= rule.maxWrites);
    int payloads = 0;
    for (const auto& frame : port.Frames()) {
        if (frame == rule.header) continue;
        VERNO_FUZZ_CHECK(rule.payload > 0 && frame.size() == rule.payload + 1);
        VERNO_FUZZ_CHECK(std::equal(frame.begin(), frame.end() - 1, comm.DataBuf.begin()));
        ++payloads;
    }
    VERNO_FUZZ_CHECK(payloads <= rule.maxPayloads);
    // A payload only ever follows its header.
    if (payloads > 0) VERNO_FUZZ_CHECK(port.Frames().front() == rule.header);
}

std::uint8_t RxAt(const CommModule& comm, std::size_t index) {
    return index < comm.RxBuf.size() ? comm.RxBuf[index] : 0;
}

std::vector<std::uint8_t> WordFrame(std::uint8_t command, std::uint16_t value) {
    return {command, static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value & 0xFF), 0};
}

std::string RunStep(StepKind kind, std::uint16_t value, CommModule& comm, ScriptedLink& port, ByteReader& events) {
    for (std::size_t i = 0; i < comm.DataBuf.size(); ++i) comm.DataBuf[i] = static_cast<std::uint8_t>((value + i) & 0xFF);
    const bool failedBefore = comm.TransferFailed;
    port.Play(events);
    std::string account;
    WireRule rule;
    bool runsCommand = true;
    switch (kind) {
        case StepKind::ReadIdentity: {
            const std::string previous = comm.IdentityText;
            const bool ok = comm.ReadIdentity() == link::LinkStatus::Ok;
            if (ok) {
                VERNO_FUZZ_CHECK(comm.IdentityText.size() == 16);
                for (std::size_t i = 0; i < 16; ++i) {
                    VERNO_FUZZ_CHECK(comm.IdentityBytes[i] == RxAt(comm, i + 1));
                    VERNO_FUZZ_CHECK(comm.IdentityText[i] == static_cast<char>(comm.IdentityBytes[i]));
                }
            } else {
                VERNO_FUZZ_CHECK(comm.IdentityText == previous);
            }
            account = ok ? "identity" : "no-identity";
            rule = {{wire::kReadIdentity, 0}, 0, 12, 0};
            break;
        }
        case StepKind::ReadRevision: {
            const std::uint8_t revision = comm.ReadRevision().revision;
            VERNO_FUZZ_CHECK(revision == (comm.ReplyOk ? RxAt(comm, 1) : 0));
            account = "revision=" + std::to_string(revision);
            rule = {{wire::kReadRevision, 0}, 0, 12, 0};
            break;
        }
        case StepKind::CloseArea1:
            comm.SendWordCommand(wire::kCloseArea1, value);
            account = "close1";
            rule = {WordFrame(wire::kCloseArea1, value), 0, 5, 0};
            break;
        case StepKind::CloseArea2:
            comm.SendWordCommand(wire::kCloseArea2, value);
            account = "close2";
            rule = {WordFrame(wire::kCloseArea2, value), 0, 5, 0};
            break;
        case StepKind::Area2Word:
            comm.SendB8WordCommand(value);
            account = "word";
            rule = {WordFrame(wire::kArea2Word, value), 0, 5, 0};
            break;
        case StepKind::EndConnection: {
            const bool ok = comm.EndConnection() == link::LinkStatus::Ok;
            VERNO_FUZZ_CHECK(ok == !comm.TransferFailed);
            account = ok ? "ended" : "not-ended";
            rule = {{wire::kEndConnection, wire::kEndConnectionArg, 0}, 0, 5, 0};
            break;
        }
        case StepKind::WriteArea1Block:
        case StepKind::WriteArea2Block: {
            const std::uint8_t command = kind == StepKind::WriteArea1Block ? wire::kWriteArea1Block : wire::kWriteArea2Block;
            comm.WriteCodeBlock(value, command);
            account = command == wire::kWriteArea1Block ? "block1" : "block2";
            // Four tries, each up to 22 headers and one payload.
            rule = {WordFrame(command, value), 129, 4 * 23, 4};
            break;
        }
        case StepKind::WriteProfileBlock:
            comm.WriteProfileBlock(value);
            account = "piece";
            rule = {WordFrame(wire::kWriteProfileBlock, value), 17, 12 + 12, 12};
            break;
        case StepKind::SetDateTime:
            comm.SetDateTime("07/04/09", "15:30:05", wire::kClockExtraByte);
            account = "clock";
            rule = {{wire::kSetDateTime, 0}, 9, 5 + 5, 5};
            break;
        case StepKind::ReadMemory:
            comm.ReadMemory(value, value);
            if (comm.ReplyOk) {
                const std::size_t end = std::min({std::size_t{130}, comm.RxBuf.size(), comm.BlockBuf.size()});
                for (std::size_t i = 1; i < end; ++i) VERNO_FUZZ_CHECK(comm.RxBuf[i] == comm.BlockBuf[i]);
            }
            account = "memory";
            rule = {WordFrame(wire::kReadMemory, value), 0, 5, 0};
            break;
        case StepKind::Idle:
            comm.PendingCmd = CommModule::kNoCommand;
            account = "idle";
            runsCommand = false;
            break;
        case StepKind::Leftover:
            comm.PendingCmd = static_cast<std::int16_t>(value >> 8);
            comm.RxExpected = value & 0xFF;
            comm.RxCount = 0;
            account = "left";
            runsCommand = false;
            break;
    }
    if (runsCommand) {
        CheckFrames(comm, port, rule);
        // Only EndConnection clears TransferFailed; every other command leaves a failure standing.
        if (failedBefore && kind != StepKind::EndConnection) VERNO_FUZZ_CHECK(comm.TransferFailed);
        account += comm.TransferFailed ? "!" : "";
        account += "/" + std::to_string(port.StepWrites());
    }
    port.PlayLate();
    VERNO_FUZZ_CHECK(comm.RxCount >= 0);
    return account;
}

}  // namespace

std::string ReceiveDataTarget(std::span<const std::uint8_t> input) {
    ByteReader reader(input);
    const std::uint8_t setup = reader.Byte();
    const std::uint8_t failing = reader.Byte();

    link::VirtualClock clock;
    ScriptedLink port(clock, failing & 0x7F);
    CommModule comm(port, clock, port);
    port.Attach(comm);
    switch (setup & 3u) {
        case script::kBuffersSized: comm.ResizeReceiveBuffers(129u + 2u * (setup >> 2)); break;
        case script::kBuffers512: comm.SizeReceiveBuffersForMemory(512); break;
        case script::kBuffers1024: comm.SizeReceiveBuffersForMemory(1024); break;
        default: comm.ShrinkReceiveBuffers(); break;
    }
    comm.TransferFailed = (failing & script::kTransferFailedBit) != 0;

    std::string account = "receive";
    while (!reader.Done()) {
        const auto kind = static_cast<StepKind>(reader.Byte() % script::kStepKinds);
        const std::uint16_t value = reader.Word();
        const std::uint8_t length = reader.Byte();
        ByteReader events(reader.Take(length == script::kRestOfInput ? reader.Left() : length));
        account += " " + RunStep(kind, value, comm, port, events);
    }
    return account;
}

}  // namespace verno::fuzz
