#include "dnc/app/Demo.h"

#include <stdlib.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <mutex>
#include <sstream>

#include "comm/requests/MemoryList.h"
#include "dnc/config/ConfigStore.h"
#include "dnc/manager/SubNet.h"
#include "dnc/service/EventLog.h"
#include "sim/pty/PtyPair.h"
#include "sim/unit/FdUnitLine.h"
#include "sim/unit/UnitSimulator.h"

namespace fs = std::filesystem;

namespace dnc {

namespace {

constexpr int kSubNet = 1;
constexpr std::int32_t kSpeed = 9600;
constexpr double kBitsPerCharacter = 11;  // 8 data bits, no parity, 2 stop bits
constexpr auto kStepTimeout = std::chrono::seconds(60);

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Events of the sub net and of the units, written as they come, and waited for by the steps.
class DemoSession : public SubNetOwner {
public:
    explicit DemoSession(std::ostream& out)
        : out_(out), log_([this](const std::string& line) { printLocked("  " + line); }) {}

    void deliver(const SubNetEvent& event) override {
        std::lock_guard<std::mutex> lock(mutex_);
        log_.event(event);
        subNetEvents_.push_back(event);
        changed_.notify_all();
    }
    void confirm(int, const std::string&, const std::string& text) override {
        print("  prompt confirmed: " + text);
    }
    void unitEvent(const sim::unit::UnitEvent& event) {
        std::lock_guard<std::mutex> lock(mutex_);
        printLocked("  " + event.describe());
        unitEvents_.push_back(event);
        changed_.notify_all();
    }
    void print(const std::string& line) {
        std::lock_guard<std::mutex> lock(mutex_);
        printLocked(line);
    }

    // The event log writes while deliver() holds the lock.
    // Waits until `done` holds (checked under the session's lock).
    bool waitFor(const std::function<bool()>& done) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, kStepTimeout, done);
    }
    bool unitReported(std::uint8_t unit, sim::unit::UnitEvent::Kind kind) const {
        for (const auto& e : unitEvents_) {
            if (e.unit == unit && e.kind == kind) {
                return true;
            }
        }
        return false;
    }
    const sim::unit::UnitEvent* lastUnitEvent(std::uint8_t unit,
                                              sim::unit::UnitEvent::Kind kind) const {
        for (auto it = unitEvents_.rbegin(); it != unitEvents_.rend(); ++it) {
            if (it->unit == unit && it->kind == kind) {
                return &*it;
            }
        }
        return nullptr;
    }
    // For predicates of waitFor, which run under the lock.
    int count(SubNetEvent::Kind kind, std::uint8_t unit = 0) const {
        int n = 0;
        for (const auto& e : subNetEvents_) {
            n += e.kind == kind && (unit == 0 || e.unit == unit) ? 1 : 0;
        }
        return n;
    }
    int countNow(SubNetEvent::Kind kind, std::uint8_t unit = 0) {
        std::lock_guard<std::mutex> lock(mutex_);
        return count(kind, unit);
    }
    // The newest: an error an earlier step lived through does not explain this one.
    std::string lastError() {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto e = subNetEvents_.rbegin(); e != subNetEvents_.rend(); ++e) {
            if (e->kind == SubNetEvent::Kind::OnError ||
                e->kind == SubNetEvent::Kind::StartFailed) {
                return e->description;
            }
        }
        return {};
    }
    void forgetUnitEvents() {
        std::lock_guard<std::mutex> lock(mutex_);
        unitEvents_.clear();
    }

private:
    void printLocked(const std::string& line) { out_ << line << std::endl; }

    std::ostream& out_;
    EventLog log_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<SubNetEvent> subNetEvents_;
    std::vector<sim::unit::UnitEvent> unitEvents_;
};

struct Step {
    std::string title;
    std::function<std::string()> run;  // empty text: success, else what went wrong
};

std::string program(const std::string& name, int lines) {
    return demoProgram(name, lines);
}

}  // namespace

std::string demoProgram(const std::string& name, int lines) {
    std::ostringstream text;
    text << "%\r\n(" << name << ")\r\n";
    for (int n = 1; n <= lines; ++n) {
        text << "N" << n * 10 << " G01 X" << n * 2.5 << " Y" << n * 1.25 << " F200\r\n";
    }
    text << "M30\r\n%\r\n";
    return text.str();
}

int runDemo(std::ostream& out) {
    char pattern[] = "/tmp/ferixdnc-demo-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        out << "demo: cannot make a working folder in /tmp\n";
        return 1;
    }
    const fs::path work = pattern;
    const fs::path root = work / "DNC1";
    fs::create_directories(root / "Machine1");
    fs::create_directories(root / "Machine2");
    const std::string shaft = program("SHAFT", 40);
    const std::string flange = program("FLANGE", 25);
    const std::string gear = program("GEAR", 30);
    std::ofstream(root / "Machine1" / "SHAFT.WTX", std::ios::binary) << shaft;
    std::ofstream(root / "Machine2" / "FLANGE.WTX", std::ios::binary) << flange;

    int failed = 0;
    {
        sim::PtyPair pty;
        ConfigStore store(work / "DNC.ini");
        store.write("Ports", "1", pty.devicePath());
        store.write(subNetSection(kSubNet), {{"Caption", "Demo line"},
                                             {"CommSpeed", std::to_string(kSpeed)},
                                             {"FerixHomeDir", root.string() + "/"},
                                             {"FerixDir1", "Machine1/"},
                                             {"FerixDir2", "Machine2/"},
                                             {"Connected1", "True"},
                                             {"Connected2", "True"}});

        DemoSession session(out);
        sim::unit::UnitSimulator units;
        units.setEventSink([&session](const sim::unit::UnitEvent& e) { session.unitEvent(e); });
        units.addUnit(1);
        units.addUnit(2).memory().store({"GEAR", 1, gear});
        sim::unit::FdUnitLine line(units, pty.masterFd(),
                                   sim::unit::characterTime(kSpeed, kBitsPerCharacter));
        line.preferPromptAnswers(true);
        line.start();

        out << "FerixDNC demo: sub net \"Demo line\" on " << pty.devicePath() << " at " << kSpeed
            << " bit/s, units 1 and 2 simulated on the other end of the line.\n"
            << "Unit directories: " << root.string() << "/Machine1, Machine2\n\n";

        SubNet subNet(kSubNet, store, session);
        using UnitKind = sim::unit::UnitEvent::Kind;
        const std::vector<Step> steps = {
            {"the line starts and polls the units",
             [&] {
                 subNet.Initialize();
                 return session.waitFor([&] {
                     return session.count(SubNetEvent::Kind::CommunicationStarted) > 0 ||
                            session.count(SubNetEvent::Kind::StartFailed) > 0;
                 }) && session.count(SubNetEvent::Kind::CommunicationStarted) > 0
                            ? std::string()
                            : "the line did not start: " + session.lastError();
             }},
            {"unit 1 asks for program SHAFT and receives it",
             [&] {
                 line.withUnits([](sim::unit::UnitSimulator& u) {
                     u.unit(1)->raise(sim::unit::RequestSpec::download("SHAFT", 1));
                 });
                 if (!session.waitFor(
                         [&] { return session.unitReported(1, UnitKind::ProgramReceived); })) {
                     return std::string("unit 1 did not receive the program");
                 }
                 const auto received = line.withUnits([](sim::unit::UnitSimulator& u) {
                     const auto* file = u.unit(1)->memory().find("SHAFT");
                     return file != nullptr ? file->data : std::string();
                 });
                 return received == shaft ? std::string()
                                          : std::string("unit 1 holds a different program");
             }},
            {"unit 2 sends its program GEAR to the PC",
             [&] {
                 line.withUnits([](sim::unit::UnitSimulator& u) {
                     u.unit(2)->raise(sim::unit::RequestSpec::upload("GEAR", 1));
                 });
                 if (!session.waitFor([&] {
                         return session.count(SubNetEvent::Kind::FerixDirChanged, 2) > 0;
                     })) {
                     return std::string("the program did not arrive in Machine2");
                 }
                 return readFile(root / "Machine2" / "GEAR.WTX") == gear
                            ? std::string()
                            : std::string("Machine2/GEAR.WTX differs from the unit's program");
             }},
            {"unit 1 asks for the listing of its PC directory",
             [&] {
                 line.withUnits([](sim::unit::UnitSimulator& u) {
                     u.unit(1)->raise(sim::unit::RequestSpec::listing());
                 });
                 if (!session.waitFor(
                         [&] { return session.unitReported(1, UnitKind::ListingReceived); })) {
                     return std::string("no listing arrived");
                 }
                 const auto names = line.withUnits([](sim::unit::UnitSimulator& u) {
                     std::vector<std::string> found;
                     for (const auto& e : u.eventsOf(UnitKind::ListingReceived)) {
                         for (const auto& record : e.listing) {
                             found.push_back(record.name);
                         }
                     }
                     return found;
                 });
                 return std::find(names.begin(), names.end(), "SHAFT.WTX") != names.end()
                            ? std::string()
                            : std::string("SHAFT.WTX is missing from the listing");
             }},
            {"the operator sends FLANGE.WTX to unit 2",
             [&] {
                 const int before = session.countNow(SubNetEvent::Kind::FerixMemChanged, 2);
                 // An error an earlier step lived through (a retried block) is not this one's.
                 const int errorsBefore = session.countNow(SubNetEvent::Kind::OnError);
                 subNet.postRequest(
                     [](comm::ctrlFerixComm& c) { c.DoPcRequestFileToFerix(2, "FLANGE.WTX"); });
                 if (!session.waitFor([&] {
                         return session.count(SubNetEvent::Kind::FerixMemChanged, 2) > before ||
                                session.count(SubNetEvent::Kind::OnError) > errorsBefore;
                     })) {
                     return std::string("the transfer did not end");
                 }
                 const auto received = line.withUnits([](sim::unit::UnitSimulator& u) {
                     const auto* file = u.unit(2)->memory().find("FLANGE");
                     return file != nullptr ? file->data : std::string();
                 });
                 return received == flange ? std::string()
                                           : "unit 2 did not get FLANGE: " + session.lastError();
             }},
            {"the operator reads the memory list of unit 2",
             [&] {
                 auto listed = std::make_shared<std::promise<comm::MemoryList>>();
                 auto result = listed->get_future();
                 subNet.postRequest(
                     [listed](comm::ctrlFerixComm& c) { listed->set_value(c.FerixLst(2)); });
                 if (result.wait_for(kStepTimeout) != std::future_status::ready) {
                     return std::string("no memory list");
                 }
                 const comm::MemoryList list = result.get();
                 session.print("  memory list of unit 2: " + std::to_string(list.count) +
                               " programs, " +
                               std::to_string(static_cast<long>(list.freeMemory.value_or(0))) +
                               " bytes free, section " + std::to_string(list.section.value_or(0)));
                 bool gearListed = false;
                 bool flangeListed = false;
                 for (const auto& entry : list.entries) {
                     session.print("    " + entry.name + "  " +
                                   std::to_string(static_cast<long>(entry.size)) + " bytes");
                     gearListed = gearListed || entry.name == "GEAR";
                     flangeListed = flangeListed || entry.name == "FLANGE";
                 }
                 return gearListed && flangeListed
                            ? std::string()
                            : "the list lacks GEAR or FLANGE: " + session.lastError();
             }},
        };

        int number = 0;
        for (const Step& step : steps) {
            ++number;
            session.print("Step " + std::to_string(number) + ": " + step.title);
            const std::string problem = step.run();
            session.print(problem.empty() ? "  ok" : "  FAILED: " + problem);
            failed += problem.empty() ? 0 : 1;
            if (number == 1 && !problem.empty()) {
                break;  // without a line nothing else can work
            }
        }
        subNet.CloseIt();
        line.stop();
        out << "\nSummary: " << (number - failed) << " of " << steps.size() << " steps passed"
            << (failed == 0 ? "." : ", " + std::to_string(failed) + " failed.") << "\n";
    }
    std::error_code ec;
    fs::remove_all(work, ec);
    return failed == 0 ? 0 : 1;
}

}  // namespace dnc
