#include "console/CableProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <system_error>

namespace verno::console {

struct CableProcesses::System {
    struct Child {
        pid_t pid = -1;
        int out = -1;
        int err = -1;
    };
    std::vector<Child> children;
};

CableProcesses::CableProcesses() : system_(std::make_unique<System>()) {}

CableProcesses::~CableProcesses() {
    for (const System::Child& child : system_->children)
        for (const int fd : {child.out, child.err})
            if (fd >= 0) close(fd);
}

std::optional<std::size_t> CableProcesses::Start(const std::vector<std::string>& args, std::string& reason) {
    // Everything the child needs is made before the fork: after it only system calls run.
    static char self[] = "/proc/self/exe";
    std::vector<char*> argv = {self};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    int out[2];
    int err[2];
    if (pipe2(out, O_CLOEXEC) != 0) {
        reason = std::generic_category().message(errno);
        return std::nullopt;
    }
    if (pipe2(err, O_CLOEXEC) != 0) {
        reason = std::generic_category().message(errno);
        close(out[0]);
        close(out[1]);
        return std::nullopt;
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
    const int forkError = errno;
    close(out[1]);
    close(err[1]);
    if (pid < 0) {
        reason = std::generic_category().message(forkError);
        close(out[0]);
        close(err[0]);
        return std::nullopt;
    }
    system_->children.push_back({pid, out[0], err[0]});
    return system_->children.size() - 1;
}

bool CableProcesses::PassOnClose() {
    for (const System::Child& child : system_->children) kill(child.pid, SIGINT);
    return true;
}

std::vector<ProcessOutput> CableProcesses::Wait(std::chrono::milliseconds limit) {
    std::vector<pollfd> fds;
    std::vector<ProcessOutput> owners;  // the process and stream of each entry of fds
    for (std::size_t i = 0; i < system_->children.size(); ++i) {
        const System::Child& child = system_->children[i];
        if (child.out >= 0) {
            fds.push_back({child.out, POLLIN, 0});
            owners.push_back({i, false, {}});
        }
        if (child.err >= 0) {
            fds.push_back({child.err, POLLIN, 0});
            owners.push_back({i, true, {}});
        }
    }
    std::vector<ProcessOutput> came;
    if (poll(fds.data(), fds.size(), static_cast<int>(limit.count())) <= 0) return came;
    for (std::size_t i = 0; i < fds.size(); ++i) {
        if (fds[i].revents == 0) continue;
        char buffer[4096];
        const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        ProcessOutput piece = owners[i];
        if (n > 0) {
            piece.bytes.assign(buffer, static_cast<std::size_t>(n));
        } else {
            System::Child& child = system_->children[piece.process];
            close(fds[i].fd);
            (piece.error ? child.err : child.out) = -1;
        }
        came.push_back(std::move(piece));
    }
    return came;
}

ProcessEnd CableProcesses::Reap(std::size_t process) {
    int status = 0;
    while (waitpid(system_->children.at(process).pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFSIGNALED(status)) return {0, WTERMSIG(status)};
    return {WEXITSTATUS(status), 0};
}

}  // namespace verno::console
