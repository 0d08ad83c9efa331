// ferix-unit-sim as a program: fed by a script, or left running in the background.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <string>

#include "sim/pty/PtyPair.h"
#include "tests/support/ChildProgram.h"

namespace {

constexpr auto kLimit = std::chrono::seconds(60);

struct Input {
    // Close-on-exec: the child gets the reading end as its standard input only, never a copy
    // of the writing end that would keep its input from ending.
    Input() { EXPECT_EQ(::pipe2(fds, O_CLOEXEC), 0); }
    ~Input() {
        closeWriting();
        if (fds[0] >= 0) {
            ::close(fds[0]);
        }
    }
    // The child has its copy: the test keeps only the writing end.
    void handedOver() {
        ::close(fds[0]);
        fds[0] = -1;
    }
    void closeWriting() {
        if (fds[1] >= 0) {
            ::close(fds[1]);
            fds[1] = -1;
        }
    }
    int fds[2] = {-1, -1};
};

TEST(UnitSimProgram, EndsAtTheEndOfItsInput) {
    const sim::PtyPair pty;
    Input input;
    ChildProgram program(FERIX_UNIT_SIM_PROGRAM, {"--device", pty.devicePath()}, input.fds[0]);
    input.handedOver();
    ASSERT_TRUE(program.waitForOutput("type help for the commands", kLimit)) << program.output();
    input.closeWriting();
    EXPECT_EQ(program.exitCode(kLimit), 0) << program.output();
}

// A run in the background has no input worth the name: it plays on until it is stopped.
TEST(UnitSimProgram, KeepRunningPlaysOnAfterTheInputUntilASignal) {
    const sim::PtyPair pty;
    Input input;
    ChildProgram program(FERIX_UNIT_SIM_PROGRAM,
                         {"--device", pty.devicePath(), "--units", "1,2", "--keep-running"},
                         input.fds[0]);
    input.handedOver();
    ASSERT_TRUE(program.waitForOutput("type help for the commands", kLimit)) << program.output();
    const std::string command = "units\n";
    ASSERT_EQ(::write(input.fds[1], command.data(), command.size()),
              static_cast<ssize_t>(command.size()));
    input.closeWriting();
    ASSERT_TRUE(program.waitForOutput("end of the input; the units play on", kLimit))
        << program.output();
    ASSERT_EQ(::kill(program.pid(), SIGTERM), 0) << "it ended by itself:\n" << program.output();
    EXPECT_EQ(program.exitCode(kLimit), 0) << program.output();
}

}  // namespace
