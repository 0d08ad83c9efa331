// The probe of a port's device (free, not available, used, no permission) on real
// pseudo-terminals, and the list of the machine's serial devices on a folder that stands in
// for /dev.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

#include "TestFolder.h"
#include "comm/link/PosixSerialPort.h"
#include "dnc/config/DeviceProbe.h"
#include "dnc/config/SerialDevices.h"
#include "sim/pty/PtyPair.h"

namespace fs = std::filesystem;
using namespace dnc;

namespace {

class Folder : public TestFolder {
public:
    Folder() : TestFolder("ferix-probe") {}
};

// Another program holding a device the way the serial port holds it: open and locked.
class Holder {
public:
    explicit Holder(const std::string& device) {
        int ready[2];
        if (::pipe(ready) != 0) {
            throw std::runtime_error("pipe");
        }
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(ready[0]);
            const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
            const char ok = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0 ? '1' : '0';
            (void)::write(ready[1], &ok, 1);
            ::pause();
            ::_exit(0);
        }
        ::close(ready[1]);
        char ok = '0';
        (void)::read(ready[0], &ok, 1);
        ::close(ready[0]);
        held_ = ok == '1';
    }
    ~Holder() {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    bool held() const { return held_; }
    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    bool held_ = false;
};

// The system, except that opening fails with the error given.
class RefusingAccess : public DeviceAccess {
public:
    explicit RefusingAccess(int error) : error_(error) {}
    int open(const std::string&) override { return -error_; }
    bool isTerminal(int) override { return true; }
    bool lockedByAnother(int) override { return false; }
    bool lockFileHeld(const std::string&) override { return false; }
    void close(int) override {}

private:
    int error_;
};

TEST(PortProbe, FreeMissingAndNetworkPorts) {
    const sim::PtyPair pty;  // its terminal end is open, but nobody holds it
    const DeviceState free = probeDevice(pty.devicePath());
    EXPECT_EQ(free.state, PortState::Free);
    EXPECT_TRUE(free.usable);
    EXPECT_EQ(free.text, "exists, can be opened");

    const DeviceState missing = probeDevice("/dev/ttyUSB-none-here");
    EXPECT_EQ(missing.state, PortState::NotAvailable);
    EXPECT_FALSE(missing.usable);
    EXPECT_EQ(missing.text, "does not exist");

    EXPECT_EQ(probeDevice("/dev/null").state, PortState::NotSerial);
    EXPECT_EQ(probeDevice("rfc2217://127.0.0.1:4001").state, PortState::Network);
    EXPECT_EQ(probeDevice("ttyS0").state, PortState::Error);
}

TEST(PortProbe, APortHeldByAnotherProgramIsUsedAndStaysUndisturbed) {
    const sim::PtyPair pty;
    const Holder holder(pty.devicePath());
    ASSERT_TRUE(holder.held());
    const DeviceState used = probeDevice(pty.devicePath());
    EXPECT_EQ(used.state, PortState::Used);
    EXPECT_FALSE(used.usable);
    // The holder still has its lock: a second probe says the same.
    EXPECT_EQ(probeDevice(pty.devicePath()).state, PortState::Used);
}

TEST(PortProbe, ALineOfThisProgramIsUsedAndKeepsItsSettings) {
    sim::PtyPair pty;
    comm::PosixSerialPort port;
    comm::LineSettings settings;
    settings.speed = 9600;
    ASSERT_TRUE(port.open(pty.devicePath(), settings, {}).ok());
    const int fd = ::open(pty.devicePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    termios before{};
    ASSERT_EQ(::tcgetattr(fd, &before), 0);

    EXPECT_EQ(probeDevice(pty.devicePath()).state, PortState::Used);

    termios after{};
    ASSERT_EQ(::tcgetattr(fd, &after), 0);
    EXPECT_EQ(::cfgetospeed(&after), ::cfgetospeed(&before));
    EXPECT_EQ(after.c_cflag, before.c_cflag);
    EXPECT_EQ(after.c_lflag, before.c_lflag);
    ::close(fd);
    // The line still carries bytes.
    const std::uint8_t bytes[] = {'O', 'K'};
    (void)port.startWrite(bytes);
    (void)port.waitWrite(2000);
    const auto got = pty.readMaster(2, std::chrono::milliseconds(2000));
    EXPECT_EQ(std::string(got.begin(), got.end()), "OK");
    port.close();
    EXPECT_EQ(probeDevice(pty.devicePath()).state, PortState::Free);
}

TEST(PortProbe, AnExclusiveMarkLeftBehindIsToldFromAHolder) {
    const sim::PtyPair pty;
    // A program that set the mark and ended: the pseudo-terminal lives on, and so does the
    // mark.
    const int fd = ::open(pty.devicePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ioctl(fd, TIOCEXCL), 0);
    ::close(fd);
    if (::geteuid() == 0) {  // only root opens past the mark and can look at it
        const DeviceState left = probeDevice(pty.devicePath());
        EXPECT_EQ(left.state, PortState::Used);
        EXPECT_NE(left.text.find("one that ended left it marked"), std::string::npos) << left.text;
        const Holder holder(pty.devicePath());
        EXPECT_EQ(probeDevice(pty.devicePath()).text, "exists, but another program holds it");
    }
    RefusingAccess busy(EBUSY);  // what other users meet
    EXPECT_NE(probeDevice("/dev/ttyS0", busy).text.find("one that ended left the mark"),
              std::string::npos);
}

TEST(PortProbe, FailuresTheMachineCannotProduceAreNamed) {
    RefusingAccess denied(EACCES);
    const DeviceState noPermission = probeDevice("/dev/ttyS0", denied);
    EXPECT_EQ(noPermission.state, PortState::NoPermission);
    EXPECT_NE(noPermission.text.find("dialout"), std::string::npos);
    RefusingAccess busy(EBUSY);  // a port in exclusive mode
    EXPECT_EQ(probeDevice("/dev/ttyS0", busy).state, PortState::Used);
    RefusingAccess gone(EIO);  // a UART the kernel lists but that has no hardware
    EXPECT_EQ(probeDevice("/dev/ttyS0", gone).state, PortState::NotAvailable);
    RefusingAccess other(EMFILE);
    EXPECT_EQ(probeDevice("/dev/ttyS0", other).state, PortState::Error);
}

TEST(PortProbe, UucpLockFilesOfLiveProcessesHoldTheirDevice) {
    const Folder folder;
    const sim::PtyPair pty;
    const std::string name = fs::path(pty.devicePath()).filename().string();
    EXPECT_FALSE(uucpLockHeld(pty.devicePath(), folder.path().string()));
    const Holder alive("/dev/null");
    std::ofstream(folder.path() / ("LCK.." + name)) << "      " << alive.pid() << "\n";
    EXPECT_TRUE(uucpLockHeld(pty.devicePath(), folder.path().string()));

    pid_t ended = ::fork();
    if (ended == 0) {
        ::_exit(0);
    }
    ::waitpid(ended, nullptr, 0);
    std::ofstream(folder.path() / ("LCK.." + name)) << ended << "\n";
    EXPECT_FALSE(uucpLockHeld(pty.devicePath(), folder.path().string()));  // stale
    std::ofstream(folder.path() / ("LCK.." + name)) << "garbage";
    EXPECT_FALSE(uucpLockHeld(pty.devicePath(), folder.path().string()));
}

TEST(SerialDevicesList, StableNamesFirstThenDevicesByKindAndNumber) {
    const Folder folder;
    const fs::path dev = folder.path() / "dev";
    const fs::path sys = folder.path() / "sys";
    fs::create_directories(dev / "serial" / "by-id");
    for (const char* name : {"ttyS0", "ttyS1", "ttyS10", "ttyS2", "ttyUSB0", "ttyUSB1", "ttyACM2",
                             "tty0", "ttyprintk", "ttySX"}) {
        std::ofstream(dev / name) << "";
    }
    fs::create_symlink("../../ttyUSB1", dev / "serial" / "by-id" / "usb-FTDI_FT232R-if00");
    fs::create_symlink("../../ttyUSB0", dev / "serial" / "by-id" / "usb-Prolific_PL2303-if00");
    fs::create_symlink("../../ttyUSB7", dev / "serial" / "by-id" / "usb-unplugged");
    // ttyS1 has no UART; ttyS0 has one; ttyS2 and ttyS10 are not described.
    fs::create_directories(sys / "ttyS0");
    fs::create_directories(sys / "ttyS1");
    std::ofstream(sys / "ttyS0" / "type") << "4\n";
    std::ofstream(sys / "ttyS1" / "type") << "0\n";

    const auto devices = listSerialDevices({dev.string(), sys.string()});
    std::vector<std::string> names;
    for (const SerialDevice& d : devices) {
        names.push_back(fs::path(d.path).filename().string());
    }
    const std::vector<std::string> expected = {"usb-FTDI_FT232R-if00",
                                               "usb-Prolific_PL2303-if00",
                                               "ttyS0",
                                               "ttyS2",
                                               "ttyS10",
                                               "ttyUSB0",
                                               "ttyUSB1",
                                               "ttyACM2"};
    EXPECT_EQ(names, expected);
    EXPECT_EQ(fs::path(devices[0].target).filename(), "ttyUSB1");
    EXPECT_TRUE(devices[2].target.empty());
    EXPECT_TRUE(listSerialDevices({(folder.path() / "none").string(), sys.string()}).empty());
}

}  // namespace
