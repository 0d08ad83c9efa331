// Figures of the DNC block protocol over a paced pseudo-terminal, with a simulated unit on the
// other end: whole-file transfers of a 64 KiB program in each direction at 9600 and 115200 baud
// (payload bytes per second and their ratio to the protocol-bound maximum), and the CPU time
// of one line polling 11 silent addresses for 10 s. Prints its figures; asserts nothing.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "ProtocolBound.h"
#include "bench/common/BenchPrograms.h"
#include "bench/common/CpuClock.h"
#include "comm/FerixComm.h"
#include "comm/RealHost.h"
#include "localizing/lookup/ResourceStrings.h"
#include "sim/fakes/RecordingSite.h"
#include "sim/net/Ser2net.h"
#include "sim/pty/PtyPair.h"
#include "sim/unit/FdUnitLine.h"

namespace {

using bench::ncProgram;
using bench::threadCpuSeconds;

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace sim::unit;

constexpr double kBitsPerCharacter = 11;  // 8 data bits, no parity, 2 stop bits
constexpr std::size_t kProgramSize = 64 * 1024;

// How the control reaches the line: "" (the pty itself), "rfc2217" or "tcp" through ser2net.
std::string via;

// Times the stoppable part of a transfer: from ShowStop(true) to ShowStop(false).
class TimingSite : public sim::RecordingSite {
public:
    void ShowStop(bool ShowBtn, std::uint8_t Direction) override {
        RecordingSite::ShowStop(ShowBtn, Direction);
        (ShowBtn ? started : ended) = Clock::now();
    }
    Clock::time_point started{}, ended{};
};

// A control on a pseudo-terminal with unit 1 simulated on the other end.
struct Bench {
    explicit Bench(std::int32_t speed)
        : host([this] { pump(); }),
          control(host, site),
          driver(units, pty.masterFd(), characterTime(speed, kBitsPerCharacter)) {
        home = fs::temp_directory_path() / ("ferix-dnc-bench-" + std::to_string(::getpid()));
        fs::create_directories(home / "Ferix1");
        control.setFerixHomeDir(home.string() + "/");
        (void)control.setConnected(1, true);
        control.setPortDevices([this](int) { return pty.devicePath(); });
        if (!via.empty()) {
            server = std::make_unique<sim::Ser2net>(
                via == "tcp" ? sim::Ser2net::Kind::RawTcp : sim::Ser2net::Kind::Rfc2217,
                pty.devicePath(), speed);
            if (const std::string why = server->start(); !why.empty()) {
                std::fprintf(stderr, "DncTransferBench: %s\n", why.c_str());
                std::exit(1);
            }
            control.setPortDevices([this](int) { return server->address(); });
        }
        (void)control.setCommSpeed(std::to_string(speed));
        (void)control.setProtocol(comm::ProtDNC);
        driver.preferPromptAnswers(true);
    }
    ~Bench() {
        driver.stop();
        fs::remove_all(home);
    }
    void pump() {
        if (control.Active() && stop && stop()) {
            (void)control.setActive(false);
        }
    }

    sim::PtyPair pty;
    std::unique_ptr<sim::Ser2net> server;
    TimingSite site;
    comm::RealHost host;
    comm::ctrlFerixComm control;
    UnitSimulator units;
    FdUnitLine driver;
    fs::path home;
    std::function<bool()> stop;
};

void transfer(std::int32_t speed, bool toUnit, const std::string& program) {
    Bench bench(speed);
    SimulatedUnit& unit = bench.units.addUnit(1);
    if (toUnit) {
        std::ofstream(bench.home / "Ferix1" / "BENCH.WTX", std::ios::binary) << program;
        unit.raise(RequestSpec::download("BENCH", 1));
    } else {
        unit.memory().store({"BENCH", 1, program});
        unit.raise(RequestSpec::upload("BENCH", 1));
    }
    const auto kind = toUnit ? UnitEvent::ProgramReceived : UnitEvent::ProgramSent;
    const auto giveUp = Clock::now() + std::chrono::minutes(10);
    bench.stop = [&] {
        if (Clock::now() > giveUp) {
            return true;
        }
        if (bench.site.ended == Clock::time_point{}) {
            return false;
        }
        return bench.driver.withUnits([&](UnitSimulator& u) { return !u.eventsOf(kind).empty(); });
    };
    bench.driver.start();
    (void)bench.control.setActive(true);

    std::string arrived;
    if (toUnit) {
        bench.driver.withUnits([&](UnitSimulator& u) {
            const auto events = u.eventsOf(kind);
            arrived = events.empty() ? std::string() : events.back().data;
        });
    } else {
        std::ifstream in(bench.home / "Ferix1" / "BENCH.WTX", std::ios::binary);
        arrived.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    const double seconds =
        std::chrono::duration<double>(bench.site.ended - bench.site.started).count();
    const bench::Line line{speed, kBitsPerCharacter};
    const double bound = toUnit ? bench::downloadBoundSeconds(program, line)
                                : bench::uploadBoundSeconds(program, line);
    const double payload = static_cast<double>(program.size());
    std::printf("%-12s %7d %10.1f s %12.0f %12.0f %8.3f   %s, %zu errors\n",
                toUnit ? "PC -> unit" : "unit -> PC", speed, seconds, payload / seconds,
                payload / bound, bound / seconds, arrived == program ? "intact" : "CORRUPTED",
                bench.site.errors.size());
    for (std::size_t i = 0; i < bench.site.errors.size() && i < 2; ++i) {
        std::printf("    error: %s\n", bench.site.errors[i].description.c_str());
    }
    std::fflush(stdout);
}

void polling(std::int32_t speed, double seconds) {
    Bench bench(speed);  // no units: every address is silent
    const auto end = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                        std::chrono::duration<double>(seconds));
    bench.stop = [&] { return Clock::now() >= end; };
    bench.driver.start();
    const auto wallStart = Clock::now();
    const double cpuStart = threadCpuSeconds();
    (void)bench.control.setActive(true);
    const double cpu = threadCpuSeconds() - cpuStart;
    const double wall = std::chrono::duration<double>(Clock::now() - wallStart).count();
    const double polls = static_cast<double>(bench.driver.withUnits(
                             [](UnitSimulator& u) { return u.bytesReceived(); })) /
                         26.0;
    std::printf("polling %7d baud: %5.1f s, %6.0f polls, CPU %.3f s = %.3f %% of a core\n", speed,
                wall, polls, cpu, 100.0 * cpu / wall);
    std::fflush(stdout);
}

}  // namespace

// DncTransferBench [--via rfc2217|tcp] [SPEED...]: the speeds to measure (default 9600 and
// 115200); with --via the control reaches the pseudo-terminal through ser2net on the loopback.
int main(int argc, char** argv) {
    loc::selectLanguage(loc::kEnglish);
    std::vector<std::int32_t> speeds;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--via" && i + 1 < argc) {
            via = argv[++i];
            continue;
        }
        speeds.push_back(std::atoi(argv[i]));
    }
    if (speeds.empty()) {
        speeds = {9600, 115200};
    }
    const std::string program = ncProgram(kProgramSize);
    std::printf("Whole-file transfer of a %zu-byte program, line n,8,2, paced pseudo-terminal%s\n",
                program.size(), via.empty() ? "" : (", through ser2net " + via).c_str());
    std::printf("%-12s %7s %12s %12s %12s %8s\n", "direction", "baud", "time", "payload B/s",
                "bound B/s", "ratio");
    for (std::int32_t speed : speeds) {
        transfer(speed, true, program);
        transfer(speed, false, program);
    }
    std::printf("\nOne line polling 11 silent addresses\n");
    for (std::int32_t speed : speeds) {
        polling(speed, 10.0);
    }
    return 0;
}
