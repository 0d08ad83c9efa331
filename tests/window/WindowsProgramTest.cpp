// FerixDNC with windows, run as a process: without a display it refuses at once and names
// --headless; on a display (the offscreen platform) SIGTERM closes the window as its Exit does;
// owning a site's history, it carries out what another site asked of it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "dnc/config/ConfigStore.h"
#include "dnc/history/HistoryStore.h"
#include "sim/pty/PtyPair.h"

namespace fs = std::filesystem;

namespace {

struct ChildRun {
    pid_t pid = -1;
    fs::path output;
};

ChildRun start(const std::vector<std::string>& arguments,
               const std::vector<std::string>& environment, const fs::path& output) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    std::vector<std::string> args{FERIXDNC_PROGRAM};
    args.insert(args.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    std::vector<std::string> env = environment;
    std::vector<char*> envp;
    for (auto& e : env) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);
    ChildRun run;
    run.output = output;
    if (posix_spawn(&run.pid, FERIXDNC_PROGRAM, &actions, nullptr, argv.data(), envp.data()) != 0) {
        run.pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    return run;
}

// The exit status, or -1 when the process did not end in time (it is killed then).
int finish(pid_t pid, std::chrono::seconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < until) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return -1;
}

std::string readAll(const fs::path& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Whether the process holds the device open.
bool holdsOpen(pid_t pid, const std::string& device) {
    std::error_code ec;
    for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec)) {
        std::error_code linkError;
        if (fs::read_symlink(fd.path(), linkError).string() == device) {
            return true;
        }
    }
    return false;
}

class WindowsProgram : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("ferix-windows-" + std::to_string(getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "DNC1" / "Machine1");
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::vector<std::string> baseEnvironment() const {
        return {"PATH=/usr/bin:/bin", "HOME=" + dir_.string(),
                "XDG_RUNTIME_DIR=" + (dir_ / "run").string()};
    }

    fs::path dir_;
};

TEST_F(WindowsProgram, WithoutADisplayItRefusesAndNamesHeadless) {
    const ChildRun run = start({"--subnet", "1", "--config", (dir_ / "DNC.ini").string()},
                               baseEnvironment(), dir_ / "out.txt");
    ASSERT_GT(run.pid, 0);
    EXPECT_EQ(finish(run.pid, std::chrono::seconds(20)), 2);
    EXPECT_NE(readAll(run.output).find("--headless"), std::string::npos) << readAll(run.output);
}

TEST_F(WindowsProgram, SigtermClosesTheWindowAndStoresEverything) {
    sim::PtyPair pty;
    dnc::ConfigStore store(dir_ / "DNC.ini");
    store.write("Ports", "1", pty.devicePath());
    store.write("Config1", {{"Caption", "Hall B"},
                            {"Protocol", "3"},
                            {"FerixHomeDir", (dir_ / "DNC1").string() + "/"},
                            {"FerixDir1", "Machine1/"},
                            {"Connected1", "True"}});
    std::vector<std::string> env = baseEnvironment();
    env.push_back("QT_QPA_PLATFORM=offscreen");
    const ChildRun run =
        start({"--subnet", "1", "--config", store.file().string()}, env, dir_ / "out.txt");
    ASSERT_GT(run.pid, 0);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!holdsOpen(run.pid, pty.devicePath()) && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_TRUE(holdsOpen(run.pid, pty.devicePath())) << readAll(run.output);
    kill(run.pid, SIGTERM);
    EXPECT_EQ(finish(run.pid, std::chrono::seconds(30)), 0) << readAll(run.output);
    const dnc::StoreSection section = store.section("Config1");
    EXPECT_EQ(section.readString("Caption", ""), "Hall B");
    EXPECT_TRUE(section.find("DirPattern").has_value());
    EXPECT_TRUE(section.find("Width").has_value());
    EXPECT_TRUE(section.find("listDirPath1").has_value());
    // The manager stored its flags as it unloaded.
    EXPECT_EQ(store.section("Common").readString("1", ""), "False");
    EXPECT_EQ(store.section("Common").readString("ShowInTaskbar", ""), "False");
}

TEST_F(WindowsProgram, TheWindowsOfASiteCarryOutWhatAnotherSiteAskedOfIt) {
    sim::PtyPair pty;
    dnc::ConfigStore store(dir_ / "DNC.ini");
    store.write("Common", "PlantSite", "hall-a");
    store.write("Ports", "1", pty.devicePath());
    store.write("Config1", {{"Caption", "Hall A"},
                            {"Protocol", "4"},
                            {"FerixHomeDir", (dir_ / "DNC1").string() + "/"},
                            {"FerixDir1", "Machine1/"}});
    const fs::path program = dir_ / "DNC1" / "Machine1" / "PRG1.WTX";
    std::ofstream(program, std::ios::binary) << "%\r\nN10 G0 X1\r\n%\r\n";
    const std::string edited = "%\r\nN10 G0 X2\r\n%\r\n";
    const std::string history = (dir_ / "history.db").string();
    std::int64_t request = 0;
    {
        // A program held for approval at hall-a; hall-b asks hall-a to accept it.
        using namespace dnc::history;
        TransferRecord r;
        r.time = std::chrono::system_clock::now();
        r.subNet = 1;
        r.unit = 1;
        r.direction = Direction::FromUnit;
        r.name = "PRG1.WTX";
        r.path = program.string();
        r.content = edited;
        r.held = true;
        const auto own = openHistoryStore(history, HistoryStore::Access::Write, "hall-a");
        ASSERT_TRUE(own->add(prepare(r), false)) << own->error();
        DecisionRequest asked;
        asked.revision = own->takeRevisionNotice()->id;
        asked.user = "bob";
        asked.from = "hall-b";
        const auto filed =
            openHistoryStore(history, HistoryStore::Access::Write, "hall-b")->fileRequest(asked);
        ASSERT_TRUE(filed);
        request = *filed;
    }
    std::vector<std::string> env = baseEnvironment();
    env.push_back("QT_QPA_PLATFORM=offscreen");
    const ChildRun run =
        start({"--subnet", "1", "--config", store.file().string(), "--history", history}, env,
              dir_ / "out.txt");
    ASSERT_GT(run.pid, 0);
    const auto settled = [&] {
        const auto db =
            dnc::history::openHistoryStore(history, dnc::history::HistoryStore::Access::Read);
        const auto rows = db->requests({});
        return rows && !rows->empty() &&
               rows->front().status != dnc::history::DecisionRequest::Status::Open;
    };
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!settled() && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    kill(run.pid, SIGTERM);
    EXPECT_EQ(finish(run.pid, std::chrono::seconds(30)), 0) << readAll(run.output);
    const auto db =
        dnc::history::openHistoryStore(history, dnc::history::HistoryStore::Access::Read);
    const auto rows = db->requests({});
    ASSERT_TRUE(rows && rows->size() == 1u);
    EXPECT_EQ(rows->front().id, request);
    EXPECT_EQ(rows->front().status, dnc::history::DecisionRequest::Status::Done)
        << rows->front().result << "\n"
        << readAll(run.output);
    std::ifstream in(program, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), edited);
}

}  // namespace
