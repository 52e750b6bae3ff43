#pragma once
// A small scripted DC on virtual time for the procedure tests: it answers each frame as the
// protocol describes, keeps a memory and a code store, and records every frame it received.
// Memory model: 0xB4 at unit a reads 16a..16a+127; 0xB5 at unit w writes 16(w+256); 0xB2 at
// unit w writes 16w below unit 256, else 16(w+256); 0xB7 goes to a separate code store.

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "link/protocol/CommModule.h"
#include "link/protocol/VirtualClock.h"

namespace verno {

class FakeDc final : public link::Port, public link::Pump {
public:
    struct Frame {
        link::Seconds at;
        std::vector<std::uint8_t> bytes;  // without the trailing 0x00
        bool payload = false;             // the data part of a write, not a command frame
    };

    FakeDc(link::VirtualClock& clock, std::size_t memoryBlocks) : clock_(clock) { memory.assign(memoryBlocks * 128, 0); }

    void Attach(link::CommModule& comm) { comm_ = &comm; }

    // --- configuration ---
    std::string identity = "VERNO1B FW-1A DC";
    std::uint8_t revision = 0;
    std::string identityAfterUpload = "VERNO1B FW-1B DC";
    std::uint8_t revisionAfterUpload = 0;
    link::Seconds restartTime{5.0};
    std::vector<std::uint8_t> memory;
    bool silent = false;
    std::set<std::uint16_t> refuseBlockWriteAt;  // the 129-byte payload is refused there
    bool corruptHeaderWrite = false;             // a header piece is stored with one byte changed
    std::function<bool(const std::vector<std::uint8_t>& frame)> ignore;     // no reply at all
    std::function<bool(const std::vector<std::uint8_t>& frame)> writeFails;  // the port refuses it

    // --- records ---
    std::vector<Frame> frames;
    std::map<std::uint16_t, std::array<std::uint8_t, 129>> codeStore;
    std::optional<std::array<std::uint8_t, 9>> clockRecord;

    int Count(std::uint8_t command) const {
        int n = 0;
        for (const auto& f : frames) n += !f.payload && !f.bytes.empty() && f.bytes[0] == command;
        return n;
    }
    // Command frames only, as "B5 0008"-like keys: command byte and, for addressed ones, the value.
    std::vector<std::uint8_t> Commands() const {
        std::vector<std::uint8_t> out;
        for (const auto& f : frames)
            if (!f.payload && !f.bytes.empty()) out.push_back(f.bytes[0]);
        return out;
    }
    const Frame* Last(std::uint8_t command) const {
        for (auto it = frames.rbegin(); it != frames.rend(); ++it)
            if (!it->payload && !it->bytes.empty() && it->bytes[0] == command) return &*it;
        return nullptr;
    }
    const Frame* First(std::uint8_t command, link::Seconds after = link::Seconds(-1)) const {
        for (const auto& f : frames)
            if (!f.payload && !f.bytes.empty() && f.bytes[0] == command && f.at > after) return &f;
        return nullptr;
    }

    // --- link::Port ---
    link::PortResult Write(std::span<const std::uint8_t> bytes) override {
        std::vector<std::uint8_t> frame(bytes.begin(), bytes.end());
        if (!frame.empty() && frame.back() == 0x00) frame.pop_back();
        if (writeFails && writeFails(frame)) return link::PortResult::WriteFailed;
        Handle(std::move(frame));
        return link::PortResult::Ok;
    }
    void Clear() override { pending_.clear(); }

    // --- link::Pump ---
    void RunPending() override {
        clock_.Advance(link::Seconds(0.01));
        while (!pending_.empty() && pending_.front().due <= clock_.Now()) {
            const std::vector<std::uint8_t> chunk = pending_.front().bytes;
            pending_.erase(pending_.begin());
            if (comm_ != nullptr) comm_->ReceiveData(chunk);
        }
    }

private:
    struct Reply {
        link::Seconds due;
        std::vector<std::uint8_t> bytes;
    };

    void Reply1(std::vector<std::uint8_t> bytes) { pending_.push_back({clock_.Now() + link::Seconds(0.005), std::move(bytes)}); }
    void Ack() { Reply1({link::wire::kAck}); }
    void Nak() { Reply1({link::wire::kNak}); }

    bool Restarting() {
        if (!restartUntil_) return false;
        if (clock_.Now() < *restartUntil_) return true;
        restartUntil_.reset();
        identity = identityAfterUpload;
        revision = revisionAfterUpload;
        return false;
    }

    void WriteMemory(std::size_t at, const std::uint8_t* data, std::size_t n) {
        for (std::size_t i = 0; i < n && at + i < memory.size(); ++i) memory[at + i] = data[i];
    }

    void Handle(std::vector<std::uint8_t> frame) {
        const bool isPayload = expectedPayload_ > 0 && frame.size() == expectedPayload_;
        frames.push_back({clock_.Now(), frame, isPayload});
        if (silent || Restarting() || frame.empty()) return;
        if (ignore && ignore(frame)) return;
        if (isPayload) {
            HandlePayload(frame);
            return;
        }
        expectedPayload_ = 0;
        const std::uint8_t cmd = frame[0];
        const std::uint16_t value = frame.size() >= 3 ? static_cast<std::uint16_t>(frame[1] * 256 + frame[2]) : 0;
        switch (cmd) {
            case link::wire::kReadIdentity: {
                std::vector<std::uint8_t> r{link::wire::kAck};
                for (std::size_t i = 0; i < 16; ++i)
                    r.push_back(i < identity.size() ? static_cast<std::uint8_t>(identity[i]) : ' ');
                r.push_back(0);
                Reply1(r);
                break;
            }
            case link::wire::kReadRevision: Reply1({link::wire::kAck, revision}); break;
            case link::wire::kReadMemory: {
                std::vector<std::uint8_t> r{link::wire::kAck};
                for (std::size_t i = 0; i < 128; ++i) {
                    const std::size_t at = 16u * value + i;
                    r.push_back(at < memory.size() ? memory[at] : 0);
                }
                Reply1(r);
                break;
            }
            case link::wire::kWriteArea1Block:
            case link::wire::kWriteArea2Block:
                payloadCommand_ = cmd;
                payloadAddress_ = value;
                expectedPayload_ = 129;
                Ack();
                break;
            case link::wire::kWriteProfileBlock:
                payloadCommand_ = cmd;
                payloadAddress_ = value;
                expectedPayload_ = 17;
                Ack();
                break;
            case link::wire::kSetDateTime:
                payloadCommand_ = cmd;
                expectedPayload_ = 9;
                Ack();
                break;
            case link::wire::kCloseArea1:
            case link::wire::kCloseArea2:
                Ack();
                restartUntil_ = clock_.Now() + restartTime;
                break;
            case link::wire::kArea2Word:
            case link::wire::kEndConnection: Ack(); break;
            default: break;
        }
    }

    void HandlePayload(const std::vector<std::uint8_t>& data) {
        switch (payloadCommand_) {
            case link::wire::kWriteArea1Block:
                if (refuseBlockWriteAt.count(payloadAddress_) != 0) {
                    Nak();
                    return;
                }
                WriteMemory(16u * (payloadAddress_ + 256u), data.data(), 128);
                break;
            case link::wire::kWriteArea2Block: {
                std::array<std::uint8_t, 129> block{};
                std::copy(data.begin(), data.end(), block.begin());
                codeStore[payloadAddress_] = block;
                break;
            }
            case link::wire::kWriteProfileBlock: {
                unsigned sum = 0;
                for (std::size_t i = 0; i < 16; ++i) sum += data[i];
                if (data[16] != (sum & 0xFF)) {
                    Nak();
                    return;
                }
                std::vector<std::uint8_t> piece(data.begin(), data.begin() + 16);
                if (payloadAddress_ < 256) {
                    if (corruptHeaderWrite) piece[3] ^= 0xFF;
                    WriteMemory(16u * payloadAddress_, piece.data(), 16);
                } else {
                    WriteMemory(16u * (payloadAddress_ + 256u), piece.data(), 16);
                }
                break;
            }
            case link::wire::kSetDateTime: {
                std::array<std::uint8_t, 9> record{};
                std::copy(data.begin(), data.end(), record.begin());
                clockRecord = record;
                break;
            }
            default: break;
        }
        Ack();
    }

    link::VirtualClock& clock_;
    link::CommModule* comm_ = nullptr;
    std::vector<Reply> pending_;
    std::size_t expectedPayload_ = 0;
    std::uint8_t payloadCommand_ = 0;
    std::uint16_t payloadAddress_ = 0;
    std::optional<link::Seconds> restartUntil_;
};

}  // namespace verno
