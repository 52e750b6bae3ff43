#include "dcsim/DcConfig.h"

#include <charconv>
#include <string_view>

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

bool ApplyFault(const std::string& text, DcFaults& faults) {
    const std::string_view all(text);
    const std::size_t eq = all.find('=');
    const std::string_view name = all.substr(0, eq);
    const bool hasArg = eq != std::string_view::npos;
    const std::string_view arg = hasArg ? all.substr(eq + 1) : std::string_view{};

    if (name == "silent" && !hasArg) {
        faults.silent = true;
        return true;
    }
    if (name == "byte-at-a-time" && !hasArg) {
        faults.byteAtATime = true;
        return true;
    }
    if (name == "refuse-special-writes" && !hasArg) {
        faults.refuseSpecialWrites = true;
        return true;
    }
    if (name == "corrupt-header" && !hasArg) {
        faults.corruptHeaderWrite = true;
        return true;
    }
    if (name == "refuse-write" && hasArg) {
        unsigned unit = 0;
        if (!Number(arg, unit) || unit > 0xFFFF) return false;
        faults.refuseWriteAt = static_cast<std::uint16_t>(unit);
        return true;
    }
    if (name == "unanswered" && hasArg) {
        const std::size_t at = arg.find('@');
        std::uint8_t command = 0;
        unsigned unit = 0;
        if (!CommandByte(arg.substr(0, at), command)) return false;
        if (at != std::string_view::npos && (!Number(arg.substr(at + 1), unit) || unit > 0xFFFF)) return false;
        faults.unansweredCommand = command;
        if (at != std::string_view::npos) faults.unansweredUnit = static_cast<std::uint16_t>(unit);
        return true;
    }
    if ((name == "refuse" || name == "refuse-payload") && hasArg) {
        const std::size_t colon = arg.find(':');
        std::uint8_t command = 0;
        int count = 1;
        if (!CommandByte(arg.substr(0, colon), command)) return false;
        if (colon != std::string_view::npos && (!Number(arg.substr(colon + 1), count) || count < 0)) return false;
        (name == "refuse" ? faults.refuseCommand : faults.refusePayloadOf) = command;
        (name == "refuse" ? faults.refuseCount : faults.refusePayloadCount) = count;
        return true;
    }
    if (name == "arm" && hasArg) {
        const std::size_t colon = arg.find(':');
        if (colon == std::string_view::npos) return false;
        std::uint8_t command = 0;
        int frame = 0;
        if (!CommandByte(arg.substr(0, colon), command)) return false;
        if (!Number(arg.substr(colon + 1), frame) || frame < 1) return false;
        faults.armAt = FaultArming{command, frame};
        return true;
    }
    if ((name == "lose-ack" || name == "power-loss" || name == "garbage") && hasArg) {
        int value = 0;
        if (!Number(arg, value) || value < 0 || value > 100000) return false;
        if (name == "lose-ack") faults.loseAckOfCodeBlock = value;
        if (name == "power-loss") faults.powerLossAtBlock = value;
        if (name == "garbage") faults.garbageBeforeReply = value;
        return true;
    }
    if (name == "latency" && hasArg) return Seconds(arg, faults.replyLatency);
    if (name == "long-restart") {
        double seconds = 60.0;
        if (hasArg && !Seconds(arg, seconds)) return false;
        faults.restartSeconds = seconds;
        return true;
    }
    return false;
}

}  // namespace verno::dcsim
