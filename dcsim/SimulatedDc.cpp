#include "dcsim/SimulatedDc.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "common/Sum8.h"
#include "link/protocol/CommModule.h"

namespace verno::dcsim {

namespace {

using namespace verno::link::wire;  // the frame constants

constexpr std::size_t kBlockBytes = 128;
constexpr std::size_t kCodePayload = 129;
constexpr std::size_t kProfilePayload = 17;
constexpr std::size_t kClockPayload = 9;
constexpr std::uint16_t kStagingOffsetUnits = 256;
constexpr std::size_t kCodeStoreBytes = 1024 * kBlockBytes;  // room for the largest area 2
constexpr std::array<std::uint8_t, 4> kGarbage{0xFF, 0x00, 0x37, 0xC3};

std::size_t ArgumentCount(std::uint8_t command) {
    switch (command) {
    case kReadIdentity:
    case kReadRevision:
    case kSetDateTime:
        return 0;
    case kEndConnection:
        return 1;
    case kReadMemory:
    case kWriteArea1Block:
    case kWriteArea2Block:
    case kWriteProfileBlock:
    case kCloseArea1:
    case kArea2Word:
    case kCloseArea2:
        return 2;
    default:
        return SIZE_MAX;  // not a command
    }
}

std::uint16_t SumOf(const std::map<std::uint16_t, std::uint8_t>& bytes) {
    unsigned sum = 0;
    for (const auto& [unit, byte] : bytes) sum += byte;
    return static_cast<std::uint16_t>(sum & 0xFFFFu);
}

// Deterministic, seedable; the same seed gives the same memory on every platform.
class XorShift {
public:
    explicit XorShift(std::uint32_t seed) : state_(seed == 0 ? 0x9E3779B9u : seed) {}
    std::uint32_t Next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_;
    }
    std::uint8_t Byte() { return static_cast<std::uint8_t>(Next() >> 24); }
    int Below(int n) { return static_cast<int>(Next() % static_cast<std::uint32_t>(n)); }

private:
    std::uint32_t state_;
};

std::uint8_t Bcd(int v) { return static_cast<std::uint8_t>((v / 10) * 16 + v % 10); }

// One dive log record of 128 bytes: a 16-byte header (date, time, maximum depth, duration,
// water temperature) and depth samples rising to the maximum and back.
void FillDive(XorShift& rng, std::span<std::uint8_t> block) {
    const int maxDepth = 40 + rng.Below(360);  // decimetres
    const int minutes = 20 + rng.Below(50);
    block[0] = 0xD1;  // record marker
    block[1] = Bcd(1 + rng.Below(28));
    block[2] = Bcd(1 + rng.Below(12));
    block[3] = Bcd(rng.Below(100));
    block[4] = Bcd(rng.Below(24));
    block[5] = Bcd(rng.Below(60));
    block[6] = static_cast<std::uint8_t>(maxDepth & 0xFF);
    block[7] = static_cast<std::uint8_t>(maxDepth >> 8);
    block[8] = static_cast<std::uint8_t>(minutes);
    block[9] = static_cast<std::uint8_t>(8 + rng.Below(20));  // deg C
    for (std::size_t i = 10; i < 16; ++i) block[i] = rng.Byte();
    const std::size_t samples = block.size() - 16;
    for (std::size_t i = 0; i < samples; ++i) {
        const double phase = static_cast<double>(i) / static_cast<double>(samples - 1);
        const double shape = std::sin(phase * 3.14159265358979);
        const int depth = static_cast<int>(shape * maxDepth) / 2 + rng.Below(3);
        block[16 + i] = static_cast<std::uint8_t>(std::clamp(depth, 0, 255));
    }
}

}  // namespace

void TakeVersionFrom(const firmware::FirmwareImage& image, DcConfig& config) {
    config.versionAfterUpdate = image.FwVersion;
    config.revisionAfterUpdate = image.FwRevision;
}

SimulatedDc::SimulatedDc(DcConfig config, DcFaults faults) : config_(std::move(config)), faults_(faults) {
    if (config_.memoryBlocks != 1024) config_.memoryBlocks = 512;
    const std::size_t size = static_cast<std::size_t>(config_.memoryBlocks) * kBlockBytes;
    if (config_.memory) {
        memory_ = *config_.memory;
        memory_.resize(size, 0xFF);
        if (config_.writeSerial) WriteSerial(memory_, config_.serial);
        if (config_.writePointers)
            WritePointers(memory_, config_.memoryBlocks, config_.profileStart, config_.profileEnd);
    } else {
        memory_ = GenerateMemory(config_);
    }
    config_.memory.reset();  // the model's memory is memory_ from here on
    codeStore_.assign(kCodeStoreBytes, 0xFF);
    version_ = config_.version;
    revision_ = config_.revision;
}

std::vector<std::uint8_t> SimulatedDc::GenerateMemory(const DcConfig& config) {
    const int blocks = config.memoryBlocks == 1024 ? 1024 : 512;
    std::vector<std::uint8_t> memory(static_cast<std::size_t>(blocks) * kBlockBytes, 0xFF);
    XorShift rng(config.seed);
    // Block 0: device bytes, serial, profile header; blocks 1..31: settings.
    for (std::size_t i = 0; i < 256 * 16; ++i) memory[i] = rng.Byte();
    WriteSerial(memory, config.serial);
    WritePointers(memory, blocks, config.profileStart, config.profileEnd);

    std::uint16_t first = config.profileStart;
    std::uint16_t last = config.profileEnd;
    if (last < first) {  // wrapped: the whole profile area holds dives
        first = 256;
        last = static_cast<std::uint16_t>(8 * blocks - 33);
    }
    first = std::max<std::uint16_t>(first, 256);
    if (first <= last) {
        const std::size_t firstBlock = first / 8;
        const std::size_t lastBlock = std::min<std::size_t>(last / 8, static_cast<std::size_t>(blocks - 1));
        for (std::size_t b = firstBlock; b <= lastBlock; ++b)
            FillDive(rng, std::span<std::uint8_t>(memory).subspan(b * kBlockBytes, kBlockBytes));
    }
    return memory;
}

void SimulatedDc::WriteSerial(std::vector<std::uint8_t>& memory, std::uint32_t serial) {
    if (memory.size() < 13) return;
    serial %= 1000000u;
    int digits[6];
    for (int i = 5; i >= 0; --i) {
        digits[i] = static_cast<int>(serial % 10);
        serial /= 10;
    }
    for (int i = 0; i < 3; ++i) memory[10 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(digits[2 * i] * 16 + digits[2 * i + 1]);
}

std::uint32_t SimulatedDc::ReadSerial(const std::vector<std::uint8_t>& memory) {
    if (memory.size() < 13) return 0;
    std::uint32_t serial = 0;
    for (std::size_t i = 10; i < 13; ++i) serial = serial * 100 + (memory[i] >> 4) * 10u + (memory[i] & 0x0Fu);
    return serial;
}

void SimulatedDc::WritePointers(std::vector<std::uint8_t>& memory, int memoryBlocks, std::uint16_t startUnits,
                                std::uint16_t endUnits) {
    if (memory.size() < 76) return;
    // A 1024-block DC keeps units; the smaller one keeps byte addresses.
    const auto encode = [memoryBlocks](std::uint16_t units) {
        return memoryBlocks == 1024 ? units : static_cast<std::uint16_t>(units * 16u);
    };
    const std::uint16_t start = encode(startUnits);
    const std::uint16_t end = encode(endUnits);
    memory[72] = static_cast<std::uint8_t>(start & 0xFF);
    memory[73] = static_cast<std::uint8_t>(start >> 8);
    memory[74] = static_cast<std::uint8_t>(end & 0xFF);
    memory[75] = static_cast<std::uint8_t>(end >> 8);
}

std::string SimulatedDc::IdentityText() const {
    std::string text = config_.identity ? *config_.identity : config_.modelTag + " FW-" + version_ + " DC";
    text.resize(16, ' ');
    return text;
}

bool SimulatedDc::Armed() const {
    if (!faults_.armAt) return true;
    return counters_[faults_.armAt->command].frames >= faults_.armAt->frame;
}

const DcFaults& SimulatedDc::ActiveFaults() const {
    static const DcFaults kHealthy{};
    return Armed() ? faults_ : kHealthy;
}

std::uint16_t SimulatedDc::PendingArea1Sum() const { return SumOf(area1Bytes_); }
std::uint16_t SimulatedDc::PendingArea2Sum() const { return SumOf(area2Bytes_); }

void SimulatedDc::Write(Seconds now, std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) return;
    Record(now, true, bytes);
    Seconds at = std::max(now, inFreeAt_);
    for (const std::uint8_t byte : bytes) {
        at += ByteTime();
        inbox_.push_back({at, byte});
    }
    inFreeAt_ = at;
}

std::vector<std::uint8_t> SimulatedDc::TakeDue(Seconds now) {
    while (!inbox_.empty() && inbox_.front().at <= now) {
        const Timed next = inbox_.front();
        inbox_.pop_front();
        Arrive(next.at, next.byte);
    }
    if (restartEnds_ && now >= *restartEnds_) FinishRestart(now);
    std::vector<std::uint8_t> due;
    while (!outbox_.empty() && outbox_.front().at <= now) {
        due.push_back(outbox_.front().byte);
        outbox_.pop_front();
    }
    return due;
}

void SimulatedDc::DropPendingReplies(Seconds now) {
    TakeDue(now);  // what has arrived by now is what the clear discards
}

std::optional<Seconds> SimulatedDc::NextEvent() const {
    std::optional<Seconds> next;
    if (!inbox_.empty()) next = inbox_.front().at;
    if (!outbox_.empty() && (!next || outbox_.front().at < *next)) next = outbox_.front().at;
    return next;
}

void SimulatedDc::PowerOn() {
    dead_ = false;
    faults_.powerLossAtBlock = 0;  // the switch has done its work
    state_ = State::Idle;
    restartEnds_.reset();
    ForgetUploads();
}

void SimulatedDc::ForgetUploads() {
    area1Bytes_.clear();
    area2Bytes_.clear();
    area2Word_.reset();
}

void SimulatedDc::FinishRestart(Seconds /*now*/) {
    restartEnds_.reset();
    if (!config_.versionAfterUpdate.empty()) version_ = config_.versionAfterUpdate;
    revision_ = config_.revisionAfterUpdate;
    state_ = State::Idle;
    ForgetUploads();
}

void SimulatedDc::Record(Seconds at, bool fromPc, std::span<const std::uint8_t> bytes) {
    TraceEntry entry{at, fromPc, std::vector<std::uint8_t>(bytes.begin(), bytes.end())};
    if (traceSink_) {
        traceSink_(entry);
    } else {
        trace_.push_back(std::move(entry));
    }
}

void SimulatedDc::Store(std::vector<std::uint8_t>& target, std::size_t offset, std::span<const std::uint8_t> bytes) {
    if (offset >= target.size()) return;
    const std::size_t n = std::min(bytes.size(), target.size() - offset);
    std::copy_n(bytes.begin(), n, target.begin() + static_cast<std::ptrdiff_t>(offset));
}

Seconds SimulatedDc::Send(Seconds at, std::span<const std::uint8_t> bytes) {
    const DcFaults& faults = ActiveFaults();
    if (faults.silent || dead_) return at;
    std::vector<std::uint8_t> wire;
    for (int i = 0; i < faults.garbageBeforeReply; ++i) wire.push_back(kGarbage[static_cast<std::size_t>(i) % kGarbage.size()]);
    wire.insert(wire.end(), bytes.begin(), bytes.end());
    Seconds t = std::max(at + Seconds(std::max(faults.replyLatency, 0.0)), outFreeAt_);
    Record(t, false, wire);
    for (const std::uint8_t byte : wire) {
        t += ByteTime();
        outbox_.push_back({t, byte});
    }
    outFreeAt_ = t;
    return t;
}

void SimulatedDc::Arrive(Seconds at, std::uint8_t byte) {
    if (dead_) return;
    if (restartEnds_) {
        if (at < *restartEnds_) return;  // restarting: deaf
        FinishRestart(at);
    }
    switch (state_) {
    case State::Idle:
        Idle(at, byte);
        return;
    case State::Args:
        args_.push_back(byte);
        if (args_.size() >= argsNeeded_) state_ = State::Terminator;
        return;
    case State::Terminator:
        if (byte == 0x00) {
            FrameComplete(at);
        } else {
            ++protocolErrors_;  // frame without its trailing 0x00: dropped; the byte may start a new one
            state_ = State::Idle;
            Idle(at, byte);
        }
        return;
    case State::Payload: {
        const Seconds since = payload_.empty() ? at - payloadOpensAt_ : at - lastPayloadByte_;
        if (since > kPayloadWindow + ByteTime()) {
            // Too late for a payload: back to commands, so a header resent after a lost
            // acknowledgement is taken as a new header.
            if (!payload_.empty()) ++protocolErrors_;
            state_ = State::Idle;
            Idle(at, byte);
            return;
        }
        payload_.push_back(byte);
        lastPayloadByte_ = at;
        if (payload_.size() == payloadLength_ + 1) {
            state_ = State::Idle;
            if (payload_.back() == 0x00) {
                PayloadComplete(at);
            } else {
                ++protocolErrors_;
            }
        }
        return;
    }
    }
}

void SimulatedDc::Idle(Seconds /*at*/, std::uint8_t byte) {
    const std::size_t args = ArgumentCount(byte);
    if (args == SIZE_MAX) return;  // noise between commands
    command_ = byte;
    args_.clear();
    argsNeeded_ = args;
    state_ = args == 0 ? State::Terminator : State::Args;
}

void SimulatedDc::FrameComplete(Seconds at) {
    state_ = State::Idle;
    CommandCounters& counters = counters_[command_];
    ++counters.frames;
    const std::uint16_t value = args_.size() >= 2 ? static_cast<std::uint16_t>(args_[0] * 256 + args_[1]) : 0;
    const DcFaults& faults = ActiveFaults();  // this frame may be the arming one
    ReceivedFrame frame{at, std::vector<std::uint8_t>(1 + args_.size()), false};
    frame.bytes[0] = command_;
    std::copy(args_.begin(), args_.end(), frame.bytes.begin() + 1);
    received_.push_back(std::move(frame));

    if (FaultTakesFrame(at, value, faults, counters)) return;
    switch (command_) {
    case kReadIdentity:
    case kReadRevision:
    case kReadMemory:
        AnswerQuery(at, value);
        return;
    case kWriteArea1Block:
    case kWriteArea2Block:
    case kWriteProfileBlock:
    case kSetDateTime:
        OpenPayload(at, value);
        return;
    case kCloseArea1:
    case kArea2Word:
    case kCloseArea2:
        CloseArea(at, value, faults);
        return;
    case kEndConnection:
        EndConnection(at);
        return;
    default:
        return;
    }
}

bool SimulatedDc::FaultTakesFrame(Seconds at, std::uint16_t value, const DcFaults& faults, CommandCounters& counters) {
    // Block writes count from the arming frame, so "power loss at block k" is aimed at a phase.
    if (Armed() && (command_ == kWriteArea1Block || command_ == kWriteArea2Block || command_ == kWriteProfileBlock)) {
        ++blockWrites_;
        if (faults.powerLossAtBlock > 0 && blockWrites_ >= faults.powerLossAtBlock) {
            dead_ = true;
            std::erase_if(outbox_, [at](const Timed& t) { return t.at > at; });
            return true;
        }
    }
    if (faults.unansweredCommand == command_ && (!faults.unansweredUnit || *faults.unansweredUnit == value)) return true;
    if (faults.refuseCommand && *faults.refuseCommand == command_ && refused_ < faults.refuseCount) {
        ++refused_;
        ++counters.naks;
        SendByte(at, kNak);
        return true;
    }
    return false;
}

void SimulatedDc::AnswerQuery(Seconds at, std::uint16_t value) {
    if (command_ == kReadIdentity) {
        std::vector<std::uint8_t> reply{kAck};
        for (const char c : IdentityText()) reply.push_back(static_cast<std::uint8_t>(c));
        reply.push_back(0x00);
        Send(at, reply);
    } else if (command_ == kReadRevision) {
        const std::array<std::uint8_t, 2> reply{kAck, revision_};
        Send(at, reply);
    } else {
        std::vector<std::uint8_t> reply(1 + kBlockBytes, 0xFF);
        reply[0] = kAck;
        const std::size_t offset = std::size_t{value} * 16;
        for (std::size_t i = 0; i < kBlockBytes; ++i)
            if (offset + i < memory_.size()) reply[1 + i] = memory_[offset + i];
        if (Armed() && readsGarbled_ < faults_.garbledReads) {
            // A different byte each time, so that no two garbled reads agree.
            reply[1 + (readsGarbled_ * 37) % kBlockBytes] ^= static_cast<std::uint8_t>(1 + readsGarbled_ % 255);
            ++readsGarbled_;
        }
        Send(at, reply);
    }
}

void SimulatedDc::OpenPayload(Seconds at, std::uint16_t value) {
    payloadLength_ = command_ == kWriteProfileBlock ? kProfilePayload
                     : command_ == kSetDateTime     ? kClockPayload
                                                    : kCodePayload;
    unit_ = value;
    payload_.clear();
    payloadOpensAt_ = SendByte(at, kAck);
    state_ = State::Payload;
}

void SimulatedDc::CloseArea(Seconds at, std::uint16_t value, const DcFaults& faults) {
    if (command_ == kArea2Word) {
        area2Word_ = value;
        SendByte(at, kAck);
        return;
    }
    const Seconds acked = SendByte(at, kAck);
    bool accepted = false;
    if (command_ == kCloseArea1) {
        accepted = !area1Bytes_.empty() && PendingArea1Sum() == value;
        area1Bytes_.clear();
    } else {
        accepted = area2Word_ && !area2Bytes_.empty() && PendingArea2Sum() == value;
        area2Bytes_.clear();
        area2Word_.reset();
    }
    if (accepted) {
        ++restarts_;
        restartEnds_ = acked + Seconds(faults.restartSeconds.value_or(config_.restartSeconds));
    }
}

void SimulatedDc::EndConnection(Seconds at) {
    if (!args_.empty() && args_[0] == kEndConnectionArg) {
        ++connectionsEnded_;
        SendByte(at, kAck);
        ForgetUploads();  // a new connection starts a new upload
    } else {
        ++protocolErrors_;
    }
}

void SimulatedDc::RefusePayload(Seconds at) {
    ++counters_[command_].naks;
    const Seconds refused = SendByte(at, kNak);
    // The program resends a profile piece's payload alone, so the DC keeps waiting for it; a code
    // block starts again with its header.
    if (command_ == kWriteProfileBlock) {
        payload_.clear();
        payloadOpensAt_ = refused;
        state_ = State::Payload;
    }
}

void SimulatedDc::StoreCodeBlock(Seconds at, std::span<const std::uint8_t> data, const DcFaults& faults) {
    if (Armed()) ++codePayloads_;
    const bool special = faults.refuseSpecialWrites && (unit_ == 3072 || unit_ == 3080);
    if (command_ == kWriteArea1Block && (special || faults.refuseWriteAt == unit_)) {
        RefusePayload(at);
        return;
    }
    if (command_ == kWriteArea1Block) {
        Store(memory_, (std::size_t{unit_} + kStagingOffsetUnits) * 16, data.first(kBlockBytes));
        const std::size_t garbled = (std::size_t{unit_} + kStagingOffsetUnits) * 16 + 5;
        if (Armed() && writesGarbled_ < faults.garbledWrites && garbled < memory_.size()) {
            memory_[garbled] ^= 0x5A;
            ++writesGarbled_;
        }
        area1Bytes_[unit_] = data[kBlockBytes];
    } else {
        Store(codeStore_, std::size_t{unit_} * 16, data.first(kBlockBytes));
        area2Bytes_[unit_] = data[kBlockBytes];
    }
    if (faults.loseAckOfCodeBlock == 0 || codePayloads_ != faults.loseAckOfCodeBlock) SendByte(at, kAck);
}

void SimulatedDc::PayloadComplete(Seconds at) {
    const std::span<const std::uint8_t> data(payload_.data(), payloadLength_);
    received_.push_back({at, {data.begin(), data.end()}, true});
    const DcFaults& faults = ActiveFaults();
    if (faults.refusePayloadOf == command_ && payloadsRefused_ < faults.refusePayloadCount) {
        ++payloadsRefused_;
        RefusePayload(at);
        return;
    }
    switch (command_) {
    case kWriteArea1Block:
    case kWriteArea2Block:
        StoreCodeBlock(at, data, faults);
        return;
    case kWriteProfileBlock: {
        if (data.size() < 17 || Sum8(data.first(16)) != data[16]) {
            RefusePayload(at);
            return;
        }
        const std::size_t unit = unit_ < kStagingOffsetUnits ? std::size_t{unit_} : std::size_t{unit_} + kStagingOffsetUnits;
        std::array<std::uint8_t, 16> piece{};
        std::copy_n(data.begin(), piece.size(), piece.begin());
        if (unit_ < 8 && faults.corruptHeaderWrite) piece[3] ^= 0xFF;
        Store(memory_, unit * 16, piece);
        SendByte(at, kAck);
        return;
    }
    case kSetDateTime: {
        std::array<std::uint8_t, 9> record{};
        std::copy(data.begin(), data.end(), record.begin());
        clockRecord_ = record;
        SendByte(at, kAck);
        return;
    }
    default:
        return;
    }
}

}  // namespace verno::dcsim
