#pragma once
// The bench's processes, one per cable, where the systems differ: this same program started
// again with a cable's arguments, in a process group of its own, its standard output and error
// read through pipes, Close passed on to it, and how it ended. Linux: fork and exec, poll, SIGINT.
// Windows: CreateProcessW, a reader thread per pipe feeding one queue, Ctrl-Break.

#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace verno::console {

// How a process ended: its exit code, or the signal that ended it (POSIX only).
struct ProcessEnd {
    long long exitCode = 0;
    int signal = 0;  // 0: it exited
};

// A piece of what a process wrote, as it came; empty bytes: that stream has ended.
struct ProcessOutput {
    std::size_t process = 0;
    bool error = false;  // standard error, else standard output
    std::string bytes;
};

class CableProcesses {
public:
    CableProcesses();
    // Waits for the readers; call Reap for every process first.
    ~CableProcesses();
    CableProcesses(const CableProcesses&) = delete;
    CableProcesses& operator=(const CableProcesses&) = delete;

    // Starts this program with args (its input empty); the process's number, or nullopt with the
    // system's reason.
    std::optional<std::size_t> Start(const std::vector<std::string>& args, std::string& reason);
    // Passes Close on to every process; false when some could not be told.
    bool PassOnClose();
    // What the processes wrote, waiting at most limit for the first piece (not busily).
    std::vector<ProcessOutput> Wait(std::chrono::milliseconds limit);
    // Waits for the process to end.
    ProcessEnd Reap(std::size_t process);

private:
    struct System;
    std::unique_ptr<System> system_;
};

}  // namespace verno::console
