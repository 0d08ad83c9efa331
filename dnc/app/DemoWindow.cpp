#include "dnc/app/DemoWindow.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>

#include "dnc/config/ConfigStore.h"
#include "dnc/config/SubNetConfiguration.h"
#include "dnc/window/SubNetWindows.h"
#include "sim/pty/PtyPair.h"
#include "sim/unit/FdUnitLine.h"
#include "sim/unit/UnitSimulator.h"

namespace fs = std::filesystem;

namespace dnc {

namespace {

constexpr std::int32_t kSpeed = 9600;
constexpr double kBitsPerCharacter = 11;

std::string program(const std::string& name, int lines) {
    std::ostringstream text;
    text << "%\r\n(" << name << ")\r\n";
    for (int n = 1; n <= lines; ++n) {
        text << "N" << n * 10 << " G01 X" << n * 2.5 << " Y" << n * 1.25 << " F200\r\n";
    }
    text << "M30\r\n%\r\n";
    return text.str();
}

void write(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string protocolNumber(const std::string& protocol) {
    if (protocol == "heidenhain") {
        return "2";
    }
    if (protocol == "tavro1") {
        return "5";
    }
    if (protocol == "plain") {
        return "4";
    }
    return "3";
}

}  // namespace

int runDemoWindow(int& argc, char** argv, const std::string& protocol) {
    if (!window::displayAvailable()) {
        std::cerr << window::noDisplayMessage("FerixDNC");
        return 2;
    }
    char pattern[] = "/tmp/ferixdnc-window-demo-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        std::cerr << "demo: cannot make a working folder in /tmp\n";
        return 1;
    }
    const fs::path work = pattern;
    const fs::path root = work / "DNC1";
    const fs::path programs = work / "Programs";
    fs::create_directories(root / "Machine1");
    fs::create_directories(root / "Machine2");
    fs::create_directories(programs);
    write(root / "Machine1" / "SHAFT.WTX", program("SHAFT", 40));
    write(root / "Machine1" / "BRACKET.WTX", program("BRACKET", 12));
    write(root / "Machine2" / "FLANGE.WTX", program("FLANGE", 25));
    write(programs / "SHAFT.ncp", program("SHAFT", 40));
    write(programs / "FLANGE.ncp", program("FLANGE", 25));
    write(programs / "notes.txt", "Programs of the demo line\n");

    int status = 0;
    {
        sim::PtyPair pty;
        ConfigStore store(work / "DNC.ini");
        store.write("Ports", "1", pty.devicePath());
        store.write(subNetSection(1), {{"Caption", "Demo line (" + protocol + ")"},
                                       {"Protocol", protocolNumber(protocol)},
                                       {"CommSpeed", std::to_string(kSpeed)},
                                       {"FerixHomeDir", root.string() + "/"},
                                       {"FerixDir1", "Machine1/"},
                                       {"FerixDir2", "Machine2/"},
                                       {"Connected1", "True"},
                                       {"Connected2", "True"},
                                       {"listDirPath1", programs.string()},
                                       {"listDirPath2", programs.string()},
                                       {"Editor", "xdg-open"}});

        sim::unit::UnitSimulator units;
        units.addUnit(1).memory().store({"SHAFT", 1, program("SHAFT", 40)});
        units.addUnit(2).memory().store({"GEAR", 1, program("GEAR", 30)});
        std::unique_ptr<sim::unit::FdUnitLine> line;
        if (protocol == "dnc") {
            line = std::make_unique<sim::unit::FdUnitLine>(
                units, pty.masterFd(), sim::unit::characterTime(kSpeed, kBitsPerCharacter));
            line->preferPromptAnswers(true);
            line->start();
        }
        std::cout << "FerixDNC window demo: sub net 1 on " << pty.devicePath() << " (" << protocol
                  << "), files in " << work.string() << "\n";
        window::WindowsOptions options;
        options.config = store.file();
        options.subNets = {1};
        // The first unit is selected, so that its three lists show at once.
        options.started = [](const std::vector<window::frmDNC*>& windows) {
            for (window::frmDNC* w : windows) {
                w->selectUnit(1);
            }
        };
        status = window::runSubNetWindows(argc, argv, options);
        if (line) {
            line->stop();
        }
    }
    std::error_code ec;
    fs::remove_all(work, ec);
    return status;
}

}  // namespace dnc
