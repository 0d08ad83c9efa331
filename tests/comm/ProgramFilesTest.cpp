// Programs opened only as regular files below the home of the units: links, FIFOs, folders out
// of the home and files too large are refused; new files follow the umask; the remains of
// killed writes go, writes in progress stay.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include "comm/files/FileIo.h"
#include "comm/files/PlainName.h"
#include "comm/files/ProgramFiles.h"

namespace fs = std::filesystem;

namespace {

class ProgramFiles : public ::testing::Test {
protected:
    void SetUp() override {
        home = fs::temp_directory_path() /
               ("ferix-programs-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(home);
        fs::remove_all(outside());
        fs::create_directories(home / "Ferix1");
        fs::create_directories(outside());
    }
    void TearDown() override {
        fs::remove_all(home);
        fs::remove_all(outside());
    }
    fs::path outside() const { return home.string() + "-outside"; }
    fs::path unit() const { return home / "Ferix1"; }
    static std::string text(const fs::path& file) {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    static mode_t modeOf(const fs::path& file) {
        struct stat info {};
        EXPECT_EQ(::stat(file.c_str(), &info), 0);
        return info.st_mode & 07777;
    }

    fs::path home;
};

TEST_F(ProgramFiles, OnlyRegularFilesBelowTheHomeAreRead) {
    std::ofstream(unit() / "P.WTX") << "program";
    EXPECT_EQ(comm::readProgram(home, unit() / "P.WTX", 64).value(), "program");
    EXPECT_EQ(comm::readProgram(home, unit() / "NONE.WTX", 64).error().number, ENOENT);

    fs::create_symlink("/etc/passwd", unit() / "PASSWD.STX");
    EXPECT_EQ(comm::readProgram(home, unit() / "PASSWD.STX", 64).error().number, ELOOP);
    fs::create_symlink("/dev/zero", unit() / "ZERO.STX");
    EXPECT_EQ(comm::readProgram(home, unit() / "ZERO.STX", 64).error().number, ELOOP);

    std::ofstream(outside() / "P.WTX") << "outside";
    fs::create_directory_symlink(outside(), home / "Ferix2");
    const auto throughFolder = comm::readProgram(home, home / "Ferix2" / "P.WTX", 64);
    ASSERT_FALSE(throughFolder.ok());
    EXPECT_EQ(throughFolder.error().number, ELOOP);
    EXPECT_NE(throughFolder.error().description.find("symbolic link"), std::string::npos);

    fs::create_directory(unit() / "DIR.WTX");
    EXPECT_FALSE(comm::readProgram(home, unit() / "DIR.WTX", 64).ok());

    // A unit directory configured outside the home (an absolute path of its own) is its own
    // root: its programs are read, links in it still are not.
    EXPECT_EQ(comm::readProgram(home, outside() / "P.WTX", 64).value(), "outside");
}

TEST_F(ProgramFiles, AFifoIsRefusedWithoutWaitingForAWriter) {
    const fs::path fifo = unit() / "FIFO.WTX";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    // Should the read wait for a writer after all, this one comes after a while, so that the
    // test fails instead of hanging.
    std::mutex m;
    std::condition_variable cv;
    bool finished = false;
    bool rescued = false;
    std::thread watchdog([&] {
        std::unique_lock<std::mutex> lock(m);
        if (!cv.wait_for(lock, std::chrono::seconds(10), [&] { return finished; })) {
            rescued = true;
            ::close(::open(fifo.c_str(), O_WRONLY | O_NONBLOCK));
        }
    });
    const auto read = comm::readProgram(home, fifo, 64);
    {
        std::lock_guard<std::mutex> lock(m);
        finished = true;
    }
    cv.notify_one();
    watchdog.join();
    EXPECT_FALSE(rescued) << "opening the FIFO waited for a writer";
    ASSERT_FALSE(read.ok());
    EXPECT_EQ(read.error().number, EINVAL);
    EXPECT_NE(read.error().description.find("not a regular file"), std::string::npos);
}

TEST_F(ProgramFiles, AProgramAboveTheLimitIsNeverReadIntoMemory) {
    { std::ofstream(unit() / "BIG.WTX"); }
    fs::resize_file(unit() / "BIG.WTX", std::uintmax_t{1} << 30);  // sparse
    const auto big = comm::readProgram(home, unit() / "BIG.WTX", 64);
    ASSERT_FALSE(big.ok());
    EXPECT_EQ(big.error().number, EFBIG);
    EXPECT_NE(big.error().description.find("1073741824 bytes, more than the 64 MB"),
              std::string::npos)
        << big.error().description;
    EXPECT_EQ(comm::programLimitBytes(0), 1u << 20) << "at least 1 MB";
    EXPECT_EQ(comm::programLimitBytes(1'000'000), comm::kProtocolProgramLimit & ~0xFFFFFu);
}

TEST_F(ProgramFiles, StoringNeverFollowsALinkAndNewFilesFollowTheUmask) {
    const mode_t before = ::umask(007);
    EXPECT_TRUE(comm::storeProgram(home, unit() / "NEW.WTX", "new"));
    EXPECT_EQ(modeOf(unit() / "NEW.WTX"), 0660u) << "0666 less the umask";
    ::chmod((unit() / "NEW.WTX").c_str(), 0640);
    EXPECT_TRUE(comm::storeProgram(home, unit() / "NEW.WTX", "again"));
    EXPECT_EQ(modeOf(unit() / "NEW.WTX"), 0640u) << "a replaced file keeps its mode";
    EXPECT_TRUE(comm::replaceFileAtomically(unit() / "OTHER.INI", "x"));
    EXPECT_EQ(modeOf(unit() / "OTHER.INI"), 0660u);
    ::umask(before);

    fs::create_directory_symlink(outside(), home / "Ferix2");
    EXPECT_FALSE(comm::storeProgram(home, home / "Ferix2" / "P.WTX", "planted"));
    EXPECT_TRUE(fs::is_empty(outside()));

    std::ofstream(outside() / "TARGET") << "kept";
    fs::create_symlink(outside() / "TARGET", unit() / "LINK.WTX");
    const comm::Status overLink = comm::storeProgram(home, unit() / "LINK.WTX", "x");
    ASSERT_FALSE(overLink.ok());
    EXPECT_EQ(overLink.error().number, ELOOP);
    EXPECT_EQ(text(outside() / "TARGET"), "kept");
    EXPECT_TRUE(fs::is_symlink(unit() / "LINK.WTX"));
}

TEST_F(ProgramFiles, OnlyTheRemainsOfWritesWhoseProcessIsGoneAreRemoved) {
    std::ofstream(unit() / ".P.WTX.a1B2c3") << "abandoned";
    std::ofstream(unit() / ".Q.WTX.x9Y8z7") << "being written";
    std::ofstream(unit() / ".profile") << "a person's";
    std::ofstream(unit() / ".P.WTX.a1-2c3") << "not our pattern";
    const int writer = ::open((unit() / ".Q.WTX.x9Y8z7").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(writer, LOCK_EX), 0);  // as a live write holds it

    EXPECT_EQ(comm::removeAbandonedWrites(home, unit()), std::vector<std::string>{".P.WTX.a1B2c3"});
    EXPECT_FALSE(fs::exists(unit() / ".P.WTX.a1B2c3"));
    EXPECT_TRUE(fs::exists(unit() / ".Q.WTX.x9Y8z7"));
    EXPECT_TRUE(fs::exists(unit() / ".profile"));
    EXPECT_TRUE(fs::exists(unit() / ".P.WTX.a1-2c3"));
    ::close(writer);
    EXPECT_EQ(comm::removeAbandonedWrites(home, unit()), std::vector<std::string>{".Q.WTX.x9Y8z7"});
}

TEST(UnitFileName, HiddenNamesAreNoPrograms) {
    for (const char* hidden : {".HID.WTX", ".HID.WTX.WTX", ".P.WTX.a1B2c3"}) {
        EXPECT_NE(comm::unitFileNameProblem(hidden).find("begins with a dot"), std::string::npos)
            << hidden;
    }
    EXPECT_EQ(comm::unitFileNameProblem("ÄÖÜ.WTX"), "");
}

}  // namespace
