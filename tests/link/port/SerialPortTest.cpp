// Real-time tests against a pseudo-terminal: the test holds the master side and plays the DC.
#include "link/port/SerialPort.h"
#include "link/port/PortLock.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "link/protocol/CommModule.h"
#include "link/protocol/MonotonicClock.h"

namespace verno::link {
namespace {

class Pty {
public:
    Pty() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
        termios raw{};
        tcgetattr(master_, &raw);
        cfmakeraw(&raw);
        tcsetattr(master_, TCSANOW, &raw);
        name_ = ptsname(master_);
    }
    ~Pty() {
        if (master_ >= 0) close(master_);
    }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    bool ok() const { return !name_.empty(); }
    // The peer goes away, as the simulated DC does when it ends.
    void CloseMaster() {
        close(master_);
        master_ = -1;
    }
    const std::string& device() const { return name_; }

    // Reads up to count bytes, giving up after timeout without input.
    std::vector<std::uint8_t> Read(std::size_t count, std::chrono::milliseconds timeout) {
        std::vector<std::uint8_t> got;
        while (got.size() < count) {
            pollfd fd{master_, POLLIN, 0};
            if (poll(&fd, 1, static_cast<int>(timeout.count())) <= 0) break;
            std::array<std::uint8_t, 256> buf{};
            const ssize_t n = read(master_, buf.data(), std::min(buf.size(), count - got.size()));
            if (n <= 0) break;
            got.insert(got.end(), buf.begin(), buf.begin() + n);
        }
        return got;
    }
    void Write(const std::vector<std::uint8_t>& bytes) {
        ASSERT_EQ(write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }

private:
    int master_ = -1;
    std::string name_;
};

std::vector<std::uint8_t> IdentityReply() {
    std::vector<std::uint8_t> reply{wire::kAck};
    for (const char c : std::string("VERNO1B FW-1A DC")) reply.push_back(static_cast<std::uint8_t>(c));
    reply.push_back(0x00);
    return reply;  // 18 bytes
}

TEST(SerialPort, ReadIdentityOverAPtyGetsTheReplyThroughThePump) {
    Pty pty;
    ASSERT_TRUE(pty.ok());
    SerialPort port;
    const PortOpenResult opened = port.Open(pty.device());
    ASSERT_TRUE(opened.opened) << opened.reason;
    SteadyClock clock;
    CommModule comm(port, clock, port);
    port.Attach(comm);

    auto peer = std::async(std::launch::async, [&pty] {
        auto request = pty.Read(2, std::chrono::milliseconds(1500));
        if (request.size() == 2) pty.Write(IdentityReply());
        // Anything more would be a resend or a stray byte.
        auto extra = pty.Read(1, std::chrono::milliseconds(300));
        request.insert(request.end(), extra.begin(), extra.end());
        return request;
    });
    const bool answered = comm.ReadIdentity() == LinkStatus::Ok;
    const std::vector<std::uint8_t> wire = peer.get();

    EXPECT_TRUE(answered);
    EXPECT_EQ(wire, (std::vector<std::uint8_t>{0x84, 0x00}));
    EXPECT_EQ(comm.Identity(), "VERNO1B FW-1A DC");
}

// CPU time over wall time of a second of pumping.
double PumpLoad(SerialPort& port, int& calls) {
    const std::clock_t cpuStart = std::clock();
    const auto wallStart = std::chrono::steady_clock::now();
    calls = 0;
    while (std::chrono::steady_clock::now() - wallStart < std::chrono::seconds(1)) {
        port.RunPending();
        ++calls;
    }
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    const double cpu = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    return cpu / wall;
}

TEST(SerialPort, PumpWithASilentOrVanishedPeerDoesNotSpin) {
    Pty pty;
    ASSERT_TRUE(pty.ok());
    SerialPort port;
    ASSERT_TRUE(port.Open(pty.device()).opened);
    int calls = 0;
    EXPECT_LT(PumpLoad(port, calls), 0.2) << calls << " calls";
    EXPECT_GT(calls, 100);  // still responsive: the wait is bounded

    pty.CloseMaster();  // every wait on the port now returns at once
    EXPECT_LT(PumpLoad(port, calls), 0.2) << calls << " calls";
}

TEST(SerialPort, ClearDiscardsBytesNotYetDelivered) {
    Pty pty;
    ASSERT_TRUE(pty.ok());
    SerialPort port;
    ASSERT_TRUE(port.Open(pty.device()).opened);
    SteadyClock clock;
    CommModule comm(port, clock, port);
    port.Attach(comm);

    // Stray bytes wait in the driver; the identity read clears the port before its frame, so
    // the reply is read from its first byte and the later bytes still arrive.
    pty.Write({0x11, 0x22, 0x33});
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    auto peer = std::async(std::launch::async, [&pty] {
        if (pty.Read(2, std::chrono::milliseconds(1500)).size() == 2) pty.Write(IdentityReply());
    });
    EXPECT_EQ(comm.ReadIdentity(), LinkStatus::Ok);
    peer.get();
    EXPECT_EQ(comm.Identity(), "VERNO1B FW-1A DC");
}

TEST(SerialPort, FailuresAreValues) {
    SerialPort port;
    const std::array<std::uint8_t, 2> frame{0x84, 0x00};
    EXPECT_EQ(port.Write(frame), PortResult::NotOpen);
    port.Clear();
    port.RunPending();  // no port: returns after a short wait

    const PortOpenResult missing = port.Open("/dev/verno-no-such-device");
    EXPECT_FALSE(missing.opened);
    EXPECT_FALSE(missing.reason.empty());
    EXPECT_EQ(missing.error, PortOpenError::Missing);
    EXPECT_FALSE(port.IsOpen());
}

TEST(SerialPort, TellsAPortInUseAndAFileThatIsNoSerialDeviceApart) {
    Pty pty;
    ASSERT_TRUE(pty.ok());
    SerialPort holder;
    ASSERT_TRUE(holder.Open(pty.device()).opened);
    SerialPort second;
    const PortOpenResult held = second.Open(pty.device());
    EXPECT_FALSE(held.opened);
    EXPECT_EQ(held.error, PortOpenError::InUse) << held.reason;

    const std::string plain = testing::TempDir() + "verno-not-a-port";
    std::fclose(std::fopen(plain.c_str(), "w"));
    EXPECT_EQ(second.Open(plain).error, PortOpenError::NotSerial);
    std::remove(plain.c_str());
    EXPECT_EQ(second.Open("/dev/null").error, PortOpenError::NotSerial);
}

// The id of a process that has ended.
pid_t EndedProcess() {
    const pid_t child = fork();
    if (child == 0) _exit(0);
    waitpid(child, nullptr, 0);
    return child;
}

TEST(PortLock, ALockFileWhoseOwnerHasEndedIsNamedAsStale) {
    const std::filesystem::path folder = std::filesystem::path(testing::TempDir()) / "verno-locks";
    std::filesystem::create_directories(folder);
    const std::array<std::filesystem::path, 1> folders{folder};
    EXPECT_EQ(LockFileName("/dev/pts/3"), "LCK..pts_3");
    const std::filesystem::path lock = folder / "LCK..ttyUSB7";
    EXPECT_EQ(StaleLockFile("/dev/ttyUSB7", folders), std::nullopt);  // no lock at all

    struct Case {
        std::string content;
        bool stale;
    };
    const pid_t ended = EndedProcess();
    const std::int32_t binaryPid = ended;
    const Case cases[] = {
        {std::to_string(ended) + "\nFirmwareUpdate\nbench\n", true},                  // QLockFile's form
        {std::string(10 - std::to_string(ended).size(), ' ') + std::to_string(ended) + "\n", true},  // uucp's
        {std::string(reinterpret_cast<const char*>(&binaryPid), 4), true},                // uucp's binary
        {std::to_string(getpid()) + "\nverno\nbench\n", false},                         // its owner runs
        {"garbage", false},                                                               // cannot be told
    };
    for (const Case& c : cases) {
        std::ofstream(lock, std::ios::binary | std::ios::trunc) << c.content;
        EXPECT_EQ(StaleLockFile("/dev/ttyUSB7", folders), c.stale ? std::optional(lock) : std::nullopt) << c.content;
    }
    std::filesystem::remove_all(folder);
}

TEST(SerialPort, OpensThroughASymlinkAsThePtyItNames) {
    Pty pty;
    ASSERT_TRUE(pty.ok());
    const std::string link = testing::TempDir() + "verno-port-link";
    unlink(link.c_str());
    ASSERT_EQ(symlink(pty.device().c_str(), link.c_str()), 0);
    SerialPort port;
    const PortOpenResult opened = port.Open(link);
    unlink(link.c_str());
    ASSERT_TRUE(opened.opened) << opened.reason;
    const std::array<std::uint8_t, 3> frame{0xBA, 0x01, 0x00};
    EXPECT_EQ(port.Write(frame), PortResult::Ok);
    EXPECT_EQ(pty.Read(3, std::chrono::milliseconds(500)), (std::vector<std::uint8_t>{0xBA, 0x01, 0x00}));
}

}  // namespace
}  // namespace verno::link
