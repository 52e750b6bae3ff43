#include "dcsim/DcConfig.h"

#include <charconv>
#include <string_view>
#include <utility>

namespace verno::dcsim {

namespace {

template <typename T>
bool Number(std::string_view text, T& out, int base = 10) {
    if (text.empty()) return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out, base);
    return error == std::errc() && end == text.data() + text.size();
}

bool Number(std::string_view text, double& out) {
    if (text.empty()) return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out);
    return error == std::errc() && end == text.data() + text.size();
}

// A command byte in hex, "B5" or "0xB5".
bool CommandByte(std::string_view text, std::uint8_t& out) {
    if (text.starts_with("0x") || text.starts_with("0X")) text.remove_prefix(2);
    unsigned value = 0;
    if (!Number(text, value, 16) || value > 0xFF) return false;
    out = static_cast<std::uint8_t>(value);
    return true;
}

bool Seconds(std::string_view text, double& out) {
    if (!Number(text, out) || out < 0.0 || out > 3600.0) return false;
    return true;
}

}  // namespace

namespace {

// The switches without an argument.
bool ApplySwitch(std::string_view name, DcFaults& faults) {
    const std::pair<std::string_view, bool DcFaults::*> switches[] = {
        {"silent", &DcFaults::silent},
        {"byte-at-a-time", &DcFaults::byteAtATime},
        {"refuse-special-writes", &DcFaults::refuseSpecialWrites},
        {"corrupt-header", &DcFaults::corruptHeaderWrite},
    };
    for (const auto& [switchName, member] : switches) {
        if (name != switchName) continue;
        faults.*member = true;
        return true;
    }
    return false;
}

// The faults aimed at a command byte: unanswered=CMD[@UNIT], refuse[-payload]=CMD[:N], arm=CMD:N.
bool ApplyCommandFault(std::string_view name, std::string_view arg, DcFaults& faults) {
    const std::size_t split = arg.find(name == "unanswered" ? '@' : ':');
    const bool hasSecond = split != std::string_view::npos;
    std::uint8_t command = 0;
    if (!CommandByte(arg.substr(0, split), command)) return false;
    const std::string_view second = hasSecond ? arg.substr(split + 1) : std::string_view{};
    if (name == "unanswered") {
        unsigned unit = 0;
        if (hasSecond && (!Number(second, unit) || unit > 0xFFFF)) return false;
        faults.unansweredCommand = command;
        if (hasSecond) faults.unansweredUnit = static_cast<std::uint16_t>(unit);
        return true;
    }
    int count = 1;
    if (name == "arm") {
        if (!hasSecond || !Number(second, count) || count < 1) return false;
        faults.armAt = FaultArming{command, count};
        return true;
    }
    if (hasSecond && (!Number(second, count) || count < 0)) return false;
    (name == "refuse" ? faults.refuseCommand : faults.refusePayloadOf) = command;
    (name == "refuse" ? faults.refuseCount : faults.refusePayloadCount) = count;
    return true;
}

// The faults that take a number: refuse-write=UNIT, lose-ack=K, power-loss=K, garbage=N.
bool ApplyNumberFault(std::string_view name, std::string_view arg, DcFaults& faults) {
    if (name == "refuse-write") {
        unsigned unit = 0;
        if (!Number(arg, unit) || unit > 0xFFFF) return false;
        faults.refuseWriteAt = static_cast<std::uint16_t>(unit);
        return true;
    }
    int value = 0;
    if (!Number(arg, value) || value < 0 || value > 100000) return false;
    if (name == "lose-ack") faults.loseAckOfCodeBlock = value;
    if (name == "power-loss") faults.powerLossAtBlock = value;
    if (name == "garbage") faults.garbageBeforeReply = value;
    if (name == "garble-reads") faults.garbledReads = value;
    if (name == "garble-writes") faults.garbledWrites = value;
    return true;
}

}  // namespace

bool ApplyFault(const std::string& text, DcFaults& faults) {
    const std::string_view all(text);
    const std::size_t eq = all.find('=');
    const std::string_view name = all.substr(0, eq);
    const bool hasArg = eq != std::string_view::npos;
    const std::string_view arg = hasArg ? all.substr(eq + 1) : std::string_view{};

    if (!hasArg) {
        if (ApplySwitch(name, faults)) return true;
    } else if (name == "unanswered" || name == "refuse" || name == "refuse-payload" || name == "arm") {
        return ApplyCommandFault(name, arg, faults);
    } else if (name == "refuse-write" || name == "lose-ack" || name == "power-loss" || name == "garbage" ||
               name == "garble-reads" || name == "garble-writes") {
        return ApplyNumberFault(name, arg, faults);
    } else if (name == "latency") {
        return Seconds(arg, faults.replyLatency);
    } else if (name == "cable-out") {
        return Seconds(arg, faults.cableOutSeconds);
    }
    if (name == "long-restart") {
        double seconds = 60.0;
        if (hasArg && !Seconds(arg, seconds)) return false;
        faults.restartSeconds = seconds;
        return true;
    }
    return false;
}

}  // namespace verno::dcsim
