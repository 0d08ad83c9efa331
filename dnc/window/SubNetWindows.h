// The program with windows: one sub-net window per sub net named on the command line. SIGINT
// and SIGTERM close every window as its Exit does (line released, configuration and view
// state stored) and end the program with status 0.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "dnc/window/frmDNC.h"

class QApplication;

namespace dnc::window {

struct WindowsOptions {
    std::filesystem::path config;
    std::vector<int> subNets;
    frmDNC::Options window;
    // The history database that the windows record into (with the settings' "Common" options)
    // and show, unless `window.journal` is given. Empty: nothing is recorded.
    std::filesystem::path history;
    // Runs once the windows are open (the demo starts its simulated units here).
    std::function<void(const std::vector<frmDNC*>&)> started;
};

// Whether a display can be reached (or a platform was chosen with QT_QPA_PLATFORM).
bool displayAvailable();

// The message for a program started without a display.
std::string noDisplayMessage(const std::string& program);

// SIGINT and SIGTERM are kept from now on until the event loop reads them from
// stopSignalDescriptor(); false when they could not be caught.
bool installStopSignals();
int stopSignalDescriptor();

// The program's names, the stored language for this thread, and Qt's own buttons and dialogs
// in that language.
void prepareApplication(QApplication& app, const ConfigStore& store);

int runSubNetWindows(int& argc, char** argv, const WindowsOptions& options);

}  // namespace dnc::window
