#include "console/CableReport.h"

#include "profile/BackupFile.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

namespace verno::console {

namespace {

template <typename T>
std::optional<T> Optional(const nlohmann::json& line, const char* key) {
    if (!line.contains(key) || line[key].is_null()) return std::nullopt;
    return line[key].get<T>();
}

std::string TextOr(const nlohmann::json& line, const char* key) {
    return line.contains(key) && line[key].is_string() ? line[key].get<std::string>() : std::string();
}

}  // namespace

std::string CableReport::SerialText() const { return serial ? profile::SerialText(*serial) : "-"; }

CableReport CableReport::Failed(std::string port, std::string reason) {
    CableReport r;
    r.port = std::move(port);
    r.outcome = "failed";
    r.reason = std::move(reason);
    return r;
}

nlohmann::ordered_json CableReport::ToJson() const {
    nlohmann::ordered_json line = {{"type", "result"}, {"port", port}};
    line["serial"] = serial ? nlohmann::ordered_json(SerialText()) : nlohmann::ordered_json(nullptr);
    line["version_before"] = versionBefore;
    line["version_after"] = versionAfter;
    line["outcome"] = outcome;
    line["reason"] = reason;
    line["profile_kept_in"] = profileKeptIn.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(profileKeptIn);
    line["seconds"] = std::round(seconds * 10) / 10;
    if (wouldUpdate) line["would_update"] = *wouldUpdate;
    if (profileBlocks) line["profile_blocks"] = *profileBlocks;
    if (revision) line["revision"] = *revision;
    return line;
}

CableReport CableReport::FromJson(const nlohmann::json& line) {
    CableReport r;
    r.port = TextOr(line, "port");
    if (const auto serial = Optional<std::string>(line, "serial")) r.serial = std::stoi(*serial);
    r.versionBefore = TextOr(line, "version_before");
    r.versionAfter = TextOr(line, "version_after");
    r.outcome = TextOr(line, "outcome");
    r.reason = TextOr(line, "reason");
    r.profileKeptIn = TextOr(line, "profile_kept_in");
    r.seconds = line.value("seconds", 0.0);
    r.wouldUpdate = Optional<bool>(line, "would_update");
    r.profileBlocks = Optional<int>(line, "profile_blocks");
    r.revision = Optional<int>(line, "revision");
    return r;
}

std::string SummaryTable(const std::vector<CableReport>& reports) {
    using Row = std::array<std::string, 6>;
    std::vector<Row> rows = {{"port", "serial", "before", "after", "time", "outcome"}};
    for (const CableReport& r : reports) {
        std::string outcome = r.outcome;
        if (!r.reason.empty()) outcome += ": " + r.reason;
        if (r.wouldUpdate) outcome += *r.wouldUpdate ? ", the firmware file would update it" : ", the firmware file would not update it";
        if (!r.profileKeptIn.empty()) {
            const bool sentence = !outcome.empty() && (outcome.back() == '.' || outcome.back() == '!');
            outcome += (sentence ? " Profile kept in " : "; profile kept in ") + r.profileKeptIn;
        }
        char seconds[16];
        std::snprintf(seconds, sizeof seconds, "%.0f s", r.seconds);
        rows.push_back({r.port, r.SerialText(), r.versionBefore.empty() ? "-" : r.versionBefore,
                        r.versionAfter.empty() ? "-" : r.versionAfter, seconds, outcome});
    }
    std::array<std::size_t, 6> widths{};
    for (const Row& row : rows)
        for (std::size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], row[c].size());
    std::string table;
    for (const Row& row : rows) {
        for (std::size_t c = 0; c < row.size(); ++c) {
            table += row[c];
            if (c + 1 < row.size()) table += std::string(widths[c] - row[c].size() + 2, ' ');
        }
        table += "\n";
    }
    return table;
}

}  // namespace verno::console
