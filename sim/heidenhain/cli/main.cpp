// ferix-heidenhain-machine: a simulated machine control on a Heidenhain or Tavro1 line, for
// commissioning and trying the PC's side by hand. See docs/heidenhain-simulators.md.
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "comm/files/FileIo.h"
#include "comm/files/PlainName.h"
#include "sim/ProgramInfo.h"
#include "sim/heidenhain/HeidenhainMachine.h"
#include "sim/heidenhain/link/LineEndOptions.h"

namespace {

std::atomic<bool> interrupted = false;

void onSignal(int) {
    interrupted = true;
}

const char* kUsage =
    R"(usage: ferix-heidenhain-machine (--device PATH | --pty) [options] COMMAND [ARGS]
options:
  --speed N           line speed in bits per second (default 9600)
  --tavro1-crlf       blocks carry the program with CR LF (Tavro1 with HeidenhainCRLF)
  --pc-not-master     the PC's HeidenhainMaster is off ("A" and "E" change places)
  --type L            file-type letter of the machine's headers (default N)
  --memory DIR        the machine's program memory: loaded from DIR, received programs saved there
  --timeout-ms N      how long the machine waits for the PC (default 3000)
  --start-after-ms N  wait before the command starts (time to start the PC's side)
  --refuse-headers N  refuse the PC's first N request headers with NAK ("always": every one)
  --answer-headers B  answer the PC's request headers with the byte B (0-255) instead of ACK
  --ignore-headers    never answer the PC's request headers
  --help              this text
  --version           the program's version
commands:
  serve               answer the PC's headers until interrupted (Ctrl-C)
  request NAME        ask the PC for the program NAME
  send NAME           send the program NAME from the memory to the PC
  listing NAME [L]    ask the PC for its directory listing (type letter L, default n), print it
  delete NAME         ask the PC to delete NAME
)";

struct Options {
    sim::LineEndOptions line;
    std::string memory;
    sim::MachineSettings settings;
    sim::MachineFaults faults;
    std::vector<std::string> command;
};

// A whole decimal number from `low` to `high`, or a clear error naming the option.
int numberFor(const std::string& option, const std::string& text, int low, int high) {
    std::size_t used = 0;
    int value = 0;
    try {
        value = std::stoi(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used == 0 || used != text.size() || value < low || value > high) {
        throw std::runtime_error(option + " needs a number from " + std::to_string(low) + " to " +
                                 std::to_string(high) + ", not \"" + text + "\"");
    }
    return value;
}

bool parse(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                throw std::runtime_error(arg + " needs a value");
            }
            return argv[++i];
        };
        if (options.line.take(arg, value)) {
            continue;
        }
        if (arg == "--tavro1-crlf") {
            options.settings.keepLineEnds = true;
        } else if (arg == "--pc-not-master") {
            options.settings.pcIsMaster = false;
        } else if (arg == "--type") {
            const std::string type = value();
            options.settings.fileType = type.empty() ? 'N' : type[0];
        } else if (arg == "--memory") {
            options.memory = value();
        } else if (arg == "--timeout-ms") {
            options.settings.answerTimeout = std::chrono::milliseconds(std::stoi(value()));
        } else if (arg == "--refuse-headers") {
            const std::string count = value();
            options.faults.refusePcHeaders =
                count == "always" ? sim::MachineFaults::kRefuseAlways
                                  : numberFor(arg, count, 0, sim::MachineFaults::kRefuseAlways);
        } else if (arg == "--answer-headers") {
            options.faults.pcHeaderAnswer = static_cast<char>(numberFor(arg, value(), 0, 255));
        } else if (arg == "--ignore-headers") {
            options.faults.silentToPcHeaders = true;
        } else if (arg.starts_with("--")) {
            throw std::runtime_error("unknown option " + arg);
        } else {
            options.command.push_back(arg);
        }
    }
    return options.line.given() && !options.command.empty();
}

void loadMemory(const std::string& directory, sim::HeidenhainMachine& machine) {
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
        if (entry.is_regular_file()) {
            const auto text = comm::readWholeFile(entry.path());
            if (text) {
                machine.programs()[entry.path().filename().string()] = text.value();
            }
        }
    }
}

// Programs from the line are saved only under plain names, inside the memory directory.
void saveMemory(const std::string& directory, sim::HeidenhainMachine& machine) {
    for (const auto& [name, text] : machine.programs()) {
        if (!comm::isPlainName(name)) {
            std::cerr << "not saved: " << comm::plainNameProblem(name) << "\n";
            continue;
        }
        const comm::Status saved =
            comm::replaceFileAtomically(std::filesystem::path(directory) / name, text);
        if (!saved) {
            std::cerr << "not saved: " << saved.error().description << "\n";
        }
    }
}

// Programs the PC deleted from the memory go from the memory directory too.
void dropDeleted(const std::string& directory, const sim::HeidenhainMachine& machine,
                 std::size_t from) {
    for (std::size_t i = from; i < machine.records().size(); ++i) {
        const auto& r = machine.records()[i];
        if (r.action == "remove" && r.ok && comm::isPlainName(r.name)) {
            std::error_code ignored;
            std::filesystem::remove(std::filesystem::path(directory) / r.name, ignored);
        }
    }
}

void printRecords(const sim::HeidenhainMachine& machine, std::size_t from) {
    for (std::size_t i = from; i < machine.records().size(); ++i) {
        const auto& r = machine.records()[i];
        std::cout << r.action << " " << r.name << ": " << (r.ok ? "done" : "failed")
                  << (r.detail.empty() ? "" : " (" + r.detail + ")") << std::endl;
    }
}

int run(const Options& options) {
    sim::LineEnd end(options.line, std::cout);
    sim::FdPeerLink& link = end.link();
    sim::HeidenhainMachine machine(link, options.settings);
    machine.faults() = options.faults;
    if (!options.memory.empty()) {
        loadMemory(options.memory, machine);
    }
    end.waitToStart([] { return interrupted.load(); });

    const std::string& verb = options.command[0];
    const std::string name = options.command.size() > 1 ? options.command[1] : "";
    if (verb != "serve" && name.empty()) {
        std::cerr << verb << " needs a NAME\n";
        return 2;
    }
    if (verb == "serve") {
        std::size_t shown = 0;
        while (!interrupted) {
            link.runUntil([&] { return interrupted || machine.records().size() > shown; },
                          std::chrono::hours(24));
            printRecords(machine, shown);
            if (!options.memory.empty()) {
                dropDeleted(options.memory, machine, shown);
                saveMemory(options.memory, machine);
            }
            shown = machine.records().size();
            if (link.broken()) {
                std::cerr << "the line went away\n";
                return 1;
            }
        }
        return 0;
    }
    if (verb == "request") {
        machine.requestFile(name);
    } else if (verb == "send") {
        machine.sendFile(name);
    } else if (verb == "listing") {
        const char letter = options.command.size() > 2 ? options.command[2][0] : 'n';
        machine.requestListing(name, letter);
    } else if (verb == "delete") {
        machine.deleteOnPc(name);
    } else {
        std::cerr << "unknown command " << verb << "\n" << kUsage;
        return 2;
    }
    link.runUntil([&] { return interrupted || !machine.busy(); }, std::chrono::hours(24));
    printRecords(machine, 0);
    if (verb == "listing" && machine.listings().contains(name)) {
        std::cout << machine.listings().at(name);
    }
    if (verb == "request" && !options.memory.empty()) {
        saveMemory(options.memory, machine);
    }
    const bool ok = !machine.records().empty() && machine.records().back().ok;
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    if (sim::printedProgramInfo(argc, argv, "ferix-heidenhain-machine", kUsage)) {
        return 0;
    }
    Options options;
    try {
        if (!parse(argc, argv, options)) {
            std::cerr << kUsage;
            return 2;
        }
        return run(options);
    } catch (const std::exception& e) {
        std::cerr << "ferix-heidenhain-machine: " << e.what() << "\n";
        return 2;
    }
}
