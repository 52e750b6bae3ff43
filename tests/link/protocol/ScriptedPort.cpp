#include "tests/link/protocol/ScriptedPort.h"

#include <stdexcept>

#include "tests/support/Hex.h"

namespace verno::link::test {

std::vector<std::uint8_t> Hex(std::string_view text) { return hex::Bytes(text); }

Reply Silent() { return Reply{}; }

Reply Answer(std::string_view hex, Seconds delay) { return Reply{{Hex(hex)}, delay, Seconds(0.001)}; }

Reply Chunks(std::vector<std::string_view> hexChunks, Seconds delay, Seconds gap) {
    Reply reply{{}, delay, gap};
    for (const auto chunk : hexChunks) reply.chunks.push_back(Hex(chunk));
    return reply;
}

ScriptedPort& ScriptedPort::Then(Reply reply) {
    script_.push_back(std::move(reply));
    return *this;
}

ScriptedPort& ScriptedPort::Then(int times, const Reply& reply) {
    for (int i = 0; i < times; ++i) script_.push_back(reply);
    return *this;
}

PortResult ScriptedPort::Write(std::span<const std::uint8_t> bytes) {
    const int index = writeIndex_++;
    Reply reply = fallback_;
    if (!script_.empty()) {
        reply = script_.front();
        script_.pop_front();
    }
    if (failing_.count(index) != 0) return PortResult::WriteFailed;
    events_.push_back({WireEvent::Kind::Write, clock_.Now(), {bytes.begin(), bytes.end()}});
    Seconds at = clock_.Now() + reply.delay;
    for (auto& chunk : reply.chunks) {
        // Kept in time order; chunks due at the same time keep their order.
        auto pos = due_.begin();
        while (pos != due_.end() && pos->at <= at) ++pos;
        due_.insert(pos, Due{at, std::move(chunk)});
        at += reply.gap;
    }
    return PortResult::Ok;
}

void ScriptedPort::Clear() {
    events_.push_back({WireEvent::Kind::Clear, clock_.Now(), {}});
    // Only input already in the driver is discarded; replies still on their way are not.
    while (!due_.empty() && due_.front().at <= clock_.Now()) due_.pop_front();
}

void ScriptedPort::DeliverDue() {
    while (!due_.empty() && due_.front().at <= clock_.Now()) {
        const std::vector<std::uint8_t> chunk = std::move(due_.front().bytes);
        due_.pop_front();
        ++delivered_;
        if (comm_ != nullptr) comm_->ReceiveData(chunk);
    }
}

std::vector<WireEvent> ScriptedPort::Writes() const {
    std::vector<WireEvent> writes;
    for (const auto& e : events_)
        if (e.kind == WireEvent::Kind::Write) writes.push_back(e);
    return writes;
}

int ScriptedPort::Clears() const {
    int n = 0;
    for (const auto& e : events_) n += e.kind == WireEvent::Kind::Clear ? 1 : 0;
    return n;
}

void TestPump::RunPending() {
    // A wait that never ends fails its test instead of hanging the suite.
    if (++passes > kMaxPasses) throw std::runtime_error("the link kept waiting past every timeout");
    clock_.Advance(step);
    port_.DeliverDue();
    if (onPump) onPump();
}

}  // namespace verno::link::test
