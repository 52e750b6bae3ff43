#include <algorithm>
#include <array>
#include <optional>
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
// A 129-byte code block and its 0x00.
constexpr std::size_t kLongestFrame = 130;

// The oracle: where the reply to each command may put a chunk, written from the shape of that
// reply (not from the link's own dispatch), and kept up to date from outside, by the frames the
// command writes and the chunks delivered since.
enum class Shape {
    None,             // nothing sent yet, or the line settled: every byte is dropped
    Counted,          // a reply of a known length, stored as it comes; complete at that length
    FromStart,        // every chunk from index 0; complete once a chunk begins with 0x5A
    Hidden,           // a memory block: kept apart from RxBuf until the read ends
    Acknowledgement,  // stored as it comes; the command stays open for its payload's reply
};

Shape ShapeOf(StepKind kind) {
    switch (kind) {
        case StepKind::ReadIdentity:
        case StepKind::ReadRevision: return Shape::Counted;
        case StepKind::EndConnection: return Shape::FromStart;
        case StepKind::ReadMemory: return Shape::Hidden;
        case StepKind::Idle:
        case StepKind::Settle: return Shape::None;
        default: return Shape::Acknowledgement;
    }
}

class ReplyModel {
public:
    // The step about to run; a step that sends nothing leaves the open reply as it is.
    void Expect(StepKind kind) { kind_ = kind; }
    // Every frame the command writes begins its reply afresh.
    void Sent() {
        shape_ = ShapeOf(kind_);
        expected_ = kind_ == StepKind::ReadIdentity ? wire::kIdentityReplyLength : wire::kRevisionReplyLength;
        count_ = 0;
        memory_.clear();
    }
    void Settled() { shape_ = Shape::None; }

    // Where the chunk lands in RxBuf, or nothing; the model moves on past the chunk.
    std::optional<std::size_t> Take(std::span<const std::uint8_t> chunk) {
        std::optional<std::size_t> at;
        switch (shape_) {
            case Shape::None: break;
            case Shape::Counted:
                at = count_;
                if (count_ + chunk.size() >= expected_) shape_ = Shape::None;
                break;
            case Shape::FromStart:
                at = 0;
                if (!chunk.empty() && chunk[0] == wire::kAck) shape_ = Shape::None;
                break;
            case Shape::Hidden:
                for (std::size_t i = 0; i < chunk.size() && memory_.size() <= wire::kMemoryReplyLength; ++i)
                    memory_.push_back(chunk[i]);
                break;
            case Shape::Acknowledgement: at = count_; break;
        }
        count_ += chunk.size();
        return at;
    }
    // The memory reply to the last read frame, as far as the block goes.
    const std::vector<std::uint8_t>& MemoryReply() const { return memory_; }

private:
    StepKind kind_ = StepKind::Idle;
    Shape shape_ = Shape::None;
    std::size_t expected_ = 0;
    std::size_t count_ = 0;
    std::vector<std::uint8_t> memory_;
};

// What the procedures can see of the link, and what no chunk may change.
struct Outside {
    bool commError = false;
    bool linkAborted = false;
    bool transferFailed = false;
    std::size_t rxSize = 0;
    std::array<std::uint8_t, 129> data{};
    std::array<std::uint8_t, 17> identity{};
    std::string identityText;
    bool operator==(const Outside&) const = default;
};

Outside OutsideOf(const CommModule& c) {
    return {c.CommError, c.LinkAborted, c.TransferFailed, c.RxBuf.size(), c.DataBuf, c.IdentityBytes, c.IdentityText};
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
void CheckWindows(const std::vector<Window>& before, const std::vector<std::uint8_t>& after,
                  std::optional<std::size_t> base, std::span<const std::uint8_t> chunk) {
    for (const Window& w : before) {
        for (std::size_t i = 0; i < w.bytes.size(); ++i) {
            const std::size_t at = w.from + i;
            const bool written = base && at >= *base && at - *base < chunk.size();
            VERNO_FUZZ_CHECK(at < after.size());
            VERNO_FUZZ_CHECK(after[at] == (written ? chunk[at - *base] : w.bytes[i]));
        }
    }
}

void CheckedReceive(CommModule& comm, ReplyModel& model, std::span<const std::uint8_t> chunk) {
    const Outside before = OutsideOf(comm);
    const std::optional<std::size_t> at = model.Take(chunk);
    const auto rxBefore = WindowsOf(comm.RxBuf, at.value_or(0), chunk.size());

    comm.ReceiveData(chunk);

    // Nothing but RxBuf's bytes moves, and not its size.
    VERNO_FUZZ_CHECK(OutsideOf(comm) == before);
    CheckWindows(rxBefore, comm.RxBuf, chunk.empty() ? std::nullopt : at, chunk);
}

// The port and the pump at once: writes are checked and kept, the pump plays the script.
class ScriptedLink final : public link::Port, public link::Pump {
public:
    ScriptedLink(link::VirtualClock& clock, int failingWrite) : clock_(clock), failingWrite_(failingWrite) {}
    void Attach(CommModule& comm) { comm_ = &comm; }
    ReplyModel& Model() { return model_; }
    const ReplyModel& Model() const { return model_; }

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
        VERNO_FUZZ_CHECK(bytes.size() >= 2 && bytes.size() <= kLongestFrame && bytes.back() == 0);
        model_.Sent();
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
            CheckedReceive(*comm_, model_, events_->Take((x + 1) * script::kLongChunkUnit));
        } else if (event >= script::kWait) {
            if (inCommand) clock_.Advance(Seconds(0.01 * static_cast<double>(x + 1)));
        } else {
            CheckedReceive(*comm_, model_, events_->Take(x + 1));
        }
        return true;
    }

    link::VirtualClock& clock_;
    CommModule* comm_ = nullptr;
    ReplyModel model_;
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

// The commands that read: identity, revision, a memory block, the end of the connection. Each
// checks what it returns against what the wire brought.
std::string RunRead(StepKind kind, std::uint16_t value, CommModule& comm, const ScriptedLink& port, WireRule& rule) {
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
            rule = {{wire::kReadIdentity, 0}, 0, 12, 0};
            return ok ? "identity" : "no-identity";
        }
        case StepKind::ReadRevision: {
            const link::RevisionReply reply = comm.ReadRevision();
            VERNO_FUZZ_CHECK(reply.revision == (reply.status == link::LinkStatus::Ok ? RxAt(comm, 1) : 0));
            rule = {{wire::kReadRevision, 0}, 0, 12, 0};
            return "revision=" + std::to_string(reply.revision);
        }
        case StepKind::EndConnection: {
            const bool ok = comm.EndConnection() == link::LinkStatus::Ok;
            VERNO_FUZZ_CHECK(ok == !comm.TransferFailed);
            rule = {{wire::kEndConnection, wire::kEndConnectionArg, 0}, 0, 5, 0};
            return ok ? "ended" : "not-ended";
        }
        default: {
            // A block read is the last read frame's reply: 0x5A, then the block.
            if (comm.ReadMemory(value, value) == link::LinkStatus::Ok) {
                const auto& reply = port.Model().MemoryReply();
                VERNO_FUZZ_CHECK(reply.size() >= wire::kMemoryReplyLength && reply[0] == wire::kAck);
                for (std::size_t i = 1; i < std::min(wire::kMemoryReplyLength, comm.RxBuf.size()); ++i)
                    VERNO_FUZZ_CHECK(comm.RxBuf[i] == reply[i]);
            }
            rule = {WordFrame(wire::kReadMemory, value), 0, 5, 0};
            return "memory";
        }
    }
}

// The commands that write: the word commands, code blocks, profile pieces and the clock.
std::string RunWrite(StepKind kind, std::uint16_t value, CommModule& comm, WireRule& rule) {
    switch (kind) {
        case StepKind::CloseArea1:
        case StepKind::CloseArea2: {
            const std::uint8_t command = kind == StepKind::CloseArea1 ? wire::kCloseArea1 : wire::kCloseArea2;
            (void)comm.SendWordCommand(command, value);
            rule = {WordFrame(command, value), 0, 5, 0};
            return kind == StepKind::CloseArea1 ? "close1" : "close2";
        }
        case StepKind::Area2Word:
            (void)comm.SendB8WordCommand(value);
            rule = {WordFrame(wire::kArea2Word, value), 0, 5, 0};
            return "word";
        case StepKind::WriteArea1Block:
        case StepKind::WriteArea2Block: {
            const std::uint8_t command = kind == StepKind::WriteArea1Block ? wire::kWriteArea1Block : wire::kWriteArea2Block;
            (void)comm.WriteCodeBlock(value, command);
            // Four tries, each up to 22 headers and one payload.
            rule = {WordFrame(command, value), 129, 4 * 23, 4};
            return command == wire::kWriteArea1Block ? "block1" : "block2";
        }
        case StepKind::WriteProfileBlock:
            (void)comm.WriteProfileBlock(value);
            rule = {WordFrame(wire::kWriteProfileBlock, value), 17, 12 + 12, 12};
            return "piece";
        default:
            (void)comm.SetDateTime("07/04/09", "15:30:05", wire::kClockExtraByte);
            rule = {{wire::kSetDateTime, 0}, 9, 5 + 5, 5};
            return "clock";
    }
}

bool IsRead(StepKind kind) {
    return kind == StepKind::ReadIdentity || kind == StepKind::ReadRevision || kind == StepKind::EndConnection ||
           kind == StepKind::ReadMemory;
}

std::string RunStep(StepKind kind, std::uint16_t value, CommModule& comm, ScriptedLink& port, ByteReader& events) {
    for (std::size_t i = 0; i < comm.DataBuf.size(); ++i) comm.DataBuf[i] = static_cast<std::uint8_t>((value + i) & 0xFF);
    const bool failedBefore = comm.TransferFailed;
    port.Play(events);
    port.Model().Expect(kind);
    std::string account;
    if (kind == StepKind::Idle) {
        account = "idle";
    } else if (kind == StepKind::Settle) {
        // As Close does before its recovery: the line goes quiet for up to 2.55 s.
        port.Model().Settled();
        comm.SettleLine(Seconds(0.01 * (value & 0xFF)));
        account = "settle";
    } else {
        WireRule rule;
        account = IsRead(kind) ? RunRead(kind, value, comm, port, rule) : RunWrite(kind, value, comm, rule);
        CheckFrames(comm, port, rule);
        // Only EndConnection clears TransferFailed; every other command leaves a failure standing.
        if (failedBefore && kind != StepKind::EndConnection) VERNO_FUZZ_CHECK(comm.TransferFailed);
        account += comm.TransferFailed ? "!" : "";
        account += "/" + std::to_string(port.StepWrites());
    }
    port.PlayLate();
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
