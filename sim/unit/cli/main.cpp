// ferix-unit-sim: plays Ferix units on a serial device or pseudo-terminal end for commissioning
// a DNC line without a machine. Commands come from standard input; what the units report goes
// to standard output.
#include <signal.h>

#include <cstdlib>
#include <iostream>
#include <mutex>
#include <string>
#include <vector>

#include "sim/ProgramInfo.h"
#include "sim/unit/FdUnitLine.h"
#include "sim/unit/SerialDevice.h"
#include "sim/unit/UnitCommands.h"
#include "sim/unit/UnitSimulator.h"

namespace {

using namespace sim::unit;

constexpr const char* kUsage =
    "usage: ferix-unit-sim --device <path> [--line <speed,parity,data,stop>] "
    "[--units <address,...>] [--keep-running]\n"
    "  --device   serial device or pseudo-terminal end, e.g. /dev/ttyUSB0 or /dev/pts/5\n"
    "  --line     line format of the DNC line (default 4800,n,8,2)\n"
    "  --units    addresses played, 1 to 11 (default 1)\n"
    "  --keep-running  at the end of standard input go on playing the units until quit by\n"
    "             SIGINT or SIGTERM (a run in the background: ... --keep-running </dev/null &)\n"
    "  --help     this text\n"
    "  --version  the program's version\n"
    "Commands are read from standard input; type help for the list.\n";

bool parseUnits(const std::string& text, std::vector<int>& out) {
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t comma = text.find(',', start);
        const std::string word = text.substr(start, comma - start);
        char* end = nullptr;
        const long address = std::strtol(word.c_str(), &end, 10);
        if (word.empty() || *end != '\0' || address < 1 || address > 11) {
            return false;
        }
        out.push_back(static_cast<int>(address));
        if (comma == std::string::npos) {
            break;
        }
        start = comma + 1;
    }
    return !out.empty();
}

// Plays on after the input ended, until SIGINT or SIGTERM (blocked in every thread beforehand,
// so that they arrive here) or a failure of the line. Status 0 for a signal, 1 for a failure.
int playUntilStopped(const sigset_t& stops, const FdUnitLine& driver) {
    const timespec check{1, 0};  // how soon a failed line is noticed
    for (;;) {
        if (::sigtimedwait(&stops, nullptr, &check) >= 0) {
            return 0;
        }
        if (driver.failure() != 0) {
            std::cerr << "ferix-unit-sim: the line failed (error " << driver.failure() << ")\n";
            return 1;
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::string device;
    std::string line = "4800,n,8,2";
    std::vector<int> addresses;
    bool keepRunning = false;
    if (sim::printedProgramInfo(argc, argv, "ferix-unit-sim", kUsage)) {
        return 0;
    }
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--keep-running") {
            keepRunning = true;
        } else if ((arg == "--device" || arg == "--line" || arg == "--units") && i + 1 < argc) {
            const std::string value = argv[++i];
            if (arg == "--device") {
                device = value;
            } else if (arg == "--line") {
                line = value;
            } else if (!parseUnits(value, addresses)) {
                std::cerr << "ferix-unit-sim: --units wants addresses 1 to 11, e.g. 1,2,11\n";
                return 2;
            }
        } else {
            std::cerr << kUsage;
            return 2;
        }
    }
    if (device.empty()) {
        std::cerr << kUsage;
        return 2;
    }
    const std::optional<LineFormat> format = parseLineFormat(line);
    if (!format) {
        std::cerr << "ferix-unit-sim: \"" << line << "\" is not a line format such as 9600,n,8,2\n";
        return 2;
    }
    if (addresses.empty()) {
        addresses.push_back(1);
    }

    sigset_t stops;
    sigemptyset(&stops);
    if (keepRunning) {
        sigaddset(&stops, SIGINT);
        sigaddset(&stops, SIGTERM);
        ::pthread_sigmask(SIG_BLOCK, &stops, nullptr);
    }

    SerialDevice port;
    if (const std::string why = port.open(device, *format); !why.empty()) {
        std::cerr << "ferix-unit-sim: " << why << "\n";
        return 1;
    }

    std::mutex outputMutex;
    UnitSimulator units;
    units.setKeepEvents(false);
    units.setEventSink([&](const UnitEvent& event) {
        std::lock_guard<std::mutex> lock(outputMutex);
        std::cout << event.describe() << std::endl;
    });
    for (int address : addresses) {
        units.addUnit(static_cast<std::uint8_t>(address));
    }
    FdUnitLine driver(units, port.descriptor(),
                      characterTime(format->speed, format->bitsPerCharacter()));
    driver.preferPromptAnswers(true);
    driver.start();
    {
        std::lock_guard<std::mutex> lock(outputMutex);
        std::cout << "ferix-unit-sim on " << device << " at " << line << ", units";
        for (int address : addresses) {
            std::cout << " " << address;
        }
        std::cout << "; type help for the commands" << std::endl;
    }

    UnitCommands commands([&](const std::function<void(UnitSimulator&)>& f) {
        driver.withUnits([&](UnitSimulator& u) { f(u); });
    });
    std::string input;
    while (!commands.quitRequested() && std::getline(std::cin, input)) {
        const std::string answer = commands.execute(input);
        if (!answer.empty()) {
            std::lock_guard<std::mutex> lock(outputMutex);
            std::cout << answer << (answer.back() == '\n' ? "" : "\n") << std::flush;
        }
        if (driver.failure() != 0) {
            std::cerr << "ferix-unit-sim: the line failed (error " << driver.failure() << ")\n";
            return 1;
        }
    }
    int status = 0;
    if (keepRunning && !commands.quitRequested()) {
        {
            std::lock_guard<std::mutex> lock(outputMutex);
            std::cout << "ferix-unit-sim: end of the input; the units play on until SIGINT or "
                         "SIGTERM"
                      << std::endl;
        }
        status = playUntilStopped(stops, driver);
    }
    driver.stop();
    return status;
}
