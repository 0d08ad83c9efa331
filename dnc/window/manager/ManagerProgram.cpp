#include "dnc/window/manager/ManagerProgram.h"

#include <unistd.h>

#include <QApplication>
#include <QDBusConnection>
#include <QSocketNotifier>
#include <QSystemTrayIcon>
#include <atomic>
#include <iostream>
#include <memory>

#include "dnc/automation/NetworkBus.h"
#include "dnc/history/HistoryRecorder.h"
#include "dnc/manager/RevisionDesk.h"
#include "dnc/service/HistorySettings.h"
#include "dnc/window/QtOperatorDialogs.h"
#include "dnc/window/SubNetWindows.h"
#include "dnc/window/manager/frmDNCMain.h"

namespace dnc::window {

int runNetworkManager(int& argc, char** argv, const ManagerProgramOptions& options) {
    QApplication app(argc, argv);
    // The manager lives in the tray: closing the last sub-net window ends nothing.
    QApplication::setQuitOnLastWindowClosed(false);
    ConfigStore store(options.config);
    prepareApplication(app, store);

    const bool signalsInstalled = installStopSignals();
    // The recorder outlives the manager and its windows: the sub nets' last transfers are
    // written before it goes. Its reports come from its own thread, as whole lines.
    // The desk goes after the recorder, whose thread tells it of revisions to the end.
    std::atomic<RevisionDesk*> deskReady{nullptr};
    std::unique_ptr<RevisionDesk> desk;
    std::unique_ptr<history::HistoryRecorder> recorder;
    frmDNCMain::Options managerOptions;
    if (!options.history.empty()) {
        auto recorderOptions = historyRecorderOptions(
            store, options.history,
            [](const std::string& text) { std::cerr << "FerixDNC: " + text + "\n"; });
        recorderOptions.revisionWritten = [&deskReady](const history::RevisionNotice& n) {
            if (RevisionDesk* d = deskReady.load()) {
                d->revisionWritten(n);
            }
        };
        recorder = std::make_unique<history::HistoryRecorder>(std::move(recorderOptions));
        desk = std::make_unique<RevisionDesk>(options.history, *recorder);
        deskReady = desk.get();
        managerOptions.subNet.journal = recorder.get();
        managerOptions.subNet.history = options.history;
        managerOptions.subNet.revisions = desk.get();
    }
    QtOperatorDialogs dialogs;
    managerOptions.showInTaskbar = options.showInTaskbar;
    managerOptions.trayAvailable = QSystemTrayIcon::isSystemTrayAvailable();
    frmDNCMain manager(store, dialogs, managerOptions);
    QObject::connect(&manager, &frmDNCMain::managerUnloaded, &app, &QApplication::quit,
                     Qt::QueuedConnection);

    auto bus = std::make_unique<automation::NetworkBus>(
        manager, QDBusConnection::sessionBus(),
        [](const std::string& text) { std::cerr << "FerixDNC: " << text << "\n"; });
    if (!bus->publish()) {
        std::cerr << "FerixDNC: not driven over D-Bus on the session bus (see above)\n";
    }

    std::unique_ptr<QSocketNotifier> stopNotifier;
    if (signalsInstalled) {
        stopNotifier =
            std::make_unique<QSocketNotifier>(stopSignalDescriptor(), QSocketNotifier::Read);
        QObject::connect(stopNotifier.get(), &QSocketNotifier::activated, &app, [&] {
            char byte = 0;
            while (read(stopSignalDescriptor(), &byte, 1) > 0) {
            }
            dialogs.dismissAll();  // an open box must not hold the closing up
            manager.close();
        });
    }
    manager.show();
    for (int n : options.subNets) {
        manager.startSubNet(n);
    }
    QApplication::exec();
    manager.unload();  // the loop ended otherwise (a signal during a box): still stored
    QApplication::processEvents();  // the last signals of the sub nets leave before the names
    bus.reset();
    return 0;
}

}  // namespace dnc::window
