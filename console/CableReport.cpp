#include "console/CableReport.h"

#include "common/Text.h"
#include "common/TextNumbers.h"
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
    line["cable"] = cable.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(cable);
    line["serial"] = serial ? nlohmann::ordered_json(SerialText()) : nlohmann::ordered_json(nullptr);
    line["version_before"] = versionBefore;
    line["version_after"] = versionAfter;
    line["outcome"] = outcome;
    line["reason"] = reason;
    line["profile_kept_in"] = profileKeptIn.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(profileKeptIn);
    line["kept"] = nlohmann::ordered_json::array();
    for (const Kept& k : kept) line["kept"].push_back({{"file", k.file}, {"why", k.why}});
    line["seconds"] = std::round(seconds * 10) / 10;
    if (wouldUpdate) line["would_update"] = *wouldUpdate;
    if (profileBlocks) line["profile_blocks"] = *profileBlocks;
    if (revision) line["revision"] = *revision;
    return line;
}

CableReport CableReport::FromJson(const nlohmann::json& line) {
    CableReport r;
    r.port = TextOr(line, "port");
    r.cable = TextOr(line, "cable");
    if (const auto serial = Optional<std::string>(line, "serial")) r.serial = std::stoi(*serial);
    r.versionBefore = TextOr(line, "version_before");
    r.versionAfter = TextOr(line, "version_after");
    r.outcome = TextOr(line, "outcome");
    r.reason = TextOr(line, "reason");
    r.profileKeptIn = TextOr(line, "profile_kept_in");
    if (line.contains("kept") && line["kept"].is_array())
        for (const auto& k : line["kept"]) r.kept.push_back({TextOr(k, "file"), TextOr(k, "why")});
    r.seconds = line.value("seconds", 0.0);
    r.wouldUpdate = Optional<bool>(line, "would_update");
    r.profileBlocks = Optional<int>(line, "profile_blocks");
    r.revision = Optional<int>(line, "revision");
    return r;
}

namespace {

int OutcomeText(const std::string& outcome) {
    if (outcome == "updated") return text::kOutcomeUpdated;
    if (outcome == "no update needed") return text::kOutcomeNoUpdateNeeded;
    if (outcome == "checked") return text::kOutcomeChecked;
    if (outcome == "restored") return text::kOutcomeRestored;
    return text::kOutcomeFailed;
}

// The last column: the outcome, why, what the firmware would do, where the profile waits.
std::string OutcomeColumn(const CableReport& r, const TextLookup& text) {
    std::string outcome = text(OutcomeText(r.outcome));
    if (!r.reason.empty()) outcome = FillPlaceholders(text(text::kOutcomeBecause), outcome, r.reason);
    if (r.wouldUpdate) outcome += ", " + text(*r.wouldUpdate ? text::kSummaryWouldUpdate : text::kSummaryWouldNotUpdate);
    if (!r.profileKeptIn.empty()) {
        const bool sentence = !outcome.empty() && (outcome.back() == '.' || outcome.back() == '!');
        outcome += sentence ? " " + FillPlaceholders(text(text::kSummaryKeptSentence), r.profileKeptIn)
                            : "; " + FillPlaceholders(text(text::kSummaryKept), r.profileKeptIn);
    }
    return outcome;
}

}  // namespace

std::string AlignedColumns(const std::vector<std::vector<std::string>>& rows) {
    std::vector<std::size_t> widths;
    for (const auto& row : rows) {
        if (widths.size() < row.size()) widths.resize(row.size());
        for (std::size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], DisplayWidth(row[c]));
    }
    std::string table;
    for (const auto& row : rows) {
        for (std::size_t c = 0; c < row.size(); ++c) table += c + 1 < row.size() ? PadTo(row[c], widths[c] + 2) : row[c];
        table += "\n";
    }
    return table;
}

std::string SummaryTable(const std::vector<CableReport>& reports, const TextLookup& text) {
    std::vector<std::vector<std::string>> rows = {{text(text::kSummaryPort), text(text::kSummaryCable), text(text::kSummarySerial),
                                                   text(text::kSummaryBefore), text(text::kSummaryAfter),
                                                   text(text::kSummaryTime), text(text::kSummaryOutcome)}};
    for (const CableReport& r : reports) {
        char seconds[16];
        std::snprintf(seconds, sizeof seconds, "%.0f s", r.seconds);
        rows.push_back({r.port, r.cable.empty() ? "-" : r.cable, r.SerialText(), r.versionBefore.empty() ? "-" : r.versionBefore,
                        r.versionAfter.empty() ? "-" : r.versionAfter, seconds, OutcomeColumn(r, text)});
    }
    return AlignedColumns(rows);
}

}  // namespace verno::console
