#pragma once
// A serial port with a scripted DC behind it, on virtual time: it records every write and clear
// with its time stamp and answers each write with the next scripted reply.

#include <cstdint>
#include <deque>
#include <functional>
#include <set>
#include <string_view>
#include <vector>

#include "link/protocol/CommModule.h"
#include "link/protocol/Port.h"
#include "link/protocol/Pump.h"
#include "link/protocol/VirtualClock.h"

namespace verno::link::test {

std::vector<std::uint8_t> Hex(std::string_view text);

// What the DC does after one write: nothing, or chunks of bytes, the first after delay and
// each further one gap later.
struct Reply {
    std::vector<std::vector<std::uint8_t>> chunks;
    Seconds delay{0.005};
    Seconds gap{0.001};
};
Reply Silent();
Reply Answer(std::string_view hex, Seconds delay = Seconds(0.005));
Reply Chunks(std::vector<std::string_view> hexChunks, Seconds delay = Seconds(0.005), Seconds gap = Seconds(0.001));

struct WireEvent {
    enum class Kind { Write, Clear } kind;
    Seconds at;
    std::vector<std::uint8_t> bytes;
};

class ScriptedPort final : public Port {
public:
    explicit ScriptedPort(VirtualClock& clock) : clock_(clock) {}
    void Attach(CommModule& comm) { comm_ = &comm; }

    // Reply to the next write not yet scripted; writes beyond the script get the fallback.
    ScriptedPort& Then(Reply reply);
    ScriptedPort& Then(int times, const Reply& reply);
    void Otherwise(Reply reply) { fallback_ = std::move(reply); }
    // The write with this index (0-based) reports a failure and puts nothing on the wire.
    void FailWrite(int index) { failing_.insert(index); }

    PortResult Write(std::span<const std::uint8_t> bytes) override;
    void Clear() override;
    // Hands every chunk that is due to the link.
    void DeliverDue();

    std::vector<WireEvent> Writes() const;
    int Clears() const;
    const std::vector<WireEvent>& Events() const { return events_; }
    int DeliveredChunks() const { return delivered_; }

private:
    struct Due {
        Seconds at;
        std::vector<std::uint8_t> bytes;
    };
    VirtualClock& clock_;
    CommModule* comm_ = nullptr;
    std::deque<Reply> script_;
    Reply fallback_ = Silent();
    std::set<int> failing_;
    int writeIndex_ = 0;
    std::deque<Due> due_;
    std::vector<WireEvent> events_;
    int delivered_ = 0;
};

// Each pass advances virtual time by one step and delivers the due reply chunks.
class TestPump final : public Pump {
public:
    TestPump(VirtualClock& clock, ScriptedPort& port) : clock_(clock), port_(port) {}
    void RunPending() override;
    Seconds step{0.001};
    std::function<void()> onPump;  // a user action inside the pump
    int passes = 0;
    static constexpr int kMaxPasses = 500000;  // far beyond the longest wait (24 s at 1 ms)

private:
    VirtualClock& clock_;
    ScriptedPort& port_;
};

// The usual set-up: a link on a scripted port and virtual time.
struct LinkFixture {
    VirtualClock clock;
    ScriptedPort port{clock};
    TestPump pump{clock, port};
    CommModule comm{port, clock, pump};
    LinkFixture() { port.Attach(comm); }
    // Seconds between write i and write i-1.
    double Gap(const std::vector<WireEvent>& writes, std::size_t i) const {
        return (writes.at(i).at - writes.at(i - 1).at).count();
    }
};

}  // namespace verno::link::test
