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
using link::LinkStatus;
using link::PortResult;
using link::Seconds;
using script::StepKind;
namespace wire = link::wire;

constexpr Seconds kPassStep{0.001};
// Once the events are used up every pass is a quarter second: all waits run out within a few.
constexpr Seconds kIdleStep{0.25};
// The longest give-up is WriteCodeBlock's, under 150 idle passes.
constexpr int kMaxIdlePasses = 2000;
// A 129-byte code block and its 0x00.
constexpr std::size_t kLongestFrame = 130;

// The oracle: where the reply to each command may put a chunk, written from the shape of that
// reply (not from the link's own dispatch), and kept up to date from outside, by the frames the
// command writes and the chunks delivered since. It keeps its own image of the link's receive
// buffer and of the memory reply's, sized as the target sized the link's, and checks the values
// a command returns against them.
enum class Shape {
    None,             // nothing sent yet, or the line settled: every byte is dropped
    Counted,          // a reply of a known length, stored as it comes; complete at that length
    FromStart,        // every chunk from index 0; complete once a chunk begins with 0x5A
    Hidden,           // a memory block: kept apart until the read ends
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
    // The buffers as ResizeReceiveBuffers(lastIndex) leaves them; Close keeps index 0 only.
    void Size(std::size_t lastIndex) { Assign(std::max(lastIndex + 1, CommModule::kMinReceiveBuffer)); }
    void Shrink() { Assign(1); }
    // The step about to run; a step that sends nothing leaves the open reply as it is.
    void Expect(StepKind kind) { kind_ = kind; }
    // Every frame the command writes begins its reply afresh.
    void Sent() {
        shape_ = ShapeOf(kind_);
        expected_ = kind_ == StepKind::ReadIdentity ? wire::kIdentityReplyLength : wire::kRevisionReplyLength;
        count_ = 0;
        complete_ = false;
    }
    void Settled() { shape_ = Shape::None; }

    // Stores the chunk where the reply of the last frame puts it; the model moves on past it.
    void Take(std::span<const std::uint8_t> chunk) {
        switch (shape_) {
            case Shape::None: break;
            case Shape::Counted:
                Store(rx_, count_, chunk);
                if (count_ + chunk.size() >= expected_) Complete();
                break;
            case Shape::FromStart:
                Store(rx_, 0, chunk);
                if (chunk[0] == wire::kAck) Complete();
                break;
            case Shape::Hidden:
                Store(block_, count_, chunk);
                if (block_[0] == wire::kAck && count_ + chunk.size() >= wire::kMemoryReplyLength) Complete();
                break;
            case Shape::Acknowledgement: Store(rx_, count_, chunk); break;
        }
        count_ += chunk.size();
    }
    // A complete memory reply moves into the receive buffer when its read ends.
    void ReadEnded() {
        if (!complete_) return;
        const std::size_t end = std::min(wire::kMemoryReplyLength + 1, rx_.size());
        std::copy(block_.begin() + 1, block_.begin() + static_cast<std::ptrdiff_t>(end), rx_.begin() + 1);
    }
    // Whether the reply to the command's last frame came whole.
    bool Complete() const { return complete_; }
    // What the receive buffer holds at index, 0 beyond its end.
    std::uint8_t At(std::size_t index) const { return index < rx_.size() ? rx_[index] : 0; }

private:
    void Assign(std::size_t size) {
        rx_.assign(size, 0);
        block_.assign(size, 0);
    }
    void Complete() {
        shape_ = Shape::None;
        complete_ = true;
    }
    static void Store(std::vector<std::uint8_t>& buffer, std::size_t at, std::span<const std::uint8_t> chunk) {
        for (std::size_t i = 0; i < chunk.size() && at + i < buffer.size(); ++i) buffer[at + i] = chunk[i];
    }

    StepKind kind_ = StepKind::Idle;
    Shape shape_ = Shape::None;
    std::size_t expected_ = 0;
    std::size_t count_ = 0;
    bool complete_ = false;
    std::vector<std::uint8_t> rx_;
    std::vector<std::uint8_t> block_;
};

// No chunk changes the identity: only an answered ReadIdentity does.
void CheckedReceive(CommModule& comm, ReplyModel& model, std::span<const std::uint8_t> chunk) {
    const std::string identity = comm.Identity();
    if (!chunk.empty()) model.Take(chunk);
    comm.ReceiveData(chunk);
    VERNO_FUZZ_CHECK(comm.Identity() == identity);
}

// The port and the pump at once: writes are checked and kept, the pump plays the script.
class ScriptedLink final : public link::Port, public link::Pump {
public:
    explicit ScriptedLink(link::VirtualClock& clock) : clock_(clock) {}
    void Attach(CommModule& comm) { comm_ = &comm; }
    // The n-th write from now on (from 1) fails; 0 none.
    void FailWrite(int n) {
        failingWrite_ = n;
        writes_ = 0;
    }
    ReplyModel& Model() { return model_; }
    const ReplyModel& Model() const { return model_; }

    void Play(ByteReader* events) {
        events_ = events;
        idlePasses_ = 0;
        frames_.clear();
    }
    // What the command left unplayed arrives after it returned.
    void PlayLate() {
        while (events_ != nullptr && !events_->Done()) PlayEvent(events_->Byte(), false);
        events_ = nullptr;
    }

    PortResult Write(std::span<const std::uint8_t> bytes) override {
        VERNO_FUZZ_CHECK(bytes.size() >= 2 && bytes.size() <= kLongestFrame && bytes.back() == 0);
        model_.Sent();
        frames_.emplace_back(bytes.begin(), bytes.end());
        return ++writes_ == failingWrite_ ? PortResult::WriteFailed : PortResult::Ok;
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

    // Every frame the step tried to write, the failing one included.
    const std::vector<std::vector<std::uint8_t>>& Frames() const { return frames_; }
    int StepWrites() const { return static_cast<int>(frames_.size()); }

private:
    // True when the event ends the pump pass.
    bool PlayEvent(std::uint8_t event, bool inCommand) {
        const std::size_t x = event & 0x3Fu;
        if (event >= script::kJoin) return false;
        if (event >= script::kClose) {
            // As Close does once its recovery is over: the abort, then the buffers keep index 0.
            comm_->Abort();
            comm_->ShrinkReceiveBuffers();
            model_.Shrink();
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
    int idlePasses_ = 0;
    std::vector<std::vector<std::uint8_t>> frames_;
};

// What a command may put on the wire: its header frame, its payload, and how many of each.
struct WireRule {
    std::vector<std::uint8_t> header;
    std::vector<std::uint8_t> payload;  // empty when the command has none
    int maxWrites = 0;
    int maxPayloads = 0;
};

// The payload frames the step wrote; each is the payload the command was given, after its header.
int CheckFrames(const ScriptedLink& port, const WireRule& rule) {
    VERNO_FUZZ_CHECK(port.StepWrites() <= rule.maxWrites);
    int payloads = 0;
    for (const auto& frame : port.Frames()) {
        if (frame == rule.header) continue;
        VERNO_FUZZ_CHECK(!rule.payload.empty() && frame.size() == rule.payload.size() + 1);
        VERNO_FUZZ_CHECK(std::equal(rule.payload.begin(), rule.payload.end(), frame.begin()));
        ++payloads;
    }
    VERNO_FUZZ_CHECK(payloads <= rule.maxPayloads);
    // A payload only ever follows its header.
    if (payloads > 0) VERNO_FUZZ_CHECK(port.Frames().front() == rule.header);
    return payloads;
}

std::vector<std::uint8_t> WordFrame(std::uint8_t command, std::uint16_t value) {
    return {command, static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value & 0xFF), 0};
}

// What a step did, as the oracle sees it.
struct Outcome {
    LinkStatus status = LinkStatus::Ok;
    WireRule rule;
    std::string account;
};

// The commands that read: identity, revision, a memory block, the end of the connection. Each
// checks what it returns against the reply the model saw.
Outcome RunRead(StepKind kind, std::uint16_t value, CommModule& comm, ScriptedLink& port) {
    const ReplyModel& model = port.Model();
    switch (kind) {
        case StepKind::ReadIdentity: {
            const std::string previous = comm.Identity();
            const LinkStatus status = comm.ReadIdentity();
            if (status == LinkStatus::Ok) {
                VERNO_FUZZ_CHECK(model.Complete() && comm.Identity().size() == 16);
                for (std::size_t i = 0; i < 16; ++i)
                    VERNO_FUZZ_CHECK(comm.Identity()[i] == static_cast<char>(model.At(i + 1)));
            } else {
                VERNO_FUZZ_CHECK(comm.Identity() == previous);
            }
            return {status, {{wire::kReadIdentity, 0}, {}, 12, 0}, status == LinkStatus::Ok ? "identity" : "no-identity"};
        }
        case StepKind::ReadRevision: {
            const link::RevisionReply reply = comm.ReadRevision();
            VERNO_FUZZ_CHECK(reply.status != LinkStatus::Ok || model.Complete());
            VERNO_FUZZ_CHECK(reply.revision == (reply.status == LinkStatus::Ok ? model.At(1) : 0));
            return {reply.status, {{wire::kReadRevision, 0}, {}, 12, 0}, "revision=" + std::to_string(reply.revision)};
        }
        case StepKind::EndConnection: {
            const LinkStatus status = comm.EndConnection();
            VERNO_FUZZ_CHECK(status != LinkStatus::Ok || model.Complete());
            return {status, {{wire::kEndConnection, wire::kEndConnectionArg, 0}, {}, 5, 0},
                    status == LinkStatus::Ok ? "ended" : "not-ended"};
        }
        default: {
            // A block read is the last read frame's reply: 0x5A, then the block.
            const link::MemoryBlock block = comm.ReadMemory(value, value);
            port.Model().ReadEnded();
            if (block.status == LinkStatus::Ok) {
                VERNO_FUZZ_CHECK(model.Complete());
                for (std::size_t i = 0; i < block.bytes.size(); ++i) VERNO_FUZZ_CHECK(block.bytes[i] == model.At(i + 1));
            }
            return {block.status, {WordFrame(wire::kReadMemory, value), {}, 5, 0}, "memory"};
        }
    }
}

// The payload a step sends: bytes that follow from the step's value.
template <std::size_t N>
std::array<std::uint8_t, N> PayloadOf(std::uint16_t value) {
    std::array<std::uint8_t, N> payload{};
    for (std::size_t i = 0; i < N; ++i) payload[i] = static_cast<std::uint8_t>((value + i) & 0xFF);
    return payload;
}

// The commands that write: the word commands, code blocks, profile pieces and the clock.
Outcome RunWrite(StepKind kind, std::uint16_t value, CommModule& comm) {
    switch (kind) {
        case StepKind::CloseArea1:
        case StepKind::CloseArea2: {
            const std::uint8_t command = kind == StepKind::CloseArea1 ? wire::kCloseArea1 : wire::kCloseArea2;
            return {comm.SendWordCommand(command, value), {WordFrame(command, value), {}, 5, 0},
                    kind == StepKind::CloseArea1 ? "close1" : "close2"};
        }
        case StepKind::Area2Word:
            return {comm.SendB8WordCommand(value), {WordFrame(wire::kArea2Word, value), {}, 5, 0}, "word"};
        case StepKind::WriteArea1Block:
        case StepKind::WriteArea2Block: {
            const std::uint8_t command = kind == StepKind::WriteArea1Block ? wire::kWriteArea1Block : wire::kWriteArea2Block;
            const auto block = PayloadOf<link::kBlockBytes + 1>(value);
            // Four tries, each up to 22 headers and one payload.
            return {comm.WriteCodeBlock(value, command, block),
                    {WordFrame(command, value), {block.begin(), block.end()}, 4 * 23, 4},
                    command == wire::kWriteArea1Block ? "block1" : "block2"};
        }
        case StepKind::WriteProfileBlock: {
            const auto piece = PayloadOf<17>(value);
            return {comm.WriteProfileBlock(value, piece),
                    {WordFrame(wire::kWriteProfileBlock, value), {piece.begin(), piece.end()}, 12 + 12, 12}, "piece"};
        }
        default: {
            const auto record = CommModule::BuildClockRecord("07/04/09", "15:30:05", wire::kClockExtraByte);
            return {comm.SetDateTime("07/04/09", "15:30:05", wire::kClockExtraByte),
                    {{wire::kSetDateTime, 0}, {record.begin(), record.end()}, 5 + 5, 5}, "clock"};
        }
    }
}

bool IsRead(StepKind kind) {
    return kind == StepKind::ReadIdentity || kind == StepKind::ReadRevision || kind == StepKind::EndConnection ||
           kind == StepKind::ReadMemory;
}

// The standing failure, kept from outside: a command that failed leaves it, only an answered
// EndConnection clears it. Identity and revision reads never leave it; neither does a clock
// record the DC refused or Close stopped, nor a code block whose payload wait Close stopped.
bool FailureStandsAfter(StepKind kind, bool before, LinkStatus status, int payloads) {
    switch (kind) {
        case StepKind::EndConnection: return status != LinkStatus::Ok;
        case StepKind::ReadIdentity:
        case StepKind::ReadRevision: return before;
        case StepKind::SetDateTime:
            if (payloads > 0) return before || status == LinkStatus::Timeout || status == LinkStatus::PortError;
            return before || status != LinkStatus::Ok;
        case StepKind::WriteArea1Block:
        case StepKind::WriteArea2Block:
            if (payloads > 0 && status == LinkStatus::Aborted) return before;
            return before || status != LinkStatus::Ok;
        default: return before || status != LinkStatus::Ok;
    }
}

bool IsCodeBlock(StepKind kind) { return kind == StepKind::WriteArea1Block || kind == StepKind::WriteArea2Block; }

// Runs one command; standing is the failure the oracle knows of, before the step and after.
std::string RunCommand(StepKind kind, std::uint16_t value, CommModule& comm, ScriptedLink& port, bool& standing) {
    Outcome outcome = IsRead(kind) ? RunRead(kind, value, comm, port) : RunWrite(kind, value, comm);
    const int payloads = CheckFrames(port, outcome.rule);
    const bool lastIsPayload = payloads > 0 && port.Frames().back() != outcome.rule.header;
    if (IsCodeBlock(kind) && standing) {
        // A standing failure keeps the payload back.
        VERNO_FUZZ_CHECK(payloads == 0 && outcome.status != LinkStatus::Ok);
    }
    if (outcome.status == LinkStatus::Ok && IsCodeBlock(kind)) VERNO_FUZZ_CHECK(payloads > 0);
    standing = FailureStandsAfter(kind, standing, outcome.status, IsCodeBlock(kind) ? lastIsPayload : payloads);
    return outcome.account + (standing ? "!" : "") + "/" + std::to_string(port.StepWrites());
}

std::string RunStep(StepKind kind, std::uint16_t value, CommModule& comm, ScriptedLink& port, ByteReader& events,
                    bool& standing) {
    port.Play(&events);
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
        account = RunCommand(kind, value, comm, port, standing);
    }
    port.PlayLate();
    return account;
}

// The buffers as the setup byte sizes them.
void SizeBuffers(std::uint8_t setup, CommModule& comm, ReplyModel& model) {
    std::size_t lastIndex = 0;
    switch (setup & 3u) {
        case script::kBuffersSized: lastIndex = 129u + 2u * (setup >> 2); break;
        case script::kBuffers512: lastIndex = 136u * 512 + 1; break;
        case script::kBuffers1024: lastIndex = 136u * 1024 + 1; break;
        default:
            comm.ShrinkReceiveBuffers();
            model.Shrink();
            return;
    }
    if ((setup & 3u) == script::kBuffersSized) {
        comm.ResizeReceiveBuffers(lastIndex);
    } else {
        comm.SizeReceiveBuffersForMemory((setup & 3u) == script::kBuffers512 ? 512 : 1024);
    }
    model.Size(lastIndex);
}

// A failure standing from the start, left as a program leaves it: by a command the DC did not
// answer, its reply then no longer awaited.
void LeaveFailureStanding(CommModule& comm, ScriptedLink& port) {
    port.Play(nullptr);
    port.Model().Expect(StepKind::Area2Word);
    VERNO_FUZZ_CHECK(comm.SendB8WordCommand(0) == LinkStatus::Timeout);
    port.Model().Settled();
    comm.SettleLine(Seconds(0));
}

}  // namespace

std::string ReceiveDataTarget(std::span<const std::uint8_t> input) {
    ByteReader reader(input);
    const std::uint8_t setup = reader.Byte();
    const std::uint8_t failing = reader.Byte();

    link::VirtualClock clock;
    ScriptedLink port(clock);
    CommModule comm(port, clock, port);
    port.Attach(comm);
    SizeBuffers(setup, comm, port.Model());
    bool standing = (failing & script::kFailureStandsBit) != 0;
    if (standing) LeaveFailureStanding(comm, port);
    port.FailWrite(failing & 0x7F);

    std::string account = "receive";
    while (!reader.Done()) {
        const auto kind = static_cast<StepKind>(reader.Byte() % script::kStepKinds);
        const std::uint16_t value = reader.Word();
        const std::uint8_t length = reader.Byte();
        ByteReader events(reader.Take(length == script::kRestOfInput ? reader.Left() : length));
        account += " " + RunStep(kind, value, comm, port, events, standing);
    }
    return account;
}

}  // namespace verno::fuzz
