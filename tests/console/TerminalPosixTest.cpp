// What needs a pseudo-terminal: Linux only.
#include "console/Terminal.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdlib>

#include "tests/support/Environment.h"

namespace verno::console {
namespace {

TEST(Terminal, OnlyATerminalThatCanMoveItsCursorGetsRowsRewrittenAndItsWidthIsRead) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    const int terminal = open(ptsname(master), O_RDWR | O_NOCTTY);
    ASSERT_GE(terminal, 0);
    winsize size{};
    size.ws_row = 40;
    size.ws_col = 132;
    ASSERT_EQ(ioctl(master, TIOCSWINSZ, &size), 0);
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    EXPECT_TRUE(IsTerminal(terminal));
    EXPECT_EQ(TerminalColumns(terminal), 132u);
    EXPECT_EQ(TerminalColumns(pipeEnds[1]), 80u);
    {
        const ScopedEnvironment term("TERM", "xterm");
        EXPECT_TRUE(DrawsInPlace(terminal));
        EXPECT_FALSE(DrawsInPlace(pipeEnds[1]));
    }
    {
        const ScopedEnvironment term("TERM", "dumb");
        EXPECT_FALSE(DrawsInPlace(terminal));
    }
    {
        const ScopedEnvironment term("TERM", std::nullopt);
        EXPECT_FALSE(DrawsInPlace(terminal));
    }
    for (const int fd : {master, terminal, pipeEnds[0], pipeEnds[1]}) close(fd);
}

}  // namespace
}  // namespace verno::console
