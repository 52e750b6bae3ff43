#include "link/protocol/CommModule.h"

#include <algorithm>
#include <limits>

#include "common/Sum8.h"

namespace verno::link {

namespace {

using namespace std::chrono_literals;

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

// Which failure flags end an exchange's wait (and hold back its timed resends).
enum class StopOn { Abort, CommError, AbortOrCommError };

// A timed resend happens only while no flag of stopOn is set and, when replyHoldsResend, no
// reply has come; a stop flag ends the wait. The command is sent at most maxResends + 2 times.
struct Exchange {
    enum class Clearing { Never, FirstOnly, Every };
    Seconds timeout;
    int maxResends;
    StopOn stopOn;
    bool replyHoldsResend;
    bool resendOnRefusal;
    Clearing clearing;
    int frameLength;
};

namespace {

using Clearing = Exchange::Clearing;

constexpr Exchange kReadIdentityExchange{.timeout = 2s, .maxResends = 10, .stopOn = StopOn::Abort,
                                         .replyHoldsResend = true, .resendOnRefusal = true,
                                         .clearing = Clearing::Every, .frameLength = 1};
constexpr Exchange kReadRevisionExchange{.timeout = 1s, .maxResends = 10, .stopOn = StopOn::Abort,
                                         .replyHoldsResend = true, .resendOnRefusal = true,
                                         .clearing = Clearing::Never, .frameLength = 1};
// An acknowledgement taken in during the pass in which the timeout runs out is overridden by the
// resend.
constexpr Exchange kWordCommandExchange{.timeout = 1s, .maxResends = 3, .stopOn = StopOn::CommError,
                                        .replyHoldsResend = false, .resendOnRefusal = true,
                                        .clearing = Clearing::Every, .frameLength = 3};
constexpr Exchange kBlockHeaderExchange{.timeout = 200ms, .maxResends = 20, .stopOn = StopOn::AbortOrCommError,
                                        .replyHoldsResend = true, .resendOnRefusal = true,
                                        .clearing = Clearing::Every, .frameLength = 3};
// A refusal counts as the reply for this command, so the first refusal ends the exchange.
constexpr Exchange kProfileHeaderExchange{.timeout = 100ms, .maxResends = 10, .stopOn = StopOn::AbortOrCommError,
                                          .replyHoldsResend = true, .resendOnRefusal = false,
                                          .clearing = Clearing::FirstOnly, .frameLength = 3};
constexpr Exchange kProfilePayloadExchange{.timeout = 200ms, .maxResends = 10, .stopOn = StopOn::Abort,
                                           .replyHoldsResend = true, .resendOnRefusal = true,
                                           .clearing = Clearing::Never, .frameLength = 17};
constexpr Exchange kDateTimeHeaderExchange{.timeout = 100ms, .maxResends = 3, .stopOn = StopOn::Abort,
                                           .replyHoldsResend = true, .resendOnRefusal = true,
                                           .clearing = Clearing::Every, .frameLength = 1};
// A refusal of the record ends the exchange like an acknowledgement.
constexpr Exchange kDateTimePayloadExchange{.timeout = 1s, .maxResends = 3, .stopOn = StopOn::Abort,
                                            .replyHoldsResend = true, .resendOnRefusal = false,
                                            .clearing = Clearing::Every, .frameLength = 9};
constexpr Exchange kReadMemoryExchange{.timeout = 200ms, .maxResends = 3, .stopOn = StopOn::AbortOrCommError,
                                       .replyHoldsResend = true, .resendOnRefusal = true,
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
    blockBuf_.assign(size, 0);
}

void CommModule::ShrinkReceiveBuffers() {
    RxBuf.assign(1, 0);
    blockBuf_.assign(1, 0);
}

// --- the phase ---

namespace {

// The three facts a phase stands for: a command is open, its reply has come, a refusal stands.
struct Facts {
    bool open;
    bool replied;
    bool refused;
};

}  // namespace

void CommModule::On(Event event, std::uint8_t command) {
    Facts f{IsOpen(), Replied(), Refused()};
    switch (event) {
    case Event::Open: f = {true, false, f.refused}; break;
    case Event::OpenAfresh: f = {true, false, false}; break;
    case Event::Reopen: f.replied = false; break;
    case Event::Restart: f = {f.open, false, false}; break;
    case Event::Sent: f.refused = false; break;
    case Event::Refusal: f.refused = true; break;
    case Event::Acknowledgement: f.replied = true; break;
    case Event::Completion: f = {false, true, f.refused}; break;
    case Event::Settle: f.open = false; break;
    }
    if (event == Event::Open || event == Event::OpenAfresh) command_ = command;
    if (f.open) {
        phase_ = f.replied ? (f.refused ? Phase::RefusedOpen : Phase::Acknowledged)
                           : (f.refused ? Phase::RefusalSeen : Phase::Awaiting);
    } else {
        phase_ = f.replied ? (f.refused ? Phase::AnsweredRefused : Phase::Answered)
                           : (f.refused ? Phase::IdleRefused : Phase::Idle);
    }
}

bool CommModule::IsOpen() const {
    return phase_ == Phase::Awaiting || phase_ == Phase::RefusalSeen || phase_ == Phase::Acknowledged ||
           phase_ == Phase::RefusedOpen;
}

bool CommModule::Replied() const {
    return phase_ == Phase::Acknowledged || phase_ == Phase::RefusedOpen || phase_ == Phase::Answered ||
           phase_ == Phase::AnsweredRefused;
}

bool CommModule::Refused() const {
    return phase_ == Phase::RefusalSeen || phase_ == Phase::RefusedOpen || phase_ == Phase::AnsweredRefused ||
           phase_ == Phase::IdleRefused;
}

// --- byte layer ---

PortResult CommModule::SendBytes(int count) {
    if (!IsOpen()) return PortResult::Ok;
    On(Event::Sent);
    if (count < 1 || static_cast<std::size_t>(count) > txBuf_.size()) return PortResult::WriteFailed;
    std::array<std::uint8_t, 258> frame{};
    std::copy_n(txBuf_.begin(), count, frame.begin());
    frame[static_cast<std::size_t>(count)] = 0x00;
    const PortResult result = port_.Write(std::span<const std::uint8_t>(frame.data(), static_cast<std::size_t>(count) + 1));
    cableGone_ = result == PortResult::Gone;
    return result;
}

void CommModule::ReceiveData(std::span<const std::uint8_t> chunk) {
    if (chunk.empty() || !IsOpen()) return;  // no reply outstanding: discarded
    switch (command_) {
    case wire::kReadIdentity:
    case wire::kReadRevision:
        // The revision reply is also stored at the running count, so its second byte lands at
        // RxBuf(1) however the port groups the two bytes.
        for (const std::uint8_t byte : chunk) Store(RxBuf, rxCount_++, byte);
        if (First(RxBuf) == wire::kNak) On(Event::Refusal);
        if (command_ == wire::kReadIdentity ? rxCount_ >= rxExpected_ : rxCount_ >= 2) On(Event::Completion);
        break;
    case wire::kEndConnection: {
        // Every chunk from index 0: RxBuf(0) is the first byte of the latest chunk, which lets a
        // late acknowledgement complete a reply that began with a refusal.
        std::int32_t k = 0;
        for (const std::uint8_t byte : chunk) {
            Store(RxBuf, k++, byte);
            ++rxCount_;
        }
        if (First(RxBuf) == wire::kNak) On(Event::Refusal);
        if (First(RxBuf) == wire::kAck && rxCount_ >= 1) On(Event::Completion);
        break;
    }
    case wire::kReadMemory:
        for (const std::uint8_t byte : chunk) Store(blockBuf_, rxCount_++, byte);
        if (First(blockBuf_) == wire::kNak) On(Event::Refusal);
        if (First(blockBuf_) == wire::kAck && rxCount_ >= rxExpected_) On(Event::Completion);
        break;
    case wire::kSetDateTime:
    case wire::kWriteProfileBlock:
    case wire::kWriteArea1Block:
    case wire::kCloseArea1:
    case wire::kWriteArea2Block:
    case wire::kArea2Word:
    case wire::kCloseArea2:
        // Acknowledgement family: the command stays open so a payload can follow its header.
        for (const std::uint8_t byte : chunk) Store(RxBuf, rxCount_++, byte);
        if (First(RxBuf) == wire::kNak) {
            On(Event::Refusal);
            On(Event::Acknowledgement);
        }
        if (First(RxBuf) == wire::kAck && rxCount_ >= 1) On(Event::Acknowledgement);
        break;
    default:
        break;  // a command without a reply of its own: discarded
    }
}

void CommModule::Pause(Seconds duration) { clock_.SleepFor(duration); }

// --- the exchange loop ---

bool CommModule::Stopped(const Exchange& x) const {
    switch (x.stopOn) {
    case StopOn::Abort: return LinkAborted;
    case StopOn::CommError: return CommError;
    case StopOn::AbortOrCommError: return LinkAborted || CommError;
    }
    return false;
}

CommModule::ExchangeOutcome CommModule::RunExchange(const Exchange& x, const std::function<void()>& reinitialise,
                                                    const CallShown& onCall) {
    ExchangeOutcome outcome;
    reinitialise();
    if (x.clearing != Clearing::Never) port_.Clear();
    Wait wait(clock_, pump_, x.timeout);
    if (SendBytes(x.frameLength) != PortResult::Ok) return {LinkStatus::PortError, 0};
    const int transmissions = x.maxResends + 2;
    if (onCall) onCall(1, transmissions);
    bool lastSentAfterRefusal = false;
    for (;;) {
        wait.Pass();
        const bool refused = x.resendOnRefusal && Refused();
        const bool held = Stopped(x) || (x.replyHoldsResend && Replied());
        if ((outcome.resends <= x.maxResends && wait.Expired() && !held) || refused) {
            ++outcome.resends;
            lastSentAfterRefusal = refused;
            reinitialise();
            if (x.clearing == Clearing::Every) port_.Clear();
            wait.Restart();
            if (SendBytes(x.frameLength) != PortResult::Ok) return {LinkStatus::PortError, outcome.resends};
            if (onCall) onCall(outcome.resends + 1, transmissions);
        }
        // Checked right after a resend: the last transmission is never awaited.
        if (outcome.resends > x.maxResends || Replied() || Stopped(x)) break;
    }
    if (Replied()) {
        outcome.status = Refused() ? LinkStatus::Refused : LinkStatus::Ok;
    } else if (Stopped(x)) {
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

void CommModule::Abort() {
    CommError = true;
    LinkAborted = true;
}

void CommModule::SetWordFrame(std::uint8_t command, std::int32_t value) {
    txBuf_[0] = command;
    txBuf_[1] = HighByte(value);
    txBuf_[2] = LowByte(value);
}

// --- query and control commands ---

LinkStatus CommModule::ReadIdentity(const CallShown& onCall) {
    const ExchangeOutcome outcome = RunExchange(
        kReadIdentityExchange,
        [this] {
            On(Event::Open, wire::kReadIdentity);
            rxExpected_ = static_cast<std::int32_t>(wire::kIdentityReplyLength);
            rxCount_ = 0;
            txBuf_[0] = wire::kReadIdentity;
        },
        onCall);
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
        On(Event::Open, wire::kReadRevision);
        rxExpected_ = static_cast<std::int32_t>(wire::kRevisionReplyLength);
        rxCount_ = 0;
        txBuf_[0] = wire::kReadRevision;
    });
    if (outcome.status != LinkStatus::Ok) return {outcome.status, 0};
    return {LinkStatus::Ok, RxByte(1)};
}

LinkStatus CommModule::SendWordExchange(std::uint8_t command, std::int32_t value, bool trapped) {
    const bool failedBefore = TransferFailed;
    CommError = false;
    On(Event::Open, command);
    const ExchangeOutcome outcome = RunExchange(kWordCommandExchange, [this, command, value] {
        On(Event::Reopen);
        rxExpected_ = 1;
        rxCount_ = 0;
        SetWordFrame(command, value);
    });
    if (outcome.status == LinkStatus::PortError) {
        if (trapped) TrapWriteFailure();
        TransferFailed = true;
        return LinkStatus::PortError;
    }
    if (outcome.resends > kWordCommandExchange.maxResends || CommError) TransferFailed = true;
    return CommError ? LinkStatus::Aborted : Reported(outcome.status, failedBefore);
}

LinkStatus CommModule::SendWordCommand(std::uint8_t command, std::int32_t value) {
    return SendWordExchange(command, value, true);
}

LinkStatus CommModule::SendB8WordCommand(std::int32_t value) { return SendWordExchange(wire::kArea2Word, value, false); }

LinkStatus CommModule::EndConnection() {
    CommError = false;
    TransferFailed = false;
    On(Event::Open, wire::kEndConnection);
    rxExpected_ = 1;
    rxCount_ = 0;
    txBuf_[0] = wire::kEndConnection;
    txBuf_[1] = wire::kEndConnectionArg;
    Wait wait(clock_, pump_, kEndConnectionTimeout);
    if (SendBytes(2) != PortResult::Ok) {
        TransferFailed = true;
        return LinkStatus::PortError;
    }
    int resends = 0;
    for (;;) {
        wait.Pass();
        if ((wait.Expired() && resends <= kEndConnectionMaxResends && !CommError) || Refused()) {
            ++resends;
            // rxCount_ and the reply stay: a late acknowledgement still completes it.
            txBuf_[0] = command_;
            txBuf_[1] = wire::kEndConnectionArg;
            wait.Restart();
            if (SendBytes(2) != PortResult::Ok) {
                TransferFailed = true;
                return LinkStatus::PortError;
            }
        }
        if (Replied()) {
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
        On(Event::OpenAfresh, command);
        rxCount_ = 0;
        SetWordFrame(command, address);
    });
    if (outcome.status == LinkStatus::PortError) TrapWriteFailure();
    if (outcome.status != LinkStatus::Ok) TransferFailed = true;
    return outcome.status;
}

LinkStatus CommModule::WriteCodeBlock(std::uint16_t address, std::uint8_t command, BlockPayload block) {
    std::copy(block.begin(), block.end(), DataBuf.begin());
    for (int attempt = 1;; ++attempt) {
        LinkAborted = false;
        port_.Clear();
        if (const LinkStatus header = SendBlockHeader(address, command); header != LinkStatus::Ok) return header;
        // An earlier failure stands: the payload is not sent.
        if (TransferFailed) return LinkStatus::Aborted;

        std::copy(DataBuf.begin(), DataBuf.end(), txBuf_.begin());
        rxCount_ = 0;
        On(Event::Restart);
        Wait wait(clock_, pump_, kCodePayloadTimeout);
        port_.Clear();
        if (SendBytes(static_cast<int>(DataBuf.size())) != PortResult::Ok) {
            TrapWriteFailure();
            TransferFailed = true;
            return LinkStatus::PortError;
        }
        const LinkStatus payload = AwaitPayload(wait);
        if (payload == LinkStatus::Ok || payload == LinkStatus::Aborted) return payload;
        if (attempt == kCodeBlockTries) {
            TransferFailed = true;
            return payload;
        }
    }
}

LinkStatus CommModule::AwaitPayload(Wait& wait) {
    for (;;) {
        wait.Pass();
        if (Refused()) return LinkStatus::Refused;
        if (wait.Expired() && !Replied() && !LinkAborted && !CommError) return LinkStatus::Timeout;
        if (Replied()) return LinkStatus::Ok;
        if (TransferFailed || LinkAborted || CommError) return LinkStatus::Aborted;
    }
}

LinkStatus CommModule::SendProfileBlockHeader(std::uint16_t address) {
    LinkAborted = false;
    const ExchangeOutcome outcome = RunExchange(kProfileHeaderExchange, [this, address] {
        On(Event::Open, wire::kWriteProfileBlock);
        rxCount_ = 0;
        SetWordFrame(wire::kWriteProfileBlock, address);
    });
    if (outcome.status == LinkStatus::PortError) TrapWriteFailure();
    return outcome.status;
}

LinkStatus CommModule::WriteProfileBlock(std::uint16_t address, ProfilePiece piece) {
    std::copy(piece.begin(), piece.end(), DataBuf.begin());
    const bool failedBefore = TransferFailed;
    LinkAborted = false;
    port_.Clear();
    if (const LinkStatus header = SendProfileBlockHeader(address); header != LinkStatus::Ok) {
        TransferFailed = true;
        return header;
    }
    Store(RxBuf, 0, 0);
    std::copy_n(DataBuf.begin(), 17, txBuf_.begin());
    const ExchangeOutcome outcome = RunExchange(kProfilePayloadExchange, [this] {
        On(Event::Reopen);
        rxCount_ = 0;
    });
    if (outcome.status == LinkStatus::PortError || LinkAborted ||
        outcome.resends > kProfilePayloadExchange.maxResends)
        TransferFailed = true;
    return LinkAborted && outcome.status != LinkStatus::PortError ? LinkStatus::Aborted
                                                                  : Reported(outcome.status, failedBefore);
}

LinkStatus CommModule::SendDateTimeHeader() {
    On(Event::Open, wire::kSetDateTime);
    txBuf_[0] = wire::kSetDateTime;
    return RunExchange(kDateTimeHeaderExchange, [this] {
               On(Event::Reopen);
               rxCount_ = 0;
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
    record[8] = Sum8(std::span<const std::uint8_t>(record).first(8));
    return record;
}

LinkStatus CommModule::SetDateTime(std::string_view date, std::string_view time, std::uint8_t extra) {
    const auto record = BuildClockRecord(date, time, extra);
    std::copy(record.begin(), record.end(), DataBuf.begin());
    const bool failedBefore = TransferFailed;
    port_.Clear();
    LinkAborted = false;
    if (const LinkStatus header = SendDateTimeHeader(); header != LinkStatus::Ok) {
        TransferFailed = true;
        return header;
    }
    std::copy_n(DataBuf.begin(), record.size(), txBuf_.begin());
    const ExchangeOutcome outcome = RunExchange(kDateTimePayloadExchange, [this] {
        On(Event::Reopen);
        rxCount_ = 0;
    });
    if (outcome.status == LinkStatus::PortError ||
        (!LinkAborted && outcome.resends > kDateTimePayloadExchange.maxResends))
        TransferFailed = true;
    return Reported(outcome.status, failedBefore);
}

MemoryBlock CommModule::ReadMemory(std::uint16_t first, std::uint16_t /*last*/) {
    const bool failedBefore = TransferFailed;
    LinkAborted = false;
    const ExchangeOutcome outcome = RunExchange(kReadMemoryExchange, [this, first] {
        On(Event::Open, wire::kReadMemory);
        rxExpected_ = static_cast<std::int32_t>(wire::kMemoryReplyLength);
        rxCount_ = 0;
        SetWordFrame(wire::kReadMemory, first);
    });
    if (outcome.status == LinkStatus::PortError) {
        TrapWriteFailure();
        TransferFailed = true;
        return {LinkStatus::PortError, {}};
    }
    if (Replied()) {
        const std::size_t end = std::min({std::size_t{130}, RxBuf.size(), blockBuf_.size()});
        for (std::size_t i = 1; i < end; ++i) RxBuf[i] = blockBuf_[i];
        // A slow DC answers every request it got, and the reply bytes have no address: the
        // answer to a resent read, arriving after the next read went out, would be taken for the
        // next block, and every block after it would be saved one place off. The surplus answers
        // come about one timeout apart.
        if (outcome.resends > 0) SettleLine(kReadMemoryExchange.timeout * (outcome.resends + 1));
    }
    if (LinkAborted || CommError || outcome.resends > kReadMemoryExchange.maxResends) TransferFailed = true;
    MemoryBlock block{LinkAborted || CommError ? LinkStatus::Aborted : Reported(outcome.status, failedBefore), {}};
    for (std::size_t k = 1; k <= block.bytes.size(); ++k) block.bytes[k - 1] = RxByte(k);
    return block;
}

void CommModule::SettleLine(Seconds duration) {
    On(Event::Settle);
    Wait(clock_, pump_, duration).Until([this] { return LinkAborted || CommError; });
    port_.Clear();
}

}  // namespace verno::link
