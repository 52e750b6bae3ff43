#include "console/Workbench.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <functional>
#include <iostream>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include <nlohmann/json.hpp>

#include "console/CableReport.h"
#include "console/ConsoleTexts.h"
#include "console/ConsoleView.h"
#include "common/Text.h"
#include "common/TextNumbers.h"
#include "host/SystemHost.h"
#include "link/port/FindInterfacePort.h"

namespace verno::console {

namespace {

volatile std::sig_atomic_t stopRequested = 0;
volatile std::sig_atomic_t stopSignal = 0;

// One cable's process and what it has said so far.
struct Cable {
    std::string port;
    pid_t pid = -1;
    int out = -1;  // its JSON lines
    int err = -1;  // its messages for people
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

pid_t Start(Cable& cable, const std::vector<std::string>& args) {
    // Everything the child needs is made before the fork: after it only system calls run.
    static char self[] = "/proc/self/exe";
    std::vector<char*> argv = {self};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    int out[2];
    int err[2];
    if (pipe2(out, O_CLOEXEC) != 0) return -1;
    if (pipe2(err, O_CLOEXEC) != 0) {
        close(out[0]);
        close(out[1]);
        return -1;
    }
    const pid_t pid = fork();
    if (pid == 0) {
        // A group of its own: Ctrl-C on the terminal reaches this program, which passes it on once.
        setpgid(0, 0);
        const int nothing = open("/dev/null", O_RDONLY | O_CLOEXEC);
        dup2(nothing, STDIN_FILENO);
        dup2(out[1], STDOUT_FILENO);
        dup2(err[1], STDERR_FILENO);
        execv(self, argv.data());
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    if (pid < 0) {
        close(out[0]);
        close(err[0]);
        return -1;
    }
    cable.out = out[0];
    cable.err = err[0];
    return pid;
}

// How a cable's process ended, when it said nothing of its own.
std::string HowItEnded(int status, const ConsoleTexts& text) {
    if (WIFSIGNALED(status)) return FillPlaceholders(text(text::kBenchKilled), std::to_string(WTERMSIG(status)));
    return FillPlaceholders(text(text::kBenchNoResult), std::to_string(WEXITSTATUS(status)));
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

// Reads what is there; false at the end of the stream.
bool Drain(int fd, std::string& pending, const std::function<void(const std::string&)>& line) {
    char buffer[4096];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) return true;
    if (n <= 0) {
        if (!pending.empty()) line(pending);
        pending.clear();
        return false;
    }
    pending.append(buffer, static_cast<std::size_t>(n));
    for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
        line(pending.substr(0, end));
        pending.erase(0, end + 1);
    }
    return true;
}

// The columns of the terminal, so that a live line never wraps (which would break the redraw).
std::size_t TerminalColumns() {
    winsize size{};
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 1) return size.ws_col;
    return 80;
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
        const std::size_t columns = TerminalColumns() - 1;
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

void StartCables(std::vector<Cable>& cables, const std::vector<std::string>& ports, const Options& options,
                 const ConsoleTexts& text, std::chrono::steady_clock::time_point start) {
    for (std::size_t i = 0; i < ports.size(); ++i) {
        cables[i].port = ports[i];
        cables[i].started = start;
        cables[i].pid = Start(cables[i], OneCableArguments(options, ports[i]));
        if (cables[i].pid < 0) {
            const std::string reason = std::generic_category().message(errno);
            std::cerr << "verno-update: " << FillPlaceholders(text(text::kBenchNotStarted), ports[i], reason) << "\n";
            cables[i].report = CableReport::Failed(ports[i], text(text::kBenchNotStartedReason));
        }
    }
}

// Reads what the cable's processes said until every one has closed its output.
void Follow(std::vector<Cable>& cables, const Options& options, LiveLines& live) {
    for (;;) {
        if (stopRequested) {
            stopRequested = 0;
            for (const Cable& cable : cables)
                if (cable.pid > 0) kill(cable.pid, SIGINT);
        }
        std::vector<pollfd> fds;
        std::vector<std::pair<Cable*, bool>> owners;  // the cable, and whether it is its output
        for (Cable& cable : cables) {
            if (cable.out >= 0) {
                fds.push_back({cable.out, POLLIN, 0});
                owners.emplace_back(&cable, true);
            }
            if (cable.err >= 0) {
                fds.push_back({cable.err, POLLIN, 0});
                owners.emplace_back(&cable, false);
            }
        }
        if (fds.empty()) break;
        // The timeout bounds how late a stop that came just before the wait is passed on, and
        // how late the live lines count the next second.
        const bool ready = poll(fds.data(), fds.size(), 200) > 0;
        bool changed = false;
        for (std::size_t i = 0; ready && i < fds.size(); ++i) {
            if (fds[i].revents == 0) continue;
            changed = true;
            Cable& cable = *owners[i].first;
            const auto print = [&](std::ostream& to, const std::string& text) {
                live.Clear();
                to << text << "\n" << std::flush;
            };
            int& fd = owners[i].second ? cable.out : cable.err;
            const bool open = owners[i].second
                ? Drain(fd, cable.outPending, [&](const std::string& line) {
                      if (const auto text = TakeLine(cable, line, options.json, live.Enabled())) print(std::cout, *text);
                  })
                : Drain(fd, cable.errPending, [&](const std::string& line) {
                      if (!line.empty()) print(std::cerr, cable.port + ": " + line);
                  });
            if (!open) {
                close(fd);
                fd = -1;
                if (cable.out < 0 && cable.err < 0) cable.ended = std::chrono::steady_clock::now();
            }
        }
        live.Draw(cables, changed);
    }
}

}  // namespace

void RequestWorkbenchStop(int signal) {
    stopRequested = 1;
    stopSignal = signal;
}

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
    StartCables(cables, ports, options, text, start);
    LiveLines live(!options.json && DrawsInPlace(STDOUT_FILENO), start);
    Follow(cables, options, live);
    live.Clear();

    std::vector<CableReport> reports;
    int worst = 0;  // the cables' own exit statuses: a start-up failure (2) outranks a failed update
    for (Cable& cable : cables) {
        int status = 0;
        if (cable.pid > 0)
            while (waitpid(cable.pid, &status, 0) < 0 && errno == EINTR) {
            }
        if (!cable.report) cable.report = CableReport::Failed(cable.port, HowItEnded(status, text));
        const int exit = WIFEXITED(status) ? WEXITSTATUS(status) : 1;
        worst = std::max(worst, cable.report->Succeeded() ? 0 : std::clamp(exit, 1, 2));
        reports.push_back(*cable.report);
    }
    if (!options.json) std::cout << "\n" << SummaryTable(reports, text.Lookup()) << std::flush;
    // Interrupted: what a shell expects of a command ended by that signal.
    return stopSignal != 0 ? 128 + stopSignal : worst;
}

}  // namespace verno::console
