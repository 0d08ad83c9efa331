// Faults on a ProtDNC line between the control and simulated units: corrupted, dropped and
// duplicated characters, a unit that stops answering in the middle of a transfer, a device
// that goes away while the line is active. Whatever happens, no partial or corrupted program is
// stored on either side, no original is lost, every transfer the PC gave up is reported through
// OnError, and the line serves again once the fault is gone.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>

#include "comm/dnc/DncFrames.h"
#include "tests/dnc/UnitsFixture.h"
#include "tests/faults/FaultTally.h"
#include "tests/faults/ProgramCompare.h"

namespace {

using sim::unit::RequestSpec;
using sim::unit::UnitEvent;

constexpr int kAttemptsPerJob = 3;
constexpr std::size_t kBlock = comm::dnc::kTransferBlockSize;

class DncFaults : public UnitsFixture {
protected:
    enum class Kind { Download, Upload, Listing };
    struct Job {
        Kind kind;
        std::string name;     // unit-side name
        std::string program;  // what should arrive
    };
    enum class Outcome { Done, Failed };

    static constexpr int kDownloadUnit = 1;
    static constexpr int kUploadUnit = 2;
    static constexpr int kListingUnit = 3;
    static constexpr const char* kOriginal =
        "the PC's older copy, which must survive a failure\r\n";

    // A program of `size` bytes through every byte value but NUL. The check byte sums its
    // block, so a NUL lost or doubled on the wire changes no sum: neither end can see it, and
    // on an upload the block one byte short even reads as the program's last. NC programs are
    // text; these runs measure what the two ends do with the faults the check can see.
    static std::string program(std::size_t size, unsigned seed) {
        std::string text = patterned(size, seed);
        std::replace(text.begin(), text.end(), '\0', '\x01');
        return text;
    }

    // Puts a file with a fixed time of last change: the listing carries the time, and a run is
    // repeated character for character only when the wire carries the same listing.
    void putDated(int unitAddress, const std::string& name, const std::string& data) {
        put(unitAddress, name, data);
        using namespace std::chrono;
        fs::last_write_time(
            unitDir(unitAddress) / name,
            file_clock::from_sys(sys_seconds{sys_days{2026y / June / 1}} + 8h + 15min));
    }

    // A job of each kind for round `r`, the files in place on both sides.
    std::vector<Job> prepareRound(int r, std::size_t size) {
        const std::string down = "D" + std::to_string(r);
        const std::string up = "U" + std::to_string(r);
        const std::string sent = program(size, static_cast<unsigned>(r));
        const std::string fetched = program(size, static_cast<unsigned>(r + 50));
        putDated(kDownloadUnit, down + ".WTX", sent);
        putDated(kUploadUnit, up + ".STX", kOriginal);
        unit(kUploadUnit).memory().store({up, 0, fetched});
        // A listing long enough to be cut in the middle.
        for (int f = 0; f < 60; ++f) {
            putDated(kListingUnit, "L" + std::to_string(f) + ".STX", "x");
        }
        return {{Kind::Download, down, sent}, {Kind::Upload, up, fetched}, {Kind::Listing, "", ""}};
    }

    static int unitOf(Kind kind) {
        return kind == Kind::Download ? kDownloadUnit
               : kind == Kind::Upload ? kUploadUnit
                                      : kListingUnit;
    }

    void raise(const Job& job) {
        switch (job.kind) {
            case Kind::Download:
                unit(kDownloadUnit).raise(RequestSpec::download(job.name, 1));
                break;
            case Kind::Upload:
                unit(kUploadUnit).raise(RequestSpec::upload(job.name, 0));
                break;
            case Kind::Listing:
                unit(kListingUnit).raise(RequestSpec::listing());
                break;
        }
    }

    // One attempt of `job`: raised by its unit, served until the unit has nothing outstanding.
    // Checks what must hold whatever the faults did, and says how it ended.
    Outcome attempt(const Job& job) {
        const int address = unitOf(job.kind);
        const std::size_t eventsBefore = units.events().size();
        const std::size_t errorsBefore = site.errors.size();
        const std::size_t faultsBefore = wireFaults();
        raise(job);
        const comm::Status ran = runUntil(
            [&] { return unit(static_cast<std::uint8_t>(address)).requestsOutstanding() == 0; },
            600'000'000);
        EXPECT_TRUE(ran) << ran.error().description;
        EXPECT_EQ(unit(static_cast<std::uint8_t>(address)).requestsOutstanding(), 0u)
            << "the attempt did not end within ten minutes of line time";

        bool done = false;
        bool abandoned = false;
        for (std::size_t i = eventsBefore; i < units.events().size(); ++i) {
            const UnitEvent& e = units.events()[i];
            if (e.unit != address) {
                continue;
            }
            switch (e.kind) {
                // A closing block with a status other than 0 tells the unit that the PC gave
                // the transfer up: the unit drops what it has.
                case UnitEvent::ProgramReceived:
                    if (e.status == 0 && e.detail == UnitEvent::kCountDiffers) {
                        // Blocks changed past their check, caught by the closing count: the
                        // unit keeps nothing and asks again. The PC cannot know.
                        EXPECT_TRUE(blindToSumCheck(e.data, job.program, kBlock))
                            << "a change the block check sees got through: "
                            << difference(e.data, job.program);
                        ++caughtByTheCount;
                    } else if (e.status == 0) {
                        if (blindToSumCheck(e.data, job.program, kBlock)) {
                            countUnseen(faultsBefore);
                        } else {
                            EXPECT_EQ(difference(e.data, job.program), "equal")
                                << "the unit was told to keep a changed program";
                        }
                        done = true;
                    } else {
                        abandoned = true;
                    }
                    break;
                case UnitEvent::ProgramSent:
                case UnitEvent::ListingReceived:
                    done = e.status == 0;
                    abandoned = e.status != 0;
                    break;
                case UnitEvent::NotServed:
                    abandoned = true;
                    break;
                default:
                    break;
            }
        }
        const bool reported = site.errors.size() > errorsBefore;
        if (abandoned) {
            EXPECT_TRUE(reported) << "the PC gave a transfer up without reporting it";
        }
        if (job.kind == Kind::Download) {
            EXPECT_EQ(difference(read(kDownloadUnit, job.name + ".WTX"), job.program), "equal")
                << "a download must not touch the PC's file";
        }
        if (job.kind == Kind::Upload) {
            const std::string stored = read(kUploadUnit, job.name + ".STX");
            if (blindToSumCheck(stored, job.program, kBlock)) {
                countUnseen(faultsBefore);
            } else {
                EXPECT_TRUE(stored == kOriginal || stored == job.program)
                    << "the PC stored a changed or partial program: "
                    << difference(stored, job.program);
            }
            // The unit's word that its program went over counts only with the PC's copy.
            done = done && stored != kOriginal;
        }
        expectNoTemporaries();
        return done ? Outcome::Done : Outcome::Failed;
    }

    // Runs `job` until it is done or kAttemptsPerJob attempts failed.
    void runJob(const Job& job, TransferTally& tally) {
        ++tally.jobs;
        for (int a = 1; a <= kAttemptsPerJob; ++a) {
            ++tally.attempts;
            const std::size_t errorsBefore = site.errors.size();
            if (attempt(job) == Outcome::Done) {
                ++(a == 1 ? tally.firstTime : tally.afterRetry);
                return;
            }
            if (site.errors.size() > errorsBefore) {
                ++tally.reportedFailures;
            } else {
                ++tally.unheard;
            }
        }
        ++tally.givenUp;
    }

    std::size_t wireFaults() const {
        const sim::WireTally& wire = line.wireTally();
        return wire.corrupted + wire.dropped + wire.duplicated;
    }

    // A change that got past the block check is counted; one fault alone always changes the
    // sum, so it must have met at least two in this attempt.
    void countUnseen(std::size_t faultsBefore) {
        ++unseenByCheck;
        EXPECT_GE(wireFaults() - faultsBefore, 2u)
            << "a block changed by a single fault got through";
    }

    void expectNoTemporaries() const {
        for (int u = 1; u <= 3; ++u) {
            for (const auto& entry : fs::directory_iterator(unitDir(u))) {
                EXPECT_NE(entry.path().filename().string().front(), '.')
                    << "left behind: " << entry.path();
            }
        }
    }

    // Rounds of a download, an upload and a listing with the wire's faults on, then one clean
    // round that must go through at the first attempt.
    int unseenByCheck = 0;
    int caughtByTheCount = 0;  // downloads the unit dropped for a closing count that differed

    TransferTally runRounds(const std::string& run, const sim::WireFaults& faults, int rounds) {
        TransferTally tally;
        line.setWireFaults(faults, faultSeed());
        for (int r = 0; r < rounds; ++r) {
            for (const Job& job : prepareRound(r, 1500)) {
                runJob(job, tally);
            }
        }
        tally.unseenByCheck = unseenByCheck;
        tally.print(run, line.wireTally());
        std::printf(
            "[ tally    ] %s: %d programs dropped by the unit for a closing count that "
            "differed\n",
            run.c_str(), caughtByTheCount);
        line.setWireFaults({}, 0);
        TransferTally clean;
        for (const Job& job : prepareRound(rounds, 1500)) {
            runJob(job, clean);
        }
        EXPECT_EQ(clean.firstTime, 3) << "the line must serve as before once the wire is sound";
        return tally;
    }
};

TEST_F(DncFaults, CorruptedCharactersAreCaughtByTheBlockChecks) {
    const TransferTally tally = runRounds("DNC, one character in 1000 corrupted", {1e-3, 0, 0}, 40);
    EXPECT_GE(tally.firstTime + tally.afterRetry, tally.jobs * 9 / 10);
}

TEST_F(DncFaults, DroppedCharactersLoseBlocksNotData) {
    const TransferTally tally = runRounds("DNC, one character in 1000 dropped", {0, 1e-3, 0}, 40);
    EXPECT_GE(tally.firstTime + tally.afterRetry, tally.jobs * 9 / 10);
}

TEST_F(DncFaults, DuplicatedCharactersLoseBlocksNotData) {
    const TransferTally tally =
        runRounds("DNC, one character in 1000 duplicated", {0, 0, 1e-3}, 40);
    EXPECT_GE(tally.firstTime + tally.afterRetry, tally.jobs * 9 / 10);
}

TEST_F(DncFaults, AllThreeAtOnceAtAHigherRate) {
    const TransferTally tally =
        runRounds("DNC, 3 in 1000 corrupted, dropped or duplicated", {2e-3, 5e-4, 5e-4}, 30);
    EXPECT_GE(tally.firstTime + tally.afterRetry, tally.jobs * 3 / 4);
}

// The unit goes silent after `afterBytes` characters of the transfer have reached it and
// comes back once the PC has reported the failure.
class SilentUnit : public DncFaults,
                   public ::testing::WithParamInterface<std::tuple<int, std::size_t>> {};

TEST_P(SilentUnit, MidTransferIsReportedAndTheNextAttemptGoesThrough) {
    // Plain variables, not a structured binding: the lambda below captures them.
    const int kindIndex = std::get<0>(GetParam());
    const std::size_t afterBytes = std::get<1>(GetParam());
    const Kind kind = static_cast<Kind>(kindIndex);
    std::vector<Job> jobs = prepareRound(0, 6000);
    const Job job = jobs[static_cast<std::size_t>(kindIndex)];
    const std::size_t errorsBefore = site.errors.size();
    const std::size_t heardBefore = line.receivedByPeer().size();
    onPump = [&] {
        if (line.receivedByPeer().size() >= heardBefore + afterBytes &&
            site.errors.size() == errorsBefore) {
            line.cutPeer(true);
        }
        if (site.errors.size() > errorsBefore) {
            line.cutPeer(false);
        }
    };
    // The unit may get its transfer in at once after the failure: it still holds its request
    // when it was cut off before the PC took it.
    const Outcome first = attempt(job);
    onPump = {};
    ASSERT_GT(site.errors.size(), errorsBefore) << "the silence must be reported";
    if (first == Outcome::Failed) {
        EXPECT_EQ(attempt(job), Outcome::Done);
    }
    if (kind == Kind::Upload) {
        EXPECT_EQ(difference(read(kUploadUnit, job.name + ".STX"), job.program), "equal");
    }
    TransferTally{.jobs = 1,
                  .attempts = first == Outcome::Failed ? 2 : 1,
                  .afterRetry = 1,
                  .reportedFailures = 1}
        .print("DNC, unit silent after " + std::to_string(afterBytes) + " characters",
               line.wireTally());
}

INSTANTIATE_TEST_SUITE_P(DownloadUploadListing, SilentUnit,
                         ::testing::Combine(::testing::Values(0, 1, 2),
                                            ::testing::Values(std::size_t{60}, std::size_t{900})));

TEST_F(DncFaults, ADeviceThatGoesAwayMidUploadEndsTheLineAndKeepsTheOriginal) {
    const Job job = prepareRound(0, 6000)[1];
    const std::size_t heardBefore = line.receivedByPeer().size();
    onPump = [&] {
        if (line.controlOpen() && line.receivedByPeer().size() > heardBefore + 400) {
            line.removeDevice();
        }
    };
    raise(job);
    const comm::Status ended = runUntil([] { return false; });
    onPump = {};
    ASSERT_FALSE(ended.ok()) << "the line cannot go on without its device";
    EXPECT_NE(ended.error().description.find("Error while writing to serial port"),
              std::string::npos)
        << ended.error().description;
    EXPECT_FALSE(control.Active());
    EXPECT_FALSE(site.errors.empty()) << "the transfer under way is reported";
    EXPECT_EQ(read(kUploadUnit, job.name + ".STX"), kOriginal);
    expectNoTemporaries();

    // Until the device is back the line cannot start; then it serves again.
    EXPECT_FALSE(control.setActive(true).ok());
    line.restoreDevice();
    // The unit learns at its next poll that its transfer was given up.
    ASSERT_TRUE(runUntil([&] { return unit(kUploadUnit).requestsOutstanding() == 0; }));
    EXPECT_EQ(attempt(job), Outcome::Done);
    EXPECT_EQ(difference(read(kUploadUnit, job.name + ".STX"), job.program), "equal");
}

}  // namespace
