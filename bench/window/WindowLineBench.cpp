// The line's service of the units' own requests with the sub-net window open, against the same
// sub net run by the headless service: a simulated DNC unit on a paced pseudo-terminal
// downloads and uploads a program by its own request several times; printed are the payload
// bytes per second of each intact one, the ratio window/headless and the CPU time of the GUI (main)
// thread. Prints its figures; asserts nothing.
//   WindowLineBench [--size KIB] [--reps N] [SPEED...]   (default 32 KiB, 3, 115200 9600)
#include <unistd.h>

#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "bench/common/BenchPrograms.h"
#include "bench/common/CpuClock.h"
#include "dnc/config/SubNetConfiguration.h"
#include "dnc/service/HeadlessService.h"
#include "dnc/window/OperatorDialogs.h"
#include "dnc/window/frmDNC.h"
#include "localizing/lookup/ResourceStrings.h"
#include "sim/pty/PtyPair.h"
#include "sim/unit/FdUnitLine.h"
#include "sim/unit/UnitSimulator.h"

namespace {

using bench::ncProgram;
using bench::processCpuSeconds;
using bench::threadCpuSeconds;

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace sim::unit;

constexpr double kBitsPerCharacter = 11;  // 8 data bits, no parity, 2 stop bits

// The window's boxes: nothing waits for an operator; a box shown is counted and printed.
class CountingDialogs : public dnc::window::OperatorDialogs {
public:
    bool ask(QWidget*, const QString&, const QString& text) override {
        note(text);
        return false;
    }
    void tell(QWidget*, const QString&, const QString& text, Icon, const QString&, int) override {
        note(text);
    }
    std::optional<QString> chooseDirectory(QWidget*, const QString&, const QString&) override {
        return std::nullopt;
    }
    bool startDetached(const QString&, const QStringList&, QString*) override { return false; }
    bool openUrl(const QUrl&) override { return false; }
    void dismissAll() override {}
    int shown = 0;

private:
    void note(const QString& text) {
        ++shown;
        std::printf("    box: %s\n", qPrintable(text));
    }
};

// One DNC sub net on a paced pseudo-terminal with unit 1 simulated on the other end.
class Rig {
public:
    Rig(std::int32_t speed, const std::string& program)
        : dir_(fs::temp_directory_path() / ("ferix-window-bench-" + std::to_string(getpid()))),
          line_(units_, pty_.masterFd(), characterTime(speed, kBitsPerCharacter)) {
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "DNC1" / "Ferix1");
        std::ofstream(dir_ / "DNC1" / "Ferix1" / "DOWN.WTX", std::ios::binary) << program;
        store_ = std::make_unique<dnc::ConfigStore>(dir_ / "DNC.ini");
        store_->write("Ports", "1", pty_.devicePath());
        store_->write("Common", "1", "True");
        store_->write(dnc::subNetSection(1), {{"Protocol", "3"},
                                              {"CommSpeed", std::to_string(speed)},
                                              {"FerixHomeDir", (dir_ / "DNC1").string() + "/"},
                                              {"FerixDir1", "Ferix1/"},
                                              {"Connected1", "True"}});
        units_.addUnit(1).memory().store({"UP", 1, program});
        line_.preferPromptAnswers(true);
        line_.start();
    }
    ~Rig() {
        line_.stop();
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    dnc::ConfigStore& store() { return *store_; }
    // The unit's events of `kind` for the program `name` only: the memory list that the
    // window fetches after a transfer is also a "program sent" to the unit, and must not be
    // taken for the end of its own upload.
    std::size_t events(UnitEvent::Kind kind, const std::string& name) {
        return line_.withUnits([kind, &name](UnitSimulator& u) {
            const auto events = u.eventsOf(kind);
            return static_cast<std::size_t>(
                std::count_if(events.begin(), events.end(),
                              [&name](const UnitEvent& e) { return e.name == name; }));
        });
    }
    void raise(RequestSpec request) {
        line_.withUnits([&](UnitSimulator& u) { u.unit(1)->raise(std::move(request)); });
    }
    std::string received() {
        return line_.withUnits([](UnitSimulator& u) {
            const auto events = u.eventsOf(UnitEvent::ProgramReceived);
            return events.empty() ? std::string() : events.back().data;
        });
    }
    // The previous upload's file goes, so that only this one's can be judged intact.
    void forgetUpload() {
        std::error_code ec;
        fs::remove(dir_ / "DNC1" / "Ferix1" / "UP.WTX", ec);
    }
    std::string uploaded() {
        std::ifstream in(dir_ / "DNC1" / "Ferix1" / "UP.WTX", std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

private:
    fs::path dir_;
    sim::PtyPair pty_;
    std::unique_ptr<dnc::ConfigStore> store_;
    UnitSimulator units_;
    FdUnitLine line_;
};

struct Figures {
    double downRate = 0;  // payload bytes per second, mean of the repetitions
    double upRate = 0;
    double guiCpu = 0;  // s of CPU of the main thread during the transfers
    double processCpu = 0;
    double wall = 0;
    int intact = 0;
    int transfers = 0;
};

// `wait(done)` returns when done() holds, running the owner's loop meanwhile.
using Waiter = std::function<bool(const std::function<bool()>& done)>;

void runTransfers(Rig& rig, const std::string& program, int reps, const Waiter& wait,
                  Figures& figures) {
    // The line is open once the first poll has been answered; give it a moment.
    wait([start = Clock::now()] { return Clock::now() - start > std::chrono::seconds(1); });
    const double guiBefore = threadCpuSeconds();
    const double processBefore = processCpuSeconds();
    const auto wallBefore = Clock::now();
    double downSeconds = 0;
    double upSeconds = 0;
    int downs = 0;
    int ups = 0;
    for (int i = 0; i < reps; ++i) {
        for (const bool down : {true, false}) {
            const auto kind = down ? UnitEvent::ProgramReceived : UnitEvent::ProgramSent;
            const std::string name = down ? "DOWN" : "UP";
            const std::size_t before = rig.events(kind, name);
            if (!down) {
                rig.forgetUpload();
            }
            const auto start = Clock::now();
            rig.raise(down ? RequestSpec::download(name, 1) : RequestSpec::upload(name, 1));
            const auto giveUp = start + std::chrono::seconds(60);
            if (!wait([&] { return rig.events(kind, name) > before || Clock::now() > giveUp; }) ||
                rig.events(kind, name) == before) {
                std::printf("    %s did not end\n", down ? "download" : "upload");
                continue;
            }
            const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
            ++figures.transfers;
            // The PC stores an upload once its closing block is out: allow it a moment.
            const auto settle = Clock::now() + std::chrono::seconds(2);
            wait([&] {
                return (down ? rig.received() : rig.uploaded()) == program || Clock::now() > settle;
            });
            if (const std::string got = down ? rig.received() : rig.uploaded(); got != program) {
                const auto differ =
                    std::mismatch(got.begin(), got.end(), program.begin(), program.end());
                std::printf("    %s not intact: %zu of %zu bytes, the first wrong at %td\n",
                            name.c_str(), got.size(), program.size(), differ.first - got.begin());
                continue;  // a failed transfer says nothing about the speed
            }
            ++figures.intact;
            (down ? downSeconds : upSeconds) += seconds;
            ++(down ? downs : ups);
        }
    }
    figures.guiCpu = threadCpuSeconds() - guiBefore;
    figures.processCpu = processCpuSeconds() - processBefore;
    figures.wall = std::chrono::duration<double>(Clock::now() - wallBefore).count();
    const auto size = static_cast<double>(program.size());
    figures.downRate = downSeconds > 0 ? size * downs / downSeconds : 0;
    figures.upRate = upSeconds > 0 ? size * ups / upSeconds : 0;
}

Figures headless(std::int32_t speed, const std::string& program, int reps) {
    Rig rig(speed, program);
    dnc::EventLog log([](const std::string& line) {
        if (line.find("Error") != std::string::npos) {
            std::printf("    %s\n", line.c_str());
        }
    });
    dnc::HeadlessService service(rig.store(), log);
    Figures figures;
    if (service.start() != 1) {
        std::printf("    the service did not start the sub net\n");
        return figures;
    }
    runTransfers(
        rig, program, reps,
        [&service](const std::function<bool()>& done) {
            while (!done()) {
                service.serviceOnce(std::chrono::milliseconds(20));
            }
            return true;
        },
        figures);
    service.closeAll();
    return figures;
}

Figures windowed(std::int32_t speed, const std::string& program, int reps) {
    Rig rig(speed, program);
    CountingDialogs dialogs;
    Figures figures;
    {
        dnc::window::frmDNC window(rig.store(), 1, dialogs);
        window.Initialize();
        window.show();
        window.selectUnit(1);  // the views show unit 1 and refresh on its events
        runTransfers(
            rig, program, reps,
            [](const std::function<bool()>& done) {
                QEventLoop loop;
                QTimer check;
                QObject::connect(&check, &QTimer::timeout, &loop, [&] {
                    if (done()) {
                        loop.quit();
                    }
                });
                check.start(20);
                if (!done()) {
                    loop.exec();
                }
                return true;
            },
            figures);
        window.close();
    }
    return figures;
}

void print(const char* owner, std::int32_t speed, const Figures& f) {
    std::printf("%-9s %7d %12.0f %12.0f %9.3f s %7.2f %% %9.3f s   %d/%d intact\n", owner, speed,
                f.downRate, f.upRate, f.guiCpu, 100.0 * f.guiCpu / std::max(f.wall, 1e-9),
                f.processCpu, f.intact, f.transfers);
}

double ratio(double window, double headless) {
    return headless > 0 ? window / headless : 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::size_t size = 32 * 1024;
    int reps = 3;
    std::vector<std::int32_t> speeds;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--size" && i + 1 < argc) {
            size = static_cast<std::size_t>(std::atoi(argv[++i])) * 1024;
        } else if (option == "--reps" && i + 1 < argc) {
            reps = std::atoi(argv[++i]);
        } else {
            speeds.push_back(std::atoi(argv[i]));
        }
    }
    if (speeds.empty()) {
        speeds = {115200, 9600};
    }
    loc::selectLanguage(loc::kEnglish);
    const std::string program = ncProgram(size);
    std::printf(
        "Unit 1 downloads and uploads a %zu-byte program by its own request, %d times "
        "each;\nDNC protocol, line n,8,2, paced pseudo-terminal, Qt platform %s\n",
        program.size(), reps, qPrintable(QGuiApplication::platformName()));
    std::printf("%-9s %7s %12s %12s %11s %9s %11s\n", "owner", "baud", "down B/s", "up B/s",
                "GUI CPU", "of wall", "proc CPU");
    for (std::int32_t speed : speeds) {
        const Figures h = headless(speed, program, reps);
        print("headless", speed, h);
        const Figures w = windowed(speed, program, reps);
        print("window", speed, w);
        std::printf("%-9s %7d %12.3f %12.3f\n", "ratio w/h", speed, ratio(w.downRate, h.downRate),
                    ratio(w.upRate, h.upRate));
        std::fflush(stdout);
    }
    return 0;
}
