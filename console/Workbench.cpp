#include "console/Workbench.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "console/CableProcess.h"
#include "console/CableReport.h"
#include "console/CloseRequest.h"
#include "console/ConsoleTexts.h"
#include "console/ConsoleView.h"
#include "console/Terminal.h"
#include "common/Text.h"
#include "common/TextNumbers.h"
#include "host/SystemHost.h"
#include "link/port/FindInterfacePort.h"

namespace verno::console {

namespace {

// One cable's process and what it has said so far.
struct Cable {
    std::string port;
    std::optional<std::size_t> process;
    bool outOpen = false;  // its JSON lines
    bool errOpen = false;  // its messages for people
    std::string outPending;
    std::string errPending;
    std::optional<CableReport> report;
    // Its live line: the DC's serial once known, the step that runs and its status.
    std::string serial = "-";
    std::string step;
    std::string status;
    std::chrono::steady_clock::time_point started;  // the bench's start, the same for every cable
    std::optional<std::chrono::steady_clock::time_point> ended;
};

// How a cable's process ended, when it said nothing of its own.
std::string HowItEnded(const ProcessEnd& end, const ConsoleTexts& text) {
    if (end.signal != 0) return FillPlaceholders(text(text::kBenchKilled), std::to_string(end.signal));
    return FillPlaceholders(text(text::kBenchNoResult), std::to_string(end.exitCode));
}

char IconLetterNamed(const std::string& name) {
    for (const TaskIcon icon : {TaskIcon::Information, TaskIcon::Warning, TaskIcon::Error})
        if (name == IconName(icon)) return IconLetter(icon);
    return '?';
}

// A row of a cable as text: its time of day, the cable, the row.
std::string RowText(const Cable& cable, const nlohmann::json& object) {
    const std::string iso = object.value("time", "");
    // The time of day of an ISO 8601 time: 2026-12-08T10:41:07+01:00.
    std::string text = (iso.size() >= 19 ? iso.substr(11, 8) : iso) + "  " + cable.port + "  " + cable.serial + "  " +
                       IconLetterNamed(object.value("level", "")) + "  " + object.value("event", "");
    if (const std::string status = object.value("status", ""); !status.empty()) text += "  " + status;
    return text;
}

// One line the cable's process wrote on its standard output; returns the text to print, if any.
std::optional<std::string> TakeLine(Cable& cable, const std::string& line, bool json, bool live) {
    const nlohmann::json object = nlohmann::json::parse(line, nullptr, false);
    if (object.is_discarded() || !object.is_object()) return std::nullopt;
    const std::string type = object.value("type", "");
    if (type == "result") cable.report = CableReport::FromJson(object);
    if (json) return line;
    if (object.contains("serial") && object["serial"].is_string()) cable.serial = object["serial"].get<std::string>();
    if (type != "row" && type != "progress") return std::nullopt;
    const std::string event = object.value("event", "");
    const bool newStep = event != cable.step;
    cable.step = event;
    cable.status = object.value("status", "");
    // Finished rows always; off a terminal also the start of each step, so no step passes unseen.
    if (type == "row" || (newStep && !live)) return RowText(cable, object);
    return std::nullopt;
}

// A piece of a stream: each line it completes goes to line (without its end); at the stream's
// end (no bytes) the unfinished rest too. False at the end.
bool Take(const std::string& bytes, std::string& pending, const std::function<void(const std::string&)>& line) {
    if (bytes.empty()) {
        if (!pending.empty()) line(pending);
        pending.clear();
        return false;
    }
    pending += bytes;
    for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
        // A process on Windows ends its lines with CR LF.
        line(pending.substr(0, end > 0 && pending[end - 1] == '\r' ? end - 1 : end));
        pending.erase(0, end + 1);
    }
    return true;
}

// text cut to at most columns characters, never inside a UTF-8 sequence.
std::string CutTo(const std::string& text, std::size_t columns) {
    std::size_t width = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
        if (++width > columns) return text.substr(0, i);
    }
    return text;
}

// A line per cable at the bottom of a terminal, redrawn in place: port, serial, time, step,
// status. Anything else is printed above it.
class LiveLines {
public:
    LiveLines(bool enabled, std::chrono::steady_clock::time_point start) : enabled_(enabled), start_(start) {}

    // Takes the lines away, before anything else is printed.
    void Clear() {
        if (drawn_ > 0) std::cout << "\x1b[" << drawn_ << "A\r\x1b[J" << std::flush;
        drawn_ = 0;
    }
    // Draws them again when something changed or the next second has begun: the times show life.
    void Draw(const std::vector<Cable>& cables, bool changed) {
        const auto now = std::chrono::steady_clock::now();
        const auto second = std::chrono::duration_cast<std::chrono::seconds>(now - start_);
        if (!enabled_ || (!changed && drawn_ > 0 && second == lastSecond_)) return;
        Clear();
        // Cut to the terminal's width: a live line that wrapped would break the redraw.
        const std::size_t columns = TerminalColumns(STDOUT_FILENO) - 1;
        for (const Cable& cable : cables) {
            const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(cable.ended.value_or(now) - cable.started);
            std::string line = cable.port + "  " + cable.serial + "  " + std::to_string(seconds.count()) + " s  " + cable.step;
            if (!cable.status.empty()) line += "  " + cable.status;
            std::cout << CutTo(line, columns) << "\n";
        }
        std::cout << std::flush;
        drawn_ = static_cast<int>(cables.size());
        lastSecond_ = second;
    }
    bool Enabled() const { return enabled_; }

private:
    bool enabled_;
    std::chrono::steady_clock::time_point start_;
    int drawn_ = 0;
    std::chrono::seconds lastSecond_{-1};
};

void StartCables(std::vector<Cable>& cables, CableProcesses& processes, const std::vector<std::string>& ports,
                 const Options& options, const ConsoleTexts& text, std::chrono::steady_clock::time_point start) {
    for (std::size_t i = 0; i < ports.size(); ++i) {
        cables[i].port = ports[i];
        cables[i].started = start;
        std::string reason;
        cables[i].process = processes.Start(OneCableArguments(options, ports[i]), reason);
        cables[i].outOpen = cables[i].errOpen = cables[i].process.has_value();
        if (!cables[i].process) {
            std::cerr << "verno-update: " << FillPlaceholders(text(text::kBenchNotStarted), ports[i], reason) << "\n";
            cables[i].report = CableReport::Failed(ports[i], text(text::kBenchNotStartedReason));
        }
    }
}

// Passes a Close request on to the cables' processes, unless the console told them already.
void PassOnClose(CableProcesses& processes) {
    if (!TakeCloseRequest() || CloseWasConsoleWide() || processes.PassOnClose()) return;
    std::cerr << "verno-update: Close could not be passed on to the cables' processes from here: each runs to its "
                 "end; wait for the summary.\n";
}

// One piece of a cable's output or error: its lines printed, the end of the stream noted.
void TakeOutput(Cable& cable, const ProcessOutput& piece, const Options& options, LiveLines& live) {
    const auto print = [&](std::ostream& to, const std::string& text) {
        live.Clear();
        to << text << "\n" << std::flush;
    };
    if (piece.error) {
        cable.errOpen = Take(piece.bytes, cable.errPending, [&](const std::string& line) {
            if (!line.empty()) print(std::cerr, cable.port + ": " + line);
        });
    } else {
        cable.outOpen = Take(piece.bytes, cable.outPending, [&](const std::string& line) {
            if (const auto text = TakeLine(cable, line, options.json, live.Enabled())) print(std::cout, *text);
        });
    }
    if (!cable.outOpen && !cable.errOpen) cable.ended = std::chrono::steady_clock::now();
}

// Reads what the cable's processes said until every one has closed its output.
void Follow(std::vector<Cable>& cables, CableProcesses& processes, const Options& options, LiveLines& live) {
    std::vector<Cable*> cableOf;  // by process number
    for (Cable& cable : cables)
        if (cable.process) cableOf.push_back(&cable);
    const auto open = [](const Cable& c) { return c.outOpen || c.errOpen; };
    while (std::any_of(cables.begin(), cables.end(), open)) {
        PassOnClose(processes);
        // The limit bounds how late a stop that came just before the wait is passed on, and
        // how late the live lines count the next second.
        const std::vector<ProcessOutput> came = processes.Wait(std::chrono::milliseconds(200));
        for (const ProcessOutput& piece : came) TakeOutput(*cableOf.at(piece.process), piece, options, live);
        live.Draw(cables, !came.empty());
    }
}

}  // namespace

int RunWorkbench(const Options& options) {
    host::SystemHost host;
    const ConsoleTexts text(host);
    if (!text.Ok()) {
        std::cerr << "verno-update: the language catalogue " << text.File().string() << " cannot be used\n";
        return 2;
    }
    const std::vector<std::string> ports = options.all ? link::FindCablePorts() : options.ports;
    if (ports.empty()) {
        std::cerr << "verno-update: " << text(text::kBenchNoCable) << "\n";
        return 2;
    }
    std::vector<Cable> cables(ports.size());
    const auto start = std::chrono::steady_clock::now();
    CableProcesses processes;
    StartCables(cables, processes, ports, options, text, start);
    LiveLines live(!options.json && DrawsInPlace(STDOUT_FILENO), start);
    Follow(cables, processes, options, live);
    live.Clear();

    std::vector<CableReport> reports;
    int worst = 0;  // the cables' own exit statuses: a start-up failure (2) outranks a failed update
    for (Cable& cable : cables) {
        const ProcessEnd end = cable.process ? processes.Reap(*cable.process) : ProcessEnd{};
        if (!cable.report) cable.report = CableReport::Failed(cable.port, HowItEnded(end, text));
        // Ended by a signal, or by the system with a code of its own (Windows): a failure.
        const int exit = end.signal == 0 && end.exitCode >= 0 && end.exitCode <= 255 ? static_cast<int>(end.exitCode) : 1;
        worst = std::max(worst, cable.report->Succeeded() ? 0 : std::clamp(exit, 1, 2));
        reports.push_back(*cable.report);
    }
    if (!options.json) std::cout << "\n" << SummaryTable(reports, text.Lookup()) << std::flush;
    // Interrupted: what a shell expects of a command ended by that signal.
    return CloseSignal() != 0 ? 128 + CloseSignal() : worst;
}

}  // namespace verno::console
