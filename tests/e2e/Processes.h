#pragma once
// Starting the bundle's programs from a test: verno-dcsim in the background, verno-update to the end.

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace verno::e2e {

// In the child: the environment's additions, then the program; never returns.
[[noreturn]] inline void Exec(const std::vector<std::string>& argv, const std::vector<std::string>& environment) {
    for (const auto& e : environment) putenv(const_cast<char*>(e.c_str()));
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
}

inline pid_t Spawn(const std::vector<std::string>& argv, const std::filesystem::path& output,
                   const std::vector<std::string>& environment = {}) {
    const pid_t pid = fork();
    if (pid == 0) {
        FILE* out = std::fopen(output.c_str(), "w");
        if (out) {
            dup2(fileno(out), STDOUT_FILENO);
            dup2(fileno(out), STDERR_FILENO);
        }
        std::FILE* devnull = std::fopen("/dev/null", "r");
        if (devnull) dup2(fileno(devnull), STDIN_FILENO);
        Exec(argv, environment);
    }
    return pid;
}

// Starts argv with a pseudo-terminal of 200 columns as its standard output and error; master
// is the test's end of it.
inline pid_t SpawnOnTerminal(const std::vector<std::string>& argv, int& master,
                             const std::vector<std::string>& environment = {}) {
    master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return -1;
    winsize size{};
    size.ws_row = 50;
    size.ws_col = 200;
    ioctl(master, TIOCSWINSZ, &size);
    const std::string terminal = ptsname(master);
    const pid_t pid = fork();
    if (pid == 0) {
        setsid();
        const int slave = open(terminal.c_str(), O_RDWR);
        const int nothing = open("/dev/null", O_RDONLY);
        if (slave < 0 || nothing < 0) _exit(127);
        dup2(nothing, STDIN_FILENO);
        dup2(slave, STDOUT_FILENO);
        dup2(slave, STDERR_FILENO);
        Exec(argv, environment);
    }
    return pid;
}

// Everything the program started by SpawnOnTerminal writes until it ends, without the carriage
// returns the terminal adds; its exit status goes to status.
inline std::string ReadTerminalToTheEnd(pid_t pid, int master, int& status) {
    std::string text;
    char buffer[4096];
    for (;;) {
        pollfd ready{master, POLLIN, 0};
        if (poll(&ready, 1, 100) > 0) {
            const ssize_t n = read(master, buffer, sizeof buffer);
            if (n > 0) {
                text.append(buffer, static_cast<std::size_t>(n));
                continue;
            }
        }
        int raw = 0;
        if (waitpid(pid, &raw, WNOHANG) == pid) {
            status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
            break;
        }
    }
    pollfd rest{master, POLLIN, 0};
    for (ssize_t n; poll(&rest, 1, 0) > 0 && (n = read(master, buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<std::size_t>(n));
    close(master);
    std::erase(text, '\r');
    return text;
}

inline int Wait(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

inline bool WaitForPath(const std::filesystem::path& path, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        std::error_code ec;
        if (std::filesystem::exists(path, ec)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

inline std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::string ReadText(const std::filesystem::path& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace verno::e2e
