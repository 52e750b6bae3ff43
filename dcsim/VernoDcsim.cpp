// verno-dcsim: serves a SimulatedDc on a pseudo-terminal in real time.
//   verno-dcsim [options]     prints the pty's path as its first line, then serves until
//                             SIGTERM or SIGINT, writes --memory-out and exits 0.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/signalfd.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <CLI/CLI.hpp>

#include "common/Version.h"
#include "dcsim/SimulatedDc.h"
#include "firmware/FirmwareFile.h"

namespace {

using verno::dcsim::DcConfig;
using verno::dcsim::DcFaults;
using verno::dcsim::Seconds;
using verno::dcsim::SimulatedDc;
using verno::dcsim::TraceEntry;

constexpr int kSimulatorNice = -20;

struct Options {
    DcConfig config;
    DcFaults faults;
    std::filesystem::path link;
    std::filesystem::path memoryIn;
    std::filesystem::path memoryOut;
    std::filesystem::path trace;
    std::filesystem::path firmware;
    std::optional<std::string> versionAfter;
    std::optional<int> revisionAfter;
};

struct Given {
    bool memoryBlocks = false;
    bool serial = false;
    bool profileStart = false;
    bool profileEnd = false;
};

// What the command line can say; version and faults are checked after the parse.
void AddOptions(CLI::App& app, Options& o, std::optional<std::string>& version, std::vector<std::string>& faults) {
    app.set_help_flag("-h,--help", "Print this help and exit");
    app.footer(
        "faults: silent, refuse=CMD[:N], refuse-payload=CMD[:N], lose-ack=K, power-loss=K, byte-at-a-time,\n"
        "  latency=S, garbage=N, refuse-special-writes, refuse-write=UNIT, unanswered=CMD[@UNIT],\n"
        "  corrupt-header, long-restart[=S], garble-reads=N, garble-writes=N, cable-out=S,\n"
        "  arm=CMD:N (the others from that frame on); CMD in hex");
    const auto twoCharacters = CLI::Validator(
        [](const std::string& v) { return v.size() == 2 ? std::string() : std::string("a version has two characters"); },
        "");
    app.add_option("--link", o.link, "Where the pty's path is linked")->type_name("PATH");
    app.add_option("--memory-blocks", o.config.memoryBlocks, "512 or 1024 blocks of 128 bytes")
        ->check(CLI::IsMember({512, 1024}).description(""))->type_name("N");
    app.add_option("--serial", o.config.serial, "Serial number, 0 to 999999")
        ->check(CLI::Range(0, 999999).description(""))->type_name("N");
    // "--version XY" is the DC's firmware; "--version" alone, the program's.
    app.add_option("--version", version, "The DC's firmware version (XY); alone: print the program's version")
        ->expected(0, 1)->type_name("[XY]");
    app.add_option("--revision", o.config.revision, "The DC's firmware revision, 0 to 255")->type_name("N");
    app.add_option("--model-tag", o.config.modelTag, "The model tag of its identity (default: the demo's)")->type_name("TAG");
    app.add_option("--identity", o.config.identity, "Its whole identity text, 16 characters")->type_name("TEXT");
    app.add_option("--profile-start", o.config.profileStart, "Profile start pointer, in units")->type_name("UNITS");
    app.add_option("--profile-end", o.config.profileEnd, "Profile end pointer, in units")->type_name("UNITS");
    app.add_option("--memory-in", o.memoryIn, "Memory image to start from")->type_name("FILE");
    app.add_option("--memory-out", o.memoryOut, "Where the memory is written at the end")->type_name("FILE");
    app.add_option("--firmware", o.firmware, "Firmware file whose version and revision an update brings")->type_name("FILE");
    app.add_option("--version-after", o.versionAfter, "Version after an accepted update")->check(twoCharacters)->type_name("XY");
    app.add_option("--revision-after", o.revisionAfter, "Revision after an accepted update")
        ->check(CLI::Range(0, 255).description(""))->type_name("N");
    app.add_option("--restart-seconds", o.config.restartSeconds, "How long a restart takes")
        ->check(CLI::Range(0.0, 3600.0).description(""))->type_name("S");
    app.add_option("--trace", o.trace, "Where every byte on the wire is written, with its time")->type_name("FILE");
    app.add_option("--seed", o.config.seed, "Seed of the generated memory")->type_name("N");
    app.add_option("--fault", faults, "A fault switch, NAME or NAME=ARG; may be given more than once")
        ->type_name("NAME[=ARG]");
}

// The command line; nullopt after --help or --version (exit 0) or a mistake (exit 2), with the
// status in exitStatus.
std::optional<Options> ParseOptions(int argc, char** argv, Given& given, int& exitStatus) {
    Options o;
    CLI::App app{"Serves a simulated VERNO 1B dive computer on a pseudo-terminal in real time: prints the "
                 "pty's path as its first line, then serves until SIGTERM or SIGINT, writes --memory-out and "
                 "exits 0.",
                 "verno-dcsim"};
    std::optional<std::string> version;
    std::vector<std::string> faults;
    AddOptions(app, o, version, faults);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        exitStatus = app.exit(e) == 0 ? 0 : 2;
        return std::nullopt;
    }
    if (app.count("--version") > 0 && (!version || version->empty())) {
        std::printf("verno-dcsim %s\n", verno::ProgramVersion());
        exitStatus = 0;
        return std::nullopt;
    }
    if (version) {
        if (version->size() != 2) {
            std::fprintf(stderr, "verno-dcsim: a version has two characters\n");
            exitStatus = 2;
            return std::nullopt;
        }
        o.config.version = *version;
    }
    for (const std::string& fault : faults) {
        if (!verno::dcsim::ApplyFault(fault, o.faults)) {
            std::fprintf(stderr, "verno-dcsim: unknown fault %s\n", fault.c_str());
            exitStatus = 2;
            return std::nullopt;
        }
    }
    given = {app.count("--memory-blocks") > 0, app.count("--serial") > 0, app.count("--profile-start") > 0,
             app.count("--profile-end") > 0};
    return o;
}

std::optional<std::vector<std::uint8_t>> ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

bool WriteFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out.flush());
}

// The master side of a pty, plus a slave fd of our own so that a PC closing and reopening the
// slave never leaves the master reading EIO.
struct Pty {
    int master = -1;
    int slave = -1;
    std::string path;
    ~Pty() { Close(); }
    void Close() {
        if (slave >= 0) close(slave);
        if (master >= 0) close(master);
        slave = master = -1;
    }
};

bool OpenPty(Pty& pty) {
    pty.master = posix_openpt(O_RDWR | O_NOCTTY);
    if (pty.master < 0 || grantpt(pty.master) != 0 || unlockpt(pty.master) != 0) return false;
    char name[256];
    if (ptsname_r(pty.master, name, sizeof name) != 0) return false;
    pty.path = name;
    pty.slave = open(name, O_RDWR | O_NOCTTY);
    if (pty.slave < 0) return false;
    termios tio{};
    if (tcgetattr(pty.slave, &tio) != 0) return false;
    cfmakeraw(&tio);
    cfsetispeed(&tio, B38400);
    cfsetospeed(&tio, B38400);
    if (tcsetattr(pty.slave, TCSANOW, &tio) != 0) return false;
    const int flags = fcntl(pty.master, F_GETFL);
    return flags >= 0 && fcntl(pty.master, F_SETFL, flags | O_NONBLOCK) == 0;
}

void WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;  // nobody reads: the bytes are lost, as on an open line
        data += n;
        size -= static_cast<std::size_t>(n);
    }
}

// The simulated DC stands for a device of its own, whose replies do not wait for the PC's other
// work: without this, busy processes beside it delay every paced byte it owes by milliseconds.
// Both settings are best effort; without the privilege the defaults stay.
void KeepPacingOnTime() {
    setpriority(PRIO_PROCESS, 0, kSimulatorNice);
    // The default 50 us of timer slack would make every reply late by up to that much.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
}

// The memory image and the firmware file the options name, into the model's configuration;
// 0, or the exit status of a mistake.
int LoadInputs(Options& o, const Given& given) {
    if (!o.memoryIn.empty()) {
        auto image = ReadFile(o.memoryIn);
        if (!image) {
            std::fprintf(stderr, "verno-dcsim: cannot read %s\n", o.memoryIn.c_str());
            return 1;
        }
        // A 1024-block image keeps its size unless told otherwise.
        if (!given.memoryBlocks) o.config.memoryBlocks = image->size() > 512u * 128u ? 1024 : 512;
        o.config.memory = std::move(*image);
        // Block 0 of an image is its own unless told otherwise.
        o.config.writeSerial = given.serial;
        o.config.writePointers = given.profileStart || given.profileEnd;
        if (o.config.writePointers && !(given.profileStart && given.profileEnd)) {
            std::fprintf(stderr, "verno-dcsim: with --memory-in give both --profile-start and --profile-end\n");
            return 2;
        }
    }
    if (!o.firmware.empty()) {
        const auto decoded = verno::firmware::LoadFirmwareFile(o.firmware);
        if (!decoded.ok()) {
            std::fprintf(stderr, "verno-dcsim: firmware file %s cannot be used\n", o.firmware.c_str());
            return 1;
        }
        verno::dcsim::TakeVersionFrom(decoded.image, o.config);
    }
    if (o.versionAfter) o.config.versionAfterUpdate = *o.versionAfter;
    if (o.revisionAfter) o.config.revisionAfterUpdate = static_cast<std::uint8_t>(*o.revisionAfter);
    return 0;
}

// The wire trace, one line a frame or reply; false when the file cannot be written.
bool StartTrace(SimulatedDc& dc, const std::filesystem::path& path, std::FILE*& trace) {
    if (!path.empty()) {
        trace = std::fopen(path.c_str(), "w");
        if (trace == nullptr) {
            std::fprintf(stderr, "verno-dcsim: cannot write %s\n", path.c_str());
            return false;
        }
    }
    // Time stamps are when a PC byte was read and when a reply starts on the wire.
    dc.SetTraceSink([trace](const TraceEntry& e) {
        if (trace == nullptr) return;
        std::fprintf(trace, "%.6f %s", e.time.count(), e.fromPc ? "PC>" : "DC>");
        for (const std::uint8_t b : e.bytes) std::fprintf(trace, " %02X", b);
        std::fputc('\n', trace);
        std::fflush(trace);
    });
    return true;
}

// SIGTERM and SIGINT as a descriptor to poll; -1 when that fails.
int StopSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    // Blocked, both arrive only through the fd (even when started with SIGINT ignored, as a shell
    // starts a background job: a blocked signal is queued, not discarded).
    if (sigprocmask(SIG_BLOCK, &signals, nullptr) != 0) return -1;
    return signalfd(-1, &signals, SFD_CLOEXEC);
}

// Opens the pty, links it where asked and prints its path; false after saying why not.
bool OfferPty(Pty& pty, const std::filesystem::path& link) {
    if (!OpenPty(pty)) {
        std::fprintf(stderr, "verno-dcsim: cannot open a pseudo-terminal: %s\n", std::strerror(errno));
        return false;
    }
    if (!link.empty()) {
        std::error_code ec;
        if (std::filesystem::is_symlink(link, ec)) std::filesystem::remove(link, ec);
        std::filesystem::create_symlink(pty.path, link, ec);
        if (ec) {
            std::fprintf(stderr, "verno-dcsim: cannot link %s: %s\n", link.c_str(), ec.message().c_str());
            return false;
        }
    }
    std::printf("%s\n", pty.path.c_str());
    std::fflush(stdout);
    return true;
}

// The cable drops off the computer: the pty and its link go away for that long (the PC's reads
// fail as an unplugged converter's do), then a new pty takes the link. False when a stop signal
// came meanwhile.
bool Replug(Pty& pty, const std::filesystem::path& link, double seconds, int signalFd) {
    pty.Close();
    std::error_code ec;
    if (!link.empty()) std::filesystem::remove(link, ec);
    pollfd sig{signalFd, POLLIN, 0};
    if (poll(&sig, 1, static_cast<int>(seconds * 1000)) > 0) return false;
    return OfferPty(pty, link);
}

// Bytes in, paced replies out, until a stop signal; the model's time counts from start.
void Serve(SimulatedDc& dc, Pty& pty, const std::filesystem::path& link, int signalFd,
           std::chrono::steady_clock::time_point start) {
    bool dropped = false;
    const auto now = [start] { return Seconds(std::chrono::steady_clock::now() - start); };
    std::vector<std::uint8_t> buffer(4096);
    for (;;) {
        timespec timeout{};
        timespec* wait = nullptr;  // nothing under way: sleep until a byte or a signal comes
        if (const auto next = dc.NextEvent()) {
            const double s = std::max(0.0, (*next - now()).count());
            timeout.tv_sec = static_cast<time_t>(s);
            timeout.tv_nsec = static_cast<long>((s - static_cast<double>(timeout.tv_sec)) * 1e9);
            wait = &timeout;
        }
        pollfd fds[2] = {{pty.master, POLLIN, 0}, {signalFd, POLLIN, 0}};
        if (ppoll(fds, 2, wait, nullptr) < 0 && errno != EINTR) break;
        if (fds[1].revents & POLLIN) break;
        if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
            const ssize_t n = read(pty.master, buffer.data(), buffer.size());
            if (n > 0) {
                dc.Write(now(), std::span<const std::uint8_t>(buffer.data(), static_cast<std::size_t>(n)));
            } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
                // Should not happen while we hold the slave; never turn it into a spin.
                pollfd sig{signalFd, POLLIN, 0};
                if (poll(&sig, 1, 10) > 0) break;
            }
        }
        if (const double out = dc.ActiveFaults().cableOutSeconds; out > 0 && !dropped) {
            dropped = true;
            if (!Replug(pty, link, out, signalFd)) break;
            // What was on its way when the cable went is lost with it.
            (void)dc.TakeDue(now());
            continue;
        }
        const std::vector<std::uint8_t> due = dc.TakeDue(now());
        if (dc.ActiveFaults().byteAtATime) {
            for (const std::uint8_t b : due) WriteAll(pty.master, &b, 1);
        } else if (!due.empty()) {
            WriteAll(pty.master, due.data(), due.size());
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    Given given;
    int exitStatus = 0;
    const auto parsed = ParseOptions(argc, argv, given, exitStatus);
    if (!parsed) return exitStatus;
    Options o = *parsed;
    if (const int status = LoadInputs(o, given); status != 0) return status;

    SimulatedDc dc(o.config, o.faults);
    KeepPacingOnTime();
    const auto start = std::chrono::steady_clock::now();
    std::FILE* trace = nullptr;
    if (!StartTrace(dc, o.trace, trace)) return 1;
    const int signalFd = StopSignals();
    if (signalFd < 0) return 1;
    Pty pty;
    if (!OfferPty(pty, o.link)) return 1;

    Serve(dc, pty, o.link, signalFd, start);

    int rc = 0;
    if (!o.memoryOut.empty() && !WriteFile(o.memoryOut, dc.Memory())) {
        std::fprintf(stderr, "verno-dcsim: cannot write %s\n", o.memoryOut.c_str());
        rc = 1;
    }
    if (!o.link.empty()) {
        std::error_code ec;
        std::filesystem::remove(o.link, ec);
    }
    if (trace != nullptr) std::fclose(trace);
    close(signalFd);
    return rc;
}
