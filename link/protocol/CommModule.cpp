#include "link/protocol/CommModule.h"

#include <algorithm>
#include <limits>

namespace verno::link {

namespace {

using namespace std::chrono_literals;

// Flags an exchange can test; combined as a mask.
enum FlagMask : unsigned { kReplyOk = 1u, kLinkAborted = 2u, kCommError = 4u };

void Store(std::vector<std::uint8_t>& buffer, std::int32_t index, std::uint8_t byte) {
    // A reply longer than the buffer is dropped, never written past it.
    if (index >= 0 && static_cast<std::size_t>(index) < buffer.size()) buffer[static_cast<std::size_t>(index)] = byte;
}

std::uint8_t First(const std::vector<std::uint8_t>& buffer) { return buffer.empty() ? 0 : buffer[0]; }

std::uint8_t HighByte(std::int32_t value) { return static_cast<std::uint8_t>((value / 256) & 0xFF); }
std::uint8_t LowByte(std::int32_t value) { return static_cast<std::uint8_t>(value % 256 & 0xFF); }

std::uint8_t Bcd(int value) { return static_cast<std::uint8_t>((value / 10) * 16 + value % 10); }

// The number in two decimal digits at pos; a missing or non-digit character counts as 0.
int TwoDigits(std::string_view text, std::size_t pos) {
    auto digit = [&](std::size_t i) {
        if (i >= text.size() || text[i] < '0' || text[i] > '9') return 0;
        return text[i] - '0';
    };
    return digit(pos) * 10 + digit(pos + 1);
}

std::size_t LastTwo(std::string_view text) { return text.size() >= 2 ? text.size() - 2 : 0; }

}  // namespace

// A timed resend happens only while every flag of resendUnless is False; any flag of stopWhen
// True ends the wait. The command is sent at most maxResends + 2 times.
struct Exchange {
    enum class Clearing { Never, FirstOnly, Every };
    Seconds timeout;
    int maxResends;
    unsigned resendUnless;
    bool resendOnRefusal;
    unsigned stopWhen;
    Clearing clearing;
    int frameLength;
};

namespace {

using Clearing = Exchange::Clearing;

constexpr Exchange kReadIdentityExchange{.timeout = 2s, .maxResends = 10, .resendUnless = kReplyOk | kLinkAborted,
                                         .resendOnRefusal = true, .stopWhen = kLinkAborted,
                                         .clearing = Clearing::Every, .frameLength = 1};
constexpr Exchange kReadRevisionExchange{.timeout = 1s, .maxResends = 10, .resendUnless = kReplyOk | kLinkAborted,
                                         .resendOnRefusal = true, .stopWhen = kLinkAborted,
                                         .clearing = Clearing::Never, .frameLength = 1};
// ReplyOk is not part of the resend test: an acknowledgement taken in during the pass in which
// the timeout runs out is overridden by the resend.
constexpr Exchange kWordCommandExchange{.timeout = 1s, .maxResends = 3, .resendUnless = kCommError,
                                        .resendOnRefusal = true, .stopWhen = kCommError,
                                        .clearing = Clearing::Every, .frameLength = 3};
constexpr Exchange kBlockHeaderExchange{.timeout = 200ms, .maxResends = 20,
                                        .resendUnless = kReplyOk | kLinkAborted | kCommError,
                                        .resendOnRefusal = true, .stopWhen = kLinkAborted | kCommError,
                                        .clearing = Clearing::Every, .frameLength = 3};
// A refusal sets ReplyOk for this command, so the first refusal ends the exchange.
constexpr Exchange kProfileHeaderExchange{.timeout = 100ms, .maxResends = 10,
                                          .resendUnless = kReplyOk | kLinkAborted | kCommError,
                                          .resendOnRefusal = false, .stopWhen = kLinkAborted | kCommError,
                                          .clearing = Clearing::FirstOnly, .frameLength = 3};
constexpr Exchange kProfilePayloadExchange{.timeout = 200ms, .maxResends = 10,
                                           .resendUnless = kReplyOk | kLinkAborted, .resendOnRefusal = true,
                                           .stopWhen = kLinkAborted, .clearing = Clearing::Never,
                                           .frameLength = 17};
constexpr Exchange kDateTimeHeaderExchange{.timeout = 100ms, .maxResends = 3,
                                           .resendUnless = kReplyOk | kLinkAborted, .resendOnRefusal = true,
                                           .stopWhen = kLinkAborted, .clearing = Clearing::Every,
                                           .frameLength = 1};
// A refusal of the record sets ReplyOk and ends the exchange like an acknowledgement.
constexpr Exchange kDateTimePayloadExchange{.timeout = 1s, .maxResends = 3,
                                            .resendUnless = kReplyOk | kLinkAborted, .resendOnRefusal = false,
                                            .stopWhen = kLinkAborted, .clearing = Clearing::Every,
                                            .frameLength = 9};
constexpr Exchange kReadMemoryExchange{.timeout = 200ms, .maxResends = 3,
                                       .resendUnless = kReplyOk | kLinkAborted | kCommError,
                                       .resendOnRefusal = true, .stopWhen = kLinkAborted | kCommError,
                                       .clearing = Clearing::Every, .frameLength = 3};

// EndConnection and the code block's payload wait have loops of their own.
constexpr Seconds kEndConnectionTimeout = 1s;
constexpr int kEndConnectionMaxResends = 3;
constexpr Seconds kCodePayloadTimeout = 1s;
constexpr int kCodeBlockTries = 4;  // each try repeats the header exchange and the payload

}  // namespace

CommModule::CommModule(Port& port, MonotonicClock& clock, Pump& pump) : port_(port), clock_(clock), pump_(pump) {
    ResizeReceiveBuffers(kMinReceiveBuffer - 1);
}

void CommModule::ResizeReceiveBuffers(std::size_t lastIndex) {
    const std::size_t size =
        std::max(lastIndex == std::numeric_limits<std::size_t>::max() ? lastIndex : lastIndex + 1, kMinReceiveBuffer);
    RxBuf.assign(size, 0);
    BlockBuf.assign(size, 0);
}

void CommModule::ShrinkReceiveBuffers() {
    RxBuf.assign(1, 0);
    BlockBuf.assign(1, 0);
}

// --- byte layer ---

PortResult CommModule::SendBytes(int count) {
    if (PendingCmd == kNoCommand) return PortResult::Ok;
    NakReceived = false;
    if (count < 1 || static_cast<std::size_t>(count) > TxBuf.size()) return PortResult::WriteFailed;
    std::array<std::uint8_t, 258> frame{};
    std::copy_n(TxBuf.begin(), count, frame.begin());
    frame[static_cast<std::size_t>(count)] = 0x00;
    return port_.Write(std::span<const std::uint8_t>(frame.data(), static_cast<std::size_t>(count) + 1));
}

void CommModule::ReceiveData(std::span<const std::uint8_t> chunk) {
    if (chunk.empty()) return;
    const auto completeReply = [this] {
        PendingCmd = kNoCommand;
        ReplyOk = true;
    };
    switch (PendingCmd) {
    case wire::kReadIdentity:
    case wire::kReadRevision:
        // The revision reply is also stored at the running count, so its second byte lands at
        // RxBuf(1) however the port groups the two bytes.
        for (const std::uint8_t byte : chunk) Store(RxBuf, RxCount++, byte);
        if (First(RxBuf) == wire::kNak) NakReceived = true;
        if (PendingCmd == wire::kReadIdentity ? RxCount >= RxExpected : RxCount >= 2) completeReply();
        break;
    case wire::kEndConnection: {
        // Every chunk from index 0: RxBuf(0) is the first byte of the latest chunk, which lets a
        // late acknowledgement complete a reply that began with a refusal.
        std::int32_t k = 0;
        for (const std::uint8_t byte : chunk) {
            Store(RxBuf, k++, byte);
            ++RxCount;
        }
        if (First(RxBuf) == wire::kNak) NakReceived = true;
        if (First(RxBuf) == wire::kAck && RxCount >= 1) completeReply();
        break;
    }
    case wire::kReadMemory:
        for (const std::uint8_t byte : chunk) Store(BlockBuf, RxCount++, byte);
        if (First(BlockBuf) == wire::kNak) NakReceived = true;
        if (First(BlockBuf) == wire::kAck && RxCount >= RxExpected) completeReply();
        break;
    case wire::kSetDateTime:
    case wire::kWriteProfileBlock:
    case wire::kWriteArea1Block:
    case wire::kCloseArea1:
    case wire::kWriteArea2Block:
    case wire::kArea2Word:
    case wire::kCloseArea2:
        // Acknowledgement family: PendingCmd stays set so a payload can follow its header.
        for (const std::uint8_t byte : chunk) Store(RxBuf, RxCount++, byte);
        if (First(RxBuf) == wire::kNak) {
            NakReceived = true;
            ReplyOk = true;
        }
        if (First(RxBuf) == wire::kAck && RxCount >= 1) ReplyOk = true;
        break;
    default:
        break;  // no reply outstanding: discarded
    }
}

void CommModule::Pause(Seconds duration) { clock_.SleepFor(duration); }

// --- the exchange loop ---

bool CommModule::TimedOut(Seconds start, Seconds timeout) const { return clock_.Now() - start > timeout; }

CommModule::ExchangeOutcome CommModule::RunExchange(const Exchange& x, const std::function<void()>& reinitialise) {
    const auto anySet = [this](unsigned mask) {
        return ((mask & kReplyOk) != 0 && ReplyOk) || ((mask & kLinkAborted) != 0 && LinkAborted) ||
               ((mask & kCommError) != 0 && CommError);
    };
    ExchangeOutcome outcome;
    reinitialise();
    if (x.clearing != Clearing::Never) port_.Clear();
    Seconds start = clock_.Now();
    if (SendBytes(x.frameLength) != PortResult::Ok) return {LinkStatus::PortError, 0};
    bool lastSentAfterRefusal = false;
    for (;;) {
        pump_.RunPending();
        const bool refused = x.resendOnRefusal && NakReceived;
        if ((outcome.resends <= x.maxResends && TimedOut(start, x.timeout) && !anySet(x.resendUnless)) || refused) {
            ++outcome.resends;
            lastSentAfterRefusal = refused;
            reinitialise();
            if (x.clearing == Clearing::Every) port_.Clear();
            start = clock_.Now();
            if (SendBytes(x.frameLength) != PortResult::Ok) return {LinkStatus::PortError, outcome.resends};
        }
        // Checked right after a resend: the last transmission is never awaited.
        if (outcome.resends > x.maxResends || ReplyOk || anySet(x.stopWhen)) break;
    }
    if (ReplyOk) {
        outcome.status = NakReceived ? LinkStatus::Refused : LinkStatus::Ok;
    } else if (anySet(x.stopWhen)) {
        outcome.status = LinkStatus::Aborted;
    } else {
        outcome.status = lastSentAfterRefusal ? LinkStatus::Refused : LinkStatus::Timeout;
    }
    return outcome;
}

void CommModule::TrapWriteFailure() {
    CommError = true;
    LinkAborted = true;
}

void CommModule::SetWordFrame(std::uint8_t command, std::int32_t value) {
    TxBuf[0] = command;
    TxBuf[1] = HighByte(value);
    TxBuf[2] = LowByte(value);
}

// --- query and control commands ---

LinkStatus CommModule::ReadIdentity() {
    const ExchangeOutcome outcome = RunExchange(kReadIdentityExchange, [this] {
        PendingCmd = wire::kReadIdentity;
        RxExpected = static_cast<std::int32_t>(wire::kIdentityReplyLength);
        RxCount = 0;
        ReplyOk = false;
        TxBuf[0] = wire::kReadIdentity;
    });
    if (outcome.status != LinkStatus::Ok) return outcome.status;
    IdentityText.clear();
    for (std::size_t i = 0; i < 16; ++i) {
        IdentityBytes[i] = RxByte(i + 1);
        IdentityText.push_back(static_cast<char>(IdentityBytes[i]));
    }
    return LinkStatus::Ok;
}

RevisionReply CommModule::ReadRevision() {
    const ExchangeOutcome outcome = RunExchange(kReadRevisionExchange, [this] {
        PendingCmd = wire::kReadRevision;
        RxExpected = static_cast<std::int32_t>(wire::kRevisionReplyLength);
        RxCount = 0;
        ReplyOk = false;
        TxBuf[0] = wire::kReadRevision;
    });
    if (outcome.status != LinkStatus::Ok) return {outcome.status, 0};
    return {LinkStatus::Ok, RxByte(1)};
}

LinkStatus CommModule::SendWordExchange(std::uint8_t command, std::int32_t value, bool trapped) {
    CommError = false;
    PendingCmd = command;
    const ExchangeOutcome outcome = RunExchange(kWordCommandExchange, [this, command, value] {
        RxExpected = 1;
        RxCount = 0;
        ReplyOk = false;
        SetWordFrame(command, value);
    });
    if (outcome.status == LinkStatus::PortError) {
        if (trapped) TrapWriteFailure();
        TransferFailed = true;
        return LinkStatus::PortError;
    }
    if (outcome.resends > kWordCommandExchange.maxResends || CommError) TransferFailed = true;
    return CommError ? LinkStatus::Aborted : outcome.status;
}

LinkStatus CommModule::SendWordCommand(std::uint8_t command, std::int32_t value) {
    return SendWordExchange(command, value, true);
}

LinkStatus CommModule::SendB8WordCommand(std::int32_t value) { return SendWordExchange(wire::kArea2Word, value, false); }

LinkStatus CommModule::EndConnection() {
    CommError = false;
    TransferFailed = false;
    PendingCmd = wire::kEndConnection;
    RxExpected = 1;
    RxCount = 0;
    ReplyOk = false;
    TxBuf[0] = wire::kEndConnection;
    TxBuf[1] = wire::kEndConnectionArg;
    Seconds start = clock_.Now();
    if (SendBytes(2) != PortResult::Ok) {
        TransferFailed = true;
        return LinkStatus::PortError;
    }
    int resends = 0;
    for (;;) {
        pump_.RunPending();
        if ((TimedOut(start, kEndConnectionTimeout) && resends <= kEndConnectionMaxResends && !CommError) ||
            NakReceived) {
            ++resends;
            // RxCount and ReplyOk stay: a late acknowledgement still completes the reply.
            TxBuf[0] = static_cast<std::uint8_t>(PendingCmd & 0xFF);
            TxBuf[1] = wire::kEndConnectionArg;
            start = clock_.Now();
            if (SendBytes(2) != PortResult::Ok) {
                TransferFailed = true;
                return LinkStatus::PortError;
            }
        }
        if (ReplyOk) {
            if (resends > kEndConnectionMaxResends) TransferFailed = true;
            return TransferFailed ? LinkStatus::Timeout : LinkStatus::Ok;
        }
        if (resends > kEndConnectionMaxResends || CommError) {
            TransferFailed = true;
            return CommError ? LinkStatus::Aborted : LinkStatus::Timeout;
        }
    }
}

// --- block transfers ---

LinkStatus CommModule::SendBlockHeader(std::uint16_t address, std::uint8_t command) {
    const ExchangeOutcome outcome = RunExchange(kBlockHeaderExchange, [this, address, command] {
        PendingCmd = command;
        ReplyOk = false;
        NakReceived = false;
        RxCount = 0;
        SetWordFrame(command, address);
    });
    if (outcome.status == LinkStatus::PortError) TrapWriteFailure();
    if (outcome.status != LinkStatus::Ok) TransferFailed = true;
    return outcome.status;
}

LinkStatus CommModule::WriteCodeBlock(std::uint16_t address, std::uint8_t command) {
    for (int attempt = 1;; ++attempt) {
        LinkAborted = false;
        port_.Clear();
        if (const LinkStatus header = SendBlockHeader(address, command); header != LinkStatus::Ok) return header;
        // An earlier failure stands: the payload is not sent.
        if (TransferFailed) return LinkStatus::Aborted;

        std::copy(DataBuf.begin(), DataBuf.end(), TxBuf.begin());
        RxCount = 0;
        ReplyOk = false;
        NakReceived = false;
        const Seconds start = clock_.Now();
        port_.Clear();
        if (SendBytes(static_cast<int>(DataBuf.size())) != PortResult::Ok) {
            TrapWriteFailure();
            TransferFailed = true;
            return LinkStatus::PortError;
        }
        const LinkStatus payload = AwaitPayload(start);
        if (payload == LinkStatus::Ok || payload == LinkStatus::Aborted) return payload;
        if (attempt == kCodeBlockTries) {
            TransferFailed = true;
            return payload;
        }
    }
}

LinkStatus CommModule::AwaitPayload(Seconds start) {
    for (;;) {
        pump_.RunPending();
        if (NakReceived) return LinkStatus::Refused;
        if (TimedOut(start, kCodePayloadTimeout) && !ReplyOk && !LinkAborted && !CommError) return LinkStatus::Timeout;
        if (ReplyOk) return LinkStatus::Ok;
        if (TransferFailed || LinkAborted || CommError) return LinkStatus::Aborted;
    }
}

LinkStatus CommModule::SendProfileBlockHeader(std::uint16_t address) {
    LinkAborted = false;
    const ExchangeOutcome outcome = RunExchange(kProfileHeaderExchange, [this, address] {
        PendingCmd = wire::kWriteProfileBlock;
        ReplyOk = false;
        RxCount = 0;
        SetWordFrame(wire::kWriteProfileBlock, address);
    });
    if (outcome.status == LinkStatus::PortError) TrapWriteFailure();
    return outcome.status;
}

LinkStatus CommModule::WriteProfileBlock(std::uint16_t address) {
    LinkAborted = false;
    port_.Clear();
    if (const LinkStatus header = SendProfileBlockHeader(address); header != LinkStatus::Ok) {
        TransferFailed = true;
        return header;
    }
    Store(RxBuf, 0, 0);
    std::copy_n(DataBuf.begin(), 17, TxBuf.begin());
    const ExchangeOutcome outcome = RunExchange(kProfilePayloadExchange, [this] {
        ReplyOk = false;
        RxCount = 0;
    });
    if (outcome.status == LinkStatus::PortError || LinkAborted ||
        outcome.resends > kProfilePayloadExchange.maxResends)
        TransferFailed = true;
    return LinkAborted && outcome.status != LinkStatus::PortError ? LinkStatus::Aborted : outcome.status;
}

LinkStatus CommModule::SendDateTimeHeader() {
    PendingCmd = wire::kSetDateTime;
    TxBuf[0] = wire::kSetDateTime;
    return RunExchange(kDateTimeHeaderExchange, [this] {
               ReplyOk = false;
               RxCount = 0;
           }).status;
}

std::array<std::uint8_t, 9> CommModule::BuildClockRecord(std::string_view date, std::string_view time,
                                                         std::uint8_t extra) {
    std::array<std::uint8_t, 9> record{};
    record[0] = Bcd(TwoDigits(date, LastTwo(date)));
    record[1] = Bcd(TwoDigits(date, 3));
    record[2] = Bcd(TwoDigits(date, 0));
    record[3] = Bcd(TwoDigits(time, LastTwo(time)));
    record[4] = Bcd(TwoDigits(time, 3));
    const int hour = TwoDigits(time, 0);
    // 12-hour clock, bit 7 for the afternoon; noon is 12 with bit 7, midnight is 0.
    if (hour > 12) {
        record[5] = static_cast<std::uint8_t>(0x80 + Bcd(hour - 12));
    } else if (hour == 12) {
        record[5] = 0x92;
    } else {
        record[5] = Bcd(hour);
    }
    record[6] = extra;
    record[7] = 0;
    unsigned sum = 0;
    for (std::size_t i = 0; i < 8; ++i) sum += record[i];
    record[8] = static_cast<std::uint8_t>(sum & 0xFF);
    return record;
}

LinkStatus CommModule::SetDateTime(std::string_view date, std::string_view time, std::uint8_t extra) {
    const auto record = BuildClockRecord(date, time, extra);
    std::copy(record.begin(), record.end(), DataBuf.begin());
    port_.Clear();
    LinkAborted = false;
    if (const LinkStatus header = SendDateTimeHeader(); header != LinkStatus::Ok) {
        TransferFailed = true;
        return header;
    }
    std::copy_n(DataBuf.begin(), record.size(), TxBuf.begin());
    const ExchangeOutcome outcome = RunExchange(kDateTimePayloadExchange, [this] {
        ReplyOk = false;
        RxCount = 0;
    });
    if (outcome.status == LinkStatus::PortError ||
        (!LinkAborted && outcome.resends > kDateTimePayloadExchange.maxResends))
        TransferFailed = true;
    return outcome.status;
}

LinkStatus CommModule::ReadMemory(std::uint16_t first, std::uint16_t /*last*/) {
    LinkAborted = false;
    const ExchangeOutcome outcome = RunExchange(kReadMemoryExchange, [this, first] {
        PendingCmd = wire::kReadMemory;
        RxExpected = static_cast<std::int32_t>(wire::kMemoryReplyLength);
        RxCount = 0;
        ReplyOk = false;
        SetWordFrame(wire::kReadMemory, first);
    });
    if (outcome.status == LinkStatus::PortError) {
        TrapWriteFailure();
        TransferFailed = true;
        return LinkStatus::PortError;
    }
    if (ReplyOk) {
        const std::size_t end = std::min({std::size_t{130}, RxBuf.size(), BlockBuf.size()});
        for (std::size_t i = 1; i < end; ++i) RxBuf[i] = BlockBuf[i];
        // A slow DC answers every request it got, and the reply bytes have no address: the
        // answer to a resent read, arriving after the next read went out, would be taken for the
        // next block, and every block after it would be saved one place off. The surplus answers
        // come about one timeout apart.
        if (outcome.resends > 0) SettleLine(kReadMemoryExchange.timeout * (outcome.resends + 1));
    }
    if (LinkAborted || CommError || outcome.resends > kReadMemoryExchange.maxResends) TransferFailed = true;
    if (LinkAborted || CommError) return LinkStatus::Aborted;
    return outcome.status;
}

void CommModule::SettleLine(Seconds duration) {
    PendingCmd = kNoCommand;  // whatever arrives now is discarded
    const Seconds start = clock_.Now();
    while (!TimedOut(start, duration) && !LinkAborted && !CommError) pump_.RunPending();
    port_.Clear();
}

}  // namespace verno::link
