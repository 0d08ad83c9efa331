#include "tests/hostile/HostileFixture.h"

#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

using namespace sim::unit;

std::string programUnderTest() {
    const char* other = std::getenv("FERIX_PROGRAM");
    return other != nullptr && *other != '\0' ? other : FERIXDNC_PROGRAM;
}

HostileService::HostileService() {
    dir = fs::temp_directory_path() /
          ("ferix-hostile-" + std::to_string(::getpid()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    home = dir / "units";
    for (int unit = 1; unit <= 3; ++unit) {
        fs::create_directories(unitDir(unit));
    }
    settings = dir / "DNC.ini";
    writeSettings();
    startUnits();
}

HostileService::~HostileService() {
    service.reset();  // killed if still running
    if (driver) {
        driver->stop();
    }
    fs::remove_all(dir);
}

void HostileService::writeSettings(const std::string& more, const std::string& ports,
                                   const std::string& flags) {
    std::ofstream(settings) << "[Common]\n1=True\n"
                            << flags << "[Ports]\n1=" << line.devicePath() << "\n"
                            << ports << "[Config1]\nCaption=Hostile\nFerixHomeDir=" << home.string()
                            << "/\nCommSpeed=" << kSpeed
                            << "\nConnected1=True\nConnected2=True\nConnected3=True\n"
                               "FerixDir1=Ferix1/\nFerixDir2=Ferix2/\nFerixDir3=Ferix3/\n"
                            << more;
}

void HostileService::startUnits() {
    if (driver) {
        driver->stop();
    }
    driver.reset();
    units = std::make_unique<UnitSimulator>();
    for (std::uint8_t address = 1; address <= 3; ++address) {
        units->addUnit(address);
    }
    driver = std::make_unique<FdUnitLine>(*units, line.masterFd(), characterTime(kSpeed, 11));
    driver->preferPromptAnswers(true);
    driver->start();
}

void HostileService::startService() {
    service = std::make_unique<ChildProgram>(
        programUnderTest(), std::vector<std::string>{"--headless", "--config", settings.string(),
                                                     "--history", (dir / "history.db").string()});
    ASSERT_TRUE(
        service->waitForOutput("[Hostile]: communication started", std::chrono::seconds(20)))
        << service->output();
}

int HostileService::stopService() {
    service->signal(SIGTERM);
    return service->exitCode(std::chrono::seconds(20));
}

void HostileService::raise(std::uint8_t address, const RequestSpec& request) {
    driver->withUnits([&](UnitSimulator& u) { u.unit(address)->raise(request); });
}

UnitEvent HostileService::waitForUnits(UnitEvent::Kind kind, std::size_t count,
                                       std::chrono::seconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (true) {
        const std::vector<UnitEvent> seen =
            driver->withUnits([&](UnitSimulator& u) { return u.eventsOf(kind); });
        if (seen.size() >= count) {
            return seen[count - 1];
        }
        if (std::chrono::steady_clock::now() > deadline) {
            ADD_FAILURE() << "the units reported " << seen.size() << " of " << count
                          << " events of kind " << kind << "\n"
                          << unitHistory() << (service ? service->output() : "");
            return {};
        }
        if (service) {
            service->drain();
        }
        // The units report from the line's thread; a short look again is the wait.
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

bool HostileService::waitForLine(const std::vector<std::string>& parts,
                                 std::chrono::seconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (true) {
        std::istringstream lines(service->output());
        for (std::string l; std::getline(lines, l);) {
            bool all = true;
            for (const std::string& part : parts) {
                all = all && l.find(part) != std::string::npos;
            }
            if (all) {
                return true;
            }
        }
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        // Reads on until the next output arrives (or a little while passes).
        service->waitForOutput("\n\x01", std::chrono::seconds(1));
    }
}

std::string HostileService::unitHistory() {
    std::string text;
    driver->withUnits([&](UnitSimulator& u) {
        for (const UnitEvent& e : u.events()) {
            text += e.describe() + "\n";
        }
    });
    return text;
}

void HostileService::put(int unit, const std::string& name, const std::string& data) const {
    std::ofstream(unitDir(unit) / name, std::ios::binary) << data;
}

std::string HostileService::read(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::vector<std::string> HostileService::hiddenFiles(int unit) const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(unitDir(unit))) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with('.')) {
            names.push_back(name);
        }
    }
    return names;
}
