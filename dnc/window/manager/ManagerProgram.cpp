#include "dnc/window/manager/ManagerProgram.h"

#include <unistd.h>

#include <QApplication>
#include <QDBusConnection>
#include <QSocketNotifier>
#include <QSystemTrayIcon>
#include <iostream>
#include <memory>

#include "dnc/automation/NetworkBus.h"
#include "dnc/service/HistoryServices.h"
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
    std::unique_ptr<HistoryServices> history;
    frmDNCMain::Options managerOptions;
    if (!options.history.empty()) {
        history = std::make_unique<HistoryServices>(
            store, options.history,
            [](const std::string& text) { std::cerr << "FerixDNC: " + text + "\n"; });
        managerOptions.subNet.journal = &history->recorder();
        managerOptions.subNet.history = options.history;
        managerOptions.subNet.revisions = &history->desk();
        managerOptions.subNet.historyBehind = [recorder = &history->recorder()] {
            return recorder->behind();
        };
    }
    QtOperatorDialogs dialogs;
    managerOptions.showInTaskbar = options.showInTaskbar;
    managerOptions.trayAvailable = QSystemTrayIcon::isSystemTrayAvailable();
    frmDNCMain manager(store, dialogs, managerOptions);
    if (history) {
        // Other sites' requests for this one's revisions are carried out on its sub nets.
        history->requests().attach(&manager);
    }
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
    if (history) {
        history->requests().attach(nullptr);  // the manager goes first
    }
    manager.unload();  // the loop ended otherwise (a signal during a box): still stored
    QApplication::processEvents();  // the last signals of the sub nets leave before the names
    bus.reset();
    return 0;
}

}  // namespace dnc::window
