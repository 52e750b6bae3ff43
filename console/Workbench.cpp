#include "console/Workbench.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <functional>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "console/CableReport.h"
#include "console/ConsoleView.h"
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
std::string HowItEnded(int status) {
    if (WIFSIGNALED(status)) return "its process was killed by signal " + std::to_string(WTERMSIG(status));
    return "its process ended with status " + std::to_string(WEXITSTATUS(status)) + " and no result";
}

char IconLetterNamed(const std::string& name) {
    for (const TaskIcon icon : {TaskIcon::Information, TaskIcon::Warning, TaskIcon::Error})
        if (name == IconName(icon)) return IconLetter(icon);
    return '?';
}

// One line the cable's process wrote on its standard output.
void TakeLine(Cable& cable, const std::string& line, bool json) {
    const nlohmann::json object = nlohmann::json::parse(line, nullptr, false);
    if (object.is_discarded() || !object.is_object()) return;
    const std::string type = object.value("type", "");
    if (type == "result") cable.report = CableReport::FromJson(object);
    if (json) {
        std::cout << line << "\n" << std::flush;
        return;
    }
    if (type != "row") return;
    std::string text = object.value("time", "") + "  " + cable.port + "  " +
                       (object.contains("serial") ? object["serial"].get<std::string>() : std::string("-")) + "  " +
                       IconLetterNamed(object.value("icon", "")) + "  " + object.value("event", "");
    if (const std::string status = object.value("status", ""); !status.empty()) text += "  " + status;
    std::cout << text << "\n" << std::flush;
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

}  // namespace

void RequestWorkbenchStop(int signal) {
    stopRequested = 1;
    stopSignal = signal;
}

int RunWorkbench(const Options& options) {
    const std::vector<std::string> ports = options.all ? link::FindCablePorts() : options.ports;
    if (ports.empty()) {
        std::cerr << "verno-update: no interface cable (USB 0403:F460) is attached. Plug the cables in, or name "
                     "their ports with --port.\n";
        return 2;
    }
    std::vector<Cable> cables(ports.size());
    for (std::size_t i = 0; i < ports.size(); ++i) {
        cables[i].port = ports[i];
        cables[i].pid = Start(cables[i], OneCableArguments(options, ports[i]));
        if (cables[i].pid < 0) {
            std::cerr << "verno-update: cannot start the run for " << ports[i] << "\n";
            cables[i].report = CableReport::Failed(ports[i], "not started");
        }
    }

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
        // The timeout bounds how late a stop that came just before the wait is passed on.
        if (poll(fds.data(), fds.size(), 200) <= 0) continue;
        for (std::size_t i = 0; i < fds.size(); ++i) {
            if (fds[i].revents == 0) continue;
            Cable& cable = *owners[i].first;
            if (owners[i].second) {
                if (!Drain(cable.out, cable.outPending, [&](const std::string& line) { TakeLine(cable, line, options.json); })) {
                    close(cable.out);
                    cable.out = -1;
                }
            } else if (!Drain(cable.err, cable.errPending,
                              [&](const std::string& line) {
                                  if (!line.empty()) std::cerr << cable.port << ": " << line << "\n";
                              })) {
                close(cable.err);
                cable.err = -1;
            }
        }
    }

    std::vector<CableReport> reports;
    int worst = 0;  // the cables' own exit statuses: a start-up failure (2) outranks a failed update
    for (Cable& cable : cables) {
        int status = 0;
        if (cable.pid > 0)
            while (waitpid(cable.pid, &status, 0) < 0 && errno == EINTR) {
            }
        if (!cable.report) cable.report = CableReport::Failed(cable.port, HowItEnded(status));
        const int exit = WIFEXITED(status) ? WEXITSTATUS(status) : 1;
        worst = std::max(worst, cable.report->Succeeded() ? 0 : std::clamp(exit, 1, 2));
        reports.push_back(*cable.report);
    }
    if (!options.json) std::cout << "\n" << SummaryTable(reports) << std::flush;
    // Interrupted: what a shell expects of a command ended by that signal.
    return stopSignal != 0 ? 128 + stopSignal : worst;
}

}  // namespace verno::console
