#pragma once
// How one cable's run ended: the result line of --json, the support log's last lines and a row
// of a many-cable run's summary.

#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "console/ConsoleTexts.h"

namespace verno::console {

struct CableReport {
    std::string port;
    std::string cable;          // the converter's serial number, where it has one
    std::optional<int> serial;  // once block 0 was read
    std::string versionBefore;  // what the DC ran when it was met
    std::string versionAfter;   // what it runs now
    // "updated", "no update needed", "checked", "restored", "failed": stable, for machines.
    std::string outcome;
    std::string reason;         // why it failed
    std::string profileKeptIn;  // the file the profile waits in: for the next update, or to be written again
    // Every file with a profile that the run left on disk, and why (profile::KeptWhyName).
    struct Kept {
        std::string file;
        std::string why;
        bool operator==(const Kept&) const = default;
    };
    std::vector<Kept> kept;
    double seconds = 0;

    // --check only.
    std::optional<bool> wouldUpdate;
    std::optional<int> profileBlocks;
    std::optional<int> revision;

    bool Succeeded() const { return outcome != "failed"; }
    // The serial number as the backup files write it, "004711"; "-" while unknown.
    std::string SerialText() const;

    static CableReport Failed(std::string port, std::string reason);
    nlohmann::ordered_json ToJson() const;
    static CableReport FromJson(const nlohmann::json& line);
};

// The summary of a many-cable run: a heading and a line per cable, aligned by display width.
std::string SummaryTable(const std::vector<CableReport>& reports, const TextLookup& text);

// Rows of cells as lines, each column but the last padded to its widest cell and two spaces.
std::string AlignedColumns(const std::vector<std::vector<std::string>>& rows);

}  // namespace verno::console
