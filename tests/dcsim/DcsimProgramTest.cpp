#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Reads until `count` bytes or the deadline; returns what arrived.
std::vector<std::uint8_t> ReadFor(int fd, std::size_t count, std::chrono::milliseconds limit) {
    std::vector<std::uint8_t> got;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (got.size() < count) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
        std::uint8_t buffer[64];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) break;
        got.insert(got.end(), buffer, buffer + n);
    }
    return got;
}

// Waits up to two seconds for the program to exit; kills it if it does not.
bool ExitedWithin2s(pid_t pid, int& status) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (std::chrono::steady_clock::now() < deadline) {
        if (::waitpid(pid, &status, WNOHANG) == pid) return true;
        ::poll(nullptr, 0, 10);
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    return false;
}

struct Started {
    pid_t pid = -1;
    int out = -1;  // the program's standard output
};

// Starts verno-dcsim with `args`; `ignoreSigint` starts it as a shell starts a background job.
Started StartDcsim(const std::vector<std::string>& args, bool ignoreSigint = false) {
    std::vector<char*> argv{const_cast<char*>("verno-dcsim")};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    int out[2];
    if (::pipe(out) != 0) return {};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::close(out[0]);
        if (ignoreSigint) ::signal(SIGINT, SIG_IGN);
        ::execv(VERNO_DCSIM_PATH, argv.data());
        ::_exit(127);
    }
    ::close(out[1]);
    return {pid, out[0]};
}

// Field 19 of /proc/PID/stat, after the command name in parentheses.
int NiceOf(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), {});
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string field;
    for (int i = 3; i <= 19 && fields >> field; ++i) {
    }
    return std::stoi(field);
}

bool MayRaisePriority() {
    rlimit limit{};
    return ::geteuid() == 0 || (::getrlimit(RLIMIT_NICE, &limit) == 0 && limit.rlim_cur >= 40);
}

// End to end in real time: the program on its pty answers the identity frame and dumps its
// memory on SIGTERM.
TEST(DcsimProgram, AnswersOnItsPtyAndWritesTheMemoryOnSigterm) {
    const auto folder = std::filesystem::temp_directory_path() / ("dcsim-test-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const std::string memoryOut = (folder / "memory.bin").string();
    const std::string linkPath = (folder / "ttyDC").string();

    const auto [pid, out] = StartDcsim({"--memory-out", memoryOut, "--link", linkPath, "--serial", "56"});
    ASSERT_GT(pid, 0);
    const std::vector<std::uint8_t> firstLine = ReadFor(out, 11, std::chrono::milliseconds(1000));
    std::string line(firstLine.begin(), firstLine.end());
    line = line.substr(0, line.find('\n'));
    ASSERT_FALSE(line.empty());
    EXPECT_TRUE(std::filesystem::is_symlink(linkPath));

    const int fd = ::open(line.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0) << line;
    termios tio{};
    ASSERT_EQ(::tcgetattr(fd, &tio), 0);
    ::cfmakeraw(&tio);
    ::cfsetispeed(&tio, B38400);
    ::cfsetospeed(&tio, B38400);
    ASSERT_EQ(::tcsetattr(fd, TCSANOW, &tio), 0);

    const std::uint8_t frame[] = {0x84, 0x00};
    ASSERT_EQ(::write(fd, frame, sizeof frame), 2);
    const std::vector<std::uint8_t> reply = ReadFor(fd, 18, std::chrono::milliseconds(500));
    ASSERT_EQ(reply.size(), 18u);
    EXPECT_EQ(std::string(reply.begin() + 1, reply.begin() + 17), "DEMO-1B FW-1A DC");
    ::close(fd);

    ASSERT_EQ(::kill(pid, SIGTERM), 0);
    int status = 0;
    ASSERT_TRUE(ExitedWithin2s(pid, status));
    ::close(out);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    ASSERT_EQ(std::filesystem::file_size(memoryOut), 512u * 128u);
    std::FILE* f = std::fopen(memoryOut.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    std::uint8_t head[13];
    ASSERT_EQ(std::fread(head, 1, sizeof head, f), sizeof head);
    std::fclose(f);
    EXPECT_EQ(head[12], 0x56);
    EXPECT_FALSE(std::filesystem::exists(linkPath));
    std::filesystem::remove_all(folder);
}

// An image given with --memory-in comes back unchanged, block 0 included, from --memory-out;
// SIGINT ends the program even when it was started with SIGINT ignored.
TEST(DcsimProgram, AMemoryImageRoundTripsWithItsBlock0) {
    const auto folder = std::filesystem::temp_directory_path() / ("dcsim-rt-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const std::string in = (folder / "in.bin").string();
    const std::string outFile = (folder / "out.bin").string();
    std::vector<char> image(1024 * 128);
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    {
        std::FILE* f = std::fopen(in.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        ASSERT_EQ(std::fwrite(image.data(), 1, image.size(), f), image.size());
        std::fclose(f);
    }
    const auto [pid, out] = StartDcsim({"--memory-in", in, "--memory-out", outFile}, /*ignoreSigint=*/true);
    ASSERT_GT(pid, 0);
    EXPECT_FALSE(ReadFor(out, 11, std::chrono::milliseconds(1000)).empty());  // started
    ASSERT_EQ(::kill(pid, SIGINT), 0);
    int status = 0;
    ASSERT_TRUE(ExitedWithin2s(pid, status));
    ::close(out);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    std::vector<char> back(image.size() + 1);
    std::FILE* f = std::fopen(outFile.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    back.resize(std::fread(back.data(), 1, back.size(), f));
    std::fclose(f);
    EXPECT_EQ(back, image);
    std::filesystem::remove_all(folder);
}

// Busy processes beside the simulator must not make its paced replies late: it takes the
// highest priority it may have and asks for timers without slack.
TEST(DcsimProgram, RunsAtTheHighestPriorityItMayHaveWithoutTimerSlack) {
    const auto [pid, out] = StartDcsim({});
    ASSERT_GT(pid, 0);
    ASSERT_FALSE(ReadFor(out, 11, std::chrono::milliseconds(1000)).empty());  // set up and serving

    const int ownNice = ::getpriority(PRIO_PROCESS, 0);
    EXPECT_EQ(NiceOf(pid), MayRaisePriority() ? -20 : ownNice);
    std::ifstream slack("/proc/" + std::to_string(pid) + "/timerslack_ns");
    unsigned long slackNs = 0;
    const bool readable = static_cast<bool>(slack >> slackNs);

    ASSERT_EQ(::kill(pid, SIGTERM), 0);
    int status = 0;
    EXPECT_TRUE(ExitedWithin2s(pid, status));
    ::close(out);
    if (readable) {
        EXPECT_EQ(slackNs, 1u);
    }
}

}  // namespace
