// FerixDNC: the DNC network of up to 16 sub nets.
#include <signal.h>

#include <atomic>
#include <cstdio>
#include <iostream>

#include "dnc/app/CommandLine.h"
#include "dnc/app/Demo.h"
#include "dnc/automation/HeadlessBus.h"
#include "dnc/config/ConfigStore.h"
#include "dnc/config/SettingsFile.h"
#include "dnc/history/HistoryLocation.h"
#include "dnc/history/ServerLocation.h"
#include "dnc/service/ConfigCheck.h"
#include "dnc/service/HeadlessService.h"
#include "dnc/service/HistoryServices.h"
#include "dnc/service/HistorySettings.h"
#include "ferix/Version.h"
#ifdef FERIX_WITH_WINDOWS
#include "dnc/app/DemoWindow.h"
#include "dnc/window/SubNetWindows.h"
#include "dnc/window/manager/ManagerProgram.h"
#endif

namespace {

std::atomic<bool> g_stop{false};

void requestStop(int) {
    g_stop = true;
}

void installStopSignals() {
    struct sigaction action {};
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

int runHeadless(const dnc::CommandLine& line, int argc, char** argv) {
    dnc::EventLog log([](const std::string& text) {
        std::fputs((text + "\n").c_str(), stdout);
        std::fflush(stdout);
    });
    // The store's notes (a backup kept, a write that failed) go to the log as well.
    dnc::ConfigStore store(dnc::configPath(line.config),
                           [&log](const std::string& text) { log.note(0, "FerixDNC", text); });
    // Running on defaults in place of settings that are there but unknown would drive the
    // wrong lines, and nothing could be saved: the service does not start.
    if (const auto problem = store.problem()) {
        log.note(0, "FerixDNC", "settings " + *problem + "; the service does not start");
        return 1;
    }
    // The recorder outlives the service: the sub nets' last transfers are written before it
    // goes. Its reports come from its own thread; the log's sink writes whole lines.
    const auto historyFile = dnc::historyLocation(store, line.history, line.defaultHistory);
    dnc::HistoryServices history(
        store, historyFile, [&log](const std::string& text) { log.note(0, "FerixDNC", text); });
    dnc::ServiceOptions options;
    options.subNets = line.subNets;
    options.journal = &history.recorder();
    options.revisions = &history.desk();
    // Beats go through the history's thread like the records: a line never waits on the store.
    options.heartbeat = [&history](dnc::history::Heartbeat beat) {
        history.recorder().beat(std::move(beat));
    };
    dnc::HeadlessService service(store, log, options);
    // Other sites' requests for this one's revisions are carried out on its sub nets.
    history.requests().attach(&service);
    installStopSignals();
    log.note(0, "FerixDNC", "settings " + store.file().string());
    log.note(0, "FerixDNC", "history " + dnc::history::maskedLocation(historyFile.string()));
    const auto bus =
        line.systemBus ? dnc::automation::BusKind::System : dnc::automation::BusKind::Session;
    dnc::automation::runHeadlessOnBus(service, log, bus, g_stop, argc, argv);
    history.requests().attach(nullptr);  // the service goes first
    log.note(0, "FerixDNC", "stopped");
    return 0;
}

// The network manager and the sub-net windows; without a display (or without Qt) a clear message
// and status 2.
int runWindows(const dnc::CommandLine& line, const std::string& program, int& argc, char** argv) {
#ifdef FERIX_WITH_WINDOWS
    if (!dnc::window::displayAvailable()) {
        std::cerr << dnc::window::noDisplayMessage(program);
        return 2;
    }
    if (line.mode == dnc::CommandLine::Mode::DemoWindow) {
        return dnc::runDemoWindow(argc, argv, line.demoProtocol);
    }
    dnc::window::ManagerProgramOptions options;
    options.config = dnc::configPath(line.config);
    if (const auto problem = dnc::settingsFileProblem(options.config)) {
        std::cerr << program << ": settings " << *problem << "; the program does not start\n";
        return 1;
    }
    options.subNets = line.subNets;
    options.showInTaskbar = line.showInTaskbar;
    const dnc::ConfigStore settings(options.config);
    options.history = dnc::historyLocation(settings, line.history, line.defaultHistory);
    return dnc::window::runNetworkManager(argc, argv, options);
#else
    (void)line;
    (void)argc;
    (void)argv;
    std::cerr << program
              << ": this build has no windows (Qt 6 was not found); run the sub nets "
                 "with --headless\n";
    return 2;
#endif
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const std::string program = argc > 0 ? argv[0] : "FerixDNC";
    const dnc::CommandLine line = dnc::parseCommandLine(arguments);
    switch (line.mode) {
        case dnc::CommandLine::Mode::Help:
            std::cout << dnc::usageText(program);
            return 0;
        case dnc::CommandLine::Mode::Version:
            std::cout << "FerixDNC " << ferix::kVersion << "\n";
            return 0;
        case dnc::CommandLine::Mode::Headless:
            return runHeadless(line, argc, argv);
        case dnc::CommandLine::Mode::Demo:
            return dnc::runDemo(std::cout);
        case dnc::CommandLine::Mode::CheckConfig:
            return dnc::checkConfiguration(dnc::configPath(line.config), line.subNets, std::cout);
        case dnc::CommandLine::Mode::Windows:
        case dnc::CommandLine::Mode::DemoWindow:
            return runWindows(line, program, argc, argv);
        case dnc::CommandLine::Mode::Usage:
            break;
    }
    if (!line.error.empty()) {
        std::cerr << program << ": " << line.error << "\n\n";
    }
    std::cerr << dnc::usageText(program);
    return 2;
}
