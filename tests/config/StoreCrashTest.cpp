// The settings store when its writer dies at a random moment (SIGKILL): the store always reads
// back whole, each section with the values of one complete write, never older than what was
// read before, and nothing left beside it that a reader could take for the store.
//
// 100 kills by default. The release run kills 1000 times:
//   FERIX_STORE_CRASH_RUNS=1000 ctest --test-dir build/release -R StoreCrash
// FERIX_STORE_CRASH_SEED=<n> repeats the moments of a run (the seed is printed).
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "StoreGenerations.h"
#include "dnc/config/ConfigStore.h"

namespace fs = std::filesystem;

namespace {

unsigned long environmentNumber(const char* name, unsigned long otherwise) {
    const char* text = std::getenv(name);
    return text != nullptr && *text != '\0' ? std::strtoul(text, nullptr, 10) : otherwise;
}

// The writer program, started with its standard output on a pipe.
class Writer {
public:
    Writer(const fs::path& store, std::uint64_t firstGeneration) {
        int fds[2];
        if (::pipe(fds) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        const std::string program = STORE_WRITER;
        const std::string file = store.string();
        const std::string generation = std::to_string(firstGeneration);
        char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>(file.c_str()),
                        const_cast<char*>(generation.c_str()), nullptr};
        if (::posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv, environ) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        output_ = fds[0];
    }
    ~Writer() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (output_ >= 0) {
            ::close(output_);
        }
    }
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    bool started() const { return pid_ > 0; }

    // True once the writer says it has written (a stuck lock would keep it silent; a minute
    // only guards against hanging the test).
    bool waitUntilWriting() {
        pollfd ready{output_, POLLIN, 0};
        char c = 0;
        return ::poll(&ready, 1, 60'000) == 1 && ::read(output_, &c, 1) == 1 && c == 'w';
    }

    // Kills the writer; true when SIGKILL is what ended it.
    bool kill() {
        ::kill(pid_, SIGKILL);
        int status = 0;
        const bool reaped = ::waitpid(pid_, &status, 0) == pid_;
        pid_ = -1;
        return reaped && WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    }

private:
    pid_t pid_ = -1;
    int output_ = -1;
};

class StoreCrash : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("ferix-store-crash-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir / "DNC");
        file = dir / "DNC" / "DNC.ini";
    }
    void TearDown() override { fs::remove_all(dir); }

    fs::path dir;
    fs::path file;
};

TEST_F(StoreCrash, AKilledWriterNeverLeavesADamagedStore) {
    const unsigned long runs = environmentNumber("FERIX_STORE_CRASH_RUNS", 100);
    const unsigned long seed = environmentNumber("FERIX_STORE_CRASH_SEED", std::random_device{}());
    std::cout << "kills: " << runs << ", seed: " << seed << '\n';
    std::mt19937 random(seed);
    // Up to one pass over all sections of the writer; most kills land inside a write.
    std::uniform_int_distribution<int> pause(0, 4000);

    std::vector<std::uint64_t> lastSeen(storecrash::kSections + 1, 0);
    std::size_t temporariesLeft = 0;
    for (unsigned long run = 1; run <= runs; ++run) {
        SCOPED_TRACE("kill " + std::to_string(run));
        Writer writer(file, run * 1'000'000);
        ASSERT_TRUE(writer.started());
        ASSERT_TRUE(writer.waitUntilWriting()) << "the writer did not get to write";
        std::this_thread::sleep_for(std::chrono::microseconds(pause(random)));
        ASSERT_TRUE(writer.kill());

        std::vector<std::string> warnings;
        const dnc::ConfigStore store(file, [&](const std::string& w) { warnings.push_back(w); });
        for (int net = 1; net <= storecrash::kSections; ++net) {
            const dnc::StoreSection section = store.section(storecrash::sectionName(net));
            if (section.size() == 0) {
                // Only a section the first writer never reached may be missing.
                ASSERT_EQ(lastSeen[net], 0u) << "section " << net << " vanished";
                continue;
            }
            const auto generation = storecrash::wholeGeneration(net, section);
            ASSERT_TRUE(generation.has_value()) << "section " << net << " is not whole";
            ASSERT_GE(*generation, lastSeen[net]) << "section " << net << " went back";
            lastSeen[net] = *generation;
        }
        ASSERT_TRUE(warnings.empty()) << warnings.front();
        for (const std::string& name : store.sectionNames()) {
            ASSERT_EQ(name.rfind("Config", 0), 0u) << "stray section " << name;
        }
        // A write cut short leaves its temporary file: hidden, named after the store but never
        // the store's own name, so no reader opens it; the next write clears them away.
        std::size_t temporaries = 0;
        for (const auto& entry : fs::directory_iterator(file.parent_path())) {
            const std::string name = entry.path().filename().string();
            if (name == "DNC.ini" || name == ".DNC.ini.lock") {
                continue;
            }
            ASSERT_EQ(name.rfind(".DNC.ini.", 0), 0u) << "unexpected file " << name;
            ++temporaries;
        }
        temporariesLeft = std::max(temporariesLeft, temporaries);
    }
    std::cout << "most temporary files left by cut writes at once: " << temporariesLeft << '\n';
    EXPECT_GT(lastSeen[1], 0u);
    EXPECT_LE(temporariesLeft, 1u) << "every write clears what killed writers left behind";
    dnc::ConfigStore store(file);
    ASSERT_TRUE(store.write("Common", "LangID", "1031"));
    for (const auto& entry : fs::directory_iterator(file.parent_path())) {
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(name == "DNC.ini" || name == ".DNC.ini.lock") << "left behind: " << name;
    }
}

}  // namespace
