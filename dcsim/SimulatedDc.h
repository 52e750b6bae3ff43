#pragma once
// A model of the DC's side of the serial protocol on a time line its owner drives: bytes from the
// PC go in with the time they were written, reply bytes come out when they reach the PC. No
// threads and no sleeping: the in-process link and the pty program drive the same model.

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "dcsim/DcConfig.h"
#include "link/protocol/MonotonicClock.h"

namespace verno::dcsim {

using link::Seconds;

inline constexpr Seconds kByteTime{10.0 / 38400.0};  // 260.4 us
// A payload must begin this soon after the header's acknowledgement reached the PC.
inline constexpr Seconds kPayloadWindow{0.1};

struct CommandCounters {
    int frames = 0;  // complete frames received
    int naks = 0;    // refusals sent for the frame or its payload
};

// A frame as the DC took it in: a command with its arguments, or the payload of a write
// (without the trailing 0x00).
struct ReceivedFrame {
    Seconds at;
    std::vector<std::uint8_t> bytes;
    bool payload = false;
};

struct TraceEntry {
    Seconds time;
    bool fromPc = false;
    std::vector<std::uint8_t> bytes;
};

class SimulatedDc {
public:
    explicit SimulatedDc(DcConfig config = {}, DcFaults faults = {});

    // Bytes the PC wrote at `now`; with pacing each arrives one byte time after the one before.
    void Write(Seconds now, std::span<const std::uint8_t> bytes);
    // Runs the model up to `now` and hands out the reply bytes that have reached the PC by then.
    std::vector<std::uint8_t> TakeDue(Seconds now);
    // The PC cleared its port at `now`: the reply bytes that had reached it by then are gone;
    // those still on their way (a slow DC's late reply) arrive afterwards, as on a real cable.
    void DropPendingReplies(Seconds now);
    // When the next byte arrives at either end; nullopt when nothing is under way.
    std::optional<Seconds> NextEvent() const;

    void PowerOn();  // ends a power loss: the DC hears again, pending uploads are forgotten
    bool PoweredOff() const { return dead_; }

    const std::vector<std::uint8_t>& Memory() const { return memory_; }
    std::vector<std::uint8_t>& MutableMemory() { return memory_; }
    const std::vector<std::uint8_t>& CodeStore() const { return codeStore_; }
    const std::optional<std::array<std::uint8_t, 9>>& ClockRecord() const { return clockRecord_; }
    CommandCounters Counters(std::uint8_t command) const { return counters_[command]; }
    int ProtocolErrors() const { return protocolErrors_; }
    int Restarts() const { return restarts_; }
    int ConnectionsEnded() const { return connectionsEnded_; }  // 0xA8 0x55 acknowledged
    const std::string& Version() const { return version_; }
    std::uint8_t Revision() const { return revision_; }
    std::string IdentityText() const;
    bool Restarting(Seconds now) const { return restartEnds_ && now < *restartEnds_; }
    std::uint16_t PendingArea1Sum() const;
    std::uint16_t PendingArea2Sum() const;

    // The switches as set, and as they act now: all off until the arming frame has arrived.
    DcFaults& Faults() { return faults_; }
    const DcFaults& Faults() const { return faults_; }
    const DcFaults& ActiveFaults() const;
    bool Armed() const;
    // What is said from now on: the identity, and the version after an update.
    DcConfig& MutableConfig() { return config_; }
    // The firmware running now.
    void SetFirmware(std::string version, std::uint8_t revision) {
        version_ = std::move(version);
        revision_ = revision;
    }

    // Every frame and payload the DC took in, in order; cleared only on request.
    const std::vector<ReceivedFrame>& Received() const { return received_; }
    void ClearReceived() { received_.clear(); }

    // The wire trace. With a sink set, entries go to it instead of being kept.
    const std::vector<TraceEntry>& Trace() const { return trace_; }
    void SetTraceSink(std::function<void(const TraceEntry&)> sink) { traceSink_ = std::move(sink); }

    // Block 0 encodings.
    static void WriteSerial(std::vector<std::uint8_t>& memory, std::uint32_t serial);
    static std::uint32_t ReadSerial(const std::vector<std::uint8_t>& memory);
    static void WritePointers(std::vector<std::uint8_t>& memory, int memoryBlocks, std::uint16_t startUnits,
                              std::uint16_t endUnits);
    static std::vector<std::uint8_t> GenerateMemory(const DcConfig& config);

private:
    enum class State { Idle, Args, Terminator, Payload };
    struct Timed {
        Seconds at;
        std::uint8_t byte;
    };

    void Arrive(Seconds at, std::uint8_t byte);
    void Idle(Seconds at, std::uint8_t byte);
    void FrameComplete(Seconds at);
    // A frame's reply by command family, once the faults have had their say.
    bool FaultTakesFrame(Seconds at, std::uint16_t value, const DcFaults& faults, CommandCounters& counters);
    void AnswerQuery(Seconds at, std::uint16_t value);
    void OpenPayload(Seconds at, std::uint16_t value);
    void CloseArea(Seconds at, std::uint16_t value, const DcFaults& faults);
    void EndConnection(Seconds at);
    void PayloadComplete(Seconds at);
    void StoreCodeBlock(Seconds at, std::span<const std::uint8_t> data, const DcFaults& faults);
    void RefusePayload(Seconds at);
    // Queues a reply to go out from `at`; returns when its last byte reaches the PC.
    Seconds Send(Seconds at, std::span<const std::uint8_t> bytes);
    Seconds SendByte(Seconds at, std::uint8_t byte) { return Send(at, std::span<const std::uint8_t>(&byte, 1)); }
    void Record(Seconds at, bool fromPc, std::span<const std::uint8_t> bytes);
    void FinishRestart(Seconds now);
    void ForgetUploads();
    Seconds ByteTime() const { return config_.bytePacing ? kByteTime : Seconds::zero(); }
    static void Store(std::vector<std::uint8_t>& target, std::size_t offset, std::span<const std::uint8_t> bytes);

    DcConfig config_;
    DcFaults faults_;
    std::vector<std::uint8_t> memory_;
    std::vector<std::uint8_t> codeStore_;
    std::optional<std::array<std::uint8_t, 9>> clockRecord_;
    std::string version_;
    std::uint8_t revision_ = 0;

    std::deque<Timed> inbox_;   // PC bytes not yet arrived
    std::deque<Timed> outbox_;  // reply bytes not yet at the PC
    Seconds inFreeAt_{};
    Seconds outFreeAt_{};

    State state_ = State::Idle;
    std::uint8_t command_ = 0;
    std::vector<std::uint8_t> args_;
    std::size_t argsNeeded_ = 0;
    std::vector<std::uint8_t> payload_;
    std::size_t payloadLength_ = 0;  // without the trailing 0x00
    std::uint16_t unit_ = 0;
    Seconds payloadOpensAt_{};  // the header's acknowledgement reached the PC
    Seconds lastPayloadByte_{};

    // Last 129th byte written at each unit since the area was last closed: a block written again
    // after a lost acknowledgement counts once.
    std::map<std::uint16_t, std::uint8_t> area1Bytes_;
    std::map<std::uint16_t, std::uint8_t> area2Bytes_;
    std::optional<std::uint16_t> area2Word_;

    std::optional<Seconds> restartEnds_;
    bool dead_ = false;
    int blockWrites_ = 0;
    int codePayloads_ = 0;
    int refused_ = 0;
    int payloadsRefused_ = 0;
    int readsGarbled_ = 0;
    int writesGarbled_ = 0;
    int protocolErrors_ = 0;
    int restarts_ = 0;
    int connectionsEnded_ = 0;
    std::array<CommandCounters, 256> counters_{};

    std::vector<ReceivedFrame> received_;
    std::vector<TraceEntry> trace_;
    std::function<void(const TraceEntry&)> traceSink_;
};

}  // namespace verno::dcsim
