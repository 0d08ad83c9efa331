#include "dnc/app/DemoWindow.h"

#include "dnc/app/Demo.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

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

extern char** environ;

namespace fs = std::filesystem;

namespace dnc {

namespace {

constexpr std::int32_t kSpeed = 9600;
constexpr double kBitsPerCharacter = 11;

std::string program(const std::string& name, int lines) {
    return demoProgram(name, lines);
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

// The simulated machine control of the Heidenhain and Tavro1 demos, a program beside this one
// on a pseudo-terminal of its own; it tells which device the PC's side opens.
class MachineProcess {
public:
    MachineProcess(const std::string& protocol, const fs::path& memory, const fs::path& log) {
        const fs::path self = fs::read_symlink("/proc/self/exe");
        const fs::path program = self.parent_path() / "ferix-heidenhain-machine";
        if (!fs::exists(program)) {
            return;
        }
        std::vector<std::string> args{program.string(), "--pty", "--memory", memory.string()};
        if (protocol == "tavro1") {
            args.push_back("--tavro1-crlf");
        }
        args.push_back("serve");
        std::vector<char*> argv;
        for (auto& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        // Its output goes to a file: the machine writes for as long as it runs.
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        const std::string marker = "control device: ";
        for (int tries = 0; pid_ > 0 && tries < 100 && device_.empty(); ++tries) {
            usleep(50000);
            std::ifstream in(log);
            for (std::string text; std::getline(in, text);) {
                if (text.rfind(marker, 0) == 0) {
                    device_ = text.substr(marker.size());
                }
            }
        }
    }
    ~MachineProcess() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    MachineProcess(const MachineProcess&) = delete;
    MachineProcess& operator=(const MachineProcess&) = delete;

    const std::string& device() const { return device_; }

private:
    pid_t pid_ = -1;
    std::string device_;
};

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

    const fs::path machineMemory = work / "Machine";
    fs::create_directories(machineMemory);
    write(machineMemory / "PLATE.H",
          "0 BEGIN PGM PLATE MM\r\n1 L X+10 Y+5 R0 F500\r\n2 END PGM PLATE MM\r\n");
    write(machineMemory / "HOUSING.H",
          "0 BEGIN PGM HOUSING MM\r\n1 L Z+50 FMAX\r\n2 END PGM HOUSING MM\r\n");

    int status = 0;
    {
        sim::PtyPair pty;
        std::unique_ptr<MachineProcess> machine;
        if (protocol == "heidenhain" || protocol == "tavro1") {
            machine =
                std::make_unique<MachineProcess>(protocol, machineMemory, work / "machine.log");
        }
        const std::string device =
            machine && !machine->device().empty() ? machine->device() : pty.devicePath();
        ConfigStore store(work / "DNC.ini");
        store.write("Ports", "1", device);
        store.write("Common", "HistoryKeepPrograms", "True");  // the history can show them
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
        std::cout << "FerixDNC window demo: sub net 1 on " << device << " (" << protocol
                  << "), files in " << work.string() << "\n";
        window::WindowsOptions options;
        options.config = store.file();
        options.subNets = {1};
        options.history = work / "history.db";
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
