#include "dnc/window/SubNetWindows.h"

#include "dnc/window/QtLanguage.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QSocketNotifier>
#include <QTranslator>
#include <cstdlib>
#include <iostream>
#include <memory>

#include "dnc/history/HistoryStore.h"
#include "dnc/history/ServerLocation.h"
#include "dnc/service/HistoryServices.h"
#include "dnc/window/QtOperatorDialogs.h"
#include "localizing/lookup/ResourceStrings.h"

namespace dnc::window {

namespace {

int g_signalPipe[2] = {-1, -1};

void onStopSignal(int) {
    const char byte = 1;
    // Nothing else is safe in a signal handler; the event loop reads the pipe.
    [[maybe_unused]] const auto written = write(g_signalPipe[1], &byte, 1);
}

}  // namespace

bool installStopSignals() {
    if (pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        return false;
    }
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    return true;
}

int stopSignalDescriptor() {
    return g_signalPipe[0];
}

void prepareApplication(QApplication& app, const ConfigStore& store) {
    QApplication::setApplicationName(QStringLiteral("FerixDNC"));
    QApplication::setOrganizationName(QStringLiteral("DNC"));
    const auto language =
        static_cast<std::uint16_t>(store.section("Common").readInt("LangID", 0, 0, 0xFFFF));
    (void)app;
    applyQtLanguage(loc::selectLanguage(language));
}

bool displayAvailable() {
    const auto set = [](const char* name) {
        const char* value = std::getenv(name);
        return value != nullptr && value[0] != '\0';
    };
    return set("QT_QPA_PLATFORM") || set("DISPLAY") || set("WAYLAND_DISPLAY");
}

std::string noDisplayMessage(const std::string& program) {
    return program +
           ": no display to open the sub-net windows on (neither DISPLAY nor WAYLAND_DISPLAY is "
           "set).\nRun the sub nets without windows with --headless, for example:\n  " +
           program + " --headless --subnet 1\n";
}

int runSubNetWindows(int& argc, char** argv, const WindowsOptions& options) {
    QApplication app(argc, argv);
    ConfigStore store(options.config);
    prepareApplication(app, store);

    // From here on a signal is kept in the pipe until the windows are up to close.
    const bool signalsInstalled = installStopSignals();
    // The recorder outlives the windows: their sub nets' last transfers are written before it
    // goes. Its reports come from its own thread, as whole lines.
    std::unique_ptr<HistoryServices> history;
    frmDNC::Options windowOptions = options.window;
    if (windowOptions.journal == nullptr && !options.history.empty()) {
        history = std::make_unique<HistoryServices>(
            store, options.history,
            [](const std::string& text) { std::cerr << "FerixDNC: " + text + "\n"; });
        windowOptions.journal = &history->recorder();
        windowOptions.history = options.history;
        if (history::isServerLocation(options.history.string())) {
            windowOptions.historySite =
                history::siteName(store.section("Common").readString("PlantSite", ""));
        }
        windowOptions.revisions = &history->desk();
        windowOptions.historyBehind = [recorder = &history->recorder()] {
            return recorder->behind();
        };
    }
    QtOperatorDialogs dialogs;
    std::vector<std::unique_ptr<frmDNC>> windows;
    int open = 0;
    for (int n : options.subNets) {
        auto window = std::make_unique<frmDNC>(store, n, dialogs, windowOptions);
        QObject::connect(window.get(), &frmDNC::subNetClosed, &app, [&open] {
            if (--open == 0) {
                QApplication::quit();
            }
        });
        window->Initialize();
        window->show();
        ++open;
        windows.push_back(std::move(window));
    }
    if (open == 0) {
        return 0;
    }
    std::unique_ptr<QSocketNotifier> stopNotifier;
    if (signalsInstalled) {
        stopNotifier = std::make_unique<QSocketNotifier>(g_signalPipe[0], QSocketNotifier::Read);
        QObject::connect(stopNotifier.get(), &QSocketNotifier::activated, &app, [&] {
            char byte = 0;
            while (read(g_signalPipe[0], &byte, 1) > 0) {
            }
            dialogs.dismissAll();  // an open box must not hold the closing up
            for (const auto& window : windows) {
                window->close();
            }
            QApplication::quit();
        });
    }
    if (options.started) {
        std::vector<frmDNC*> started;
        for (const auto& window : windows) {
            started.push_back(window.get());
        }
        options.started(started);
    }
    QApplication::exec();
    for (const auto& window : windows) {
        window->close();  // a window still open when the loop ended (signal during a box)
    }
    windows.clear();
    return 0;
}

}  // namespace dnc::window
