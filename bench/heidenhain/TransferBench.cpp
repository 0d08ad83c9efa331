// Throughput of the plain send and of the Heidenhain block send over a pseudo-terminal that the
// control paces to the line speed, against the simulated puncher and machine control.
//
//   HeidenhainTransferBench [--bytes N] [--speeds 9600,115200] [--only plain|blocks]
//                           [--via rfc2217|tcp]
//
// With --via the control reaches the pseudo-terminal through ser2net on the loopback address.
//
// Prints, per run, the payload rate and its ratio: for the plain send to the line rate, for the
// block send to the most the protocol allows (every frame byte, every ACK, ETX and EOT back to
// back at the line speed, no pause).
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "comm/FerixComm.h"
#include "comm/RealHost.h"
#include "comm/files/FileIo.h"
#include "comm/heidenhain/BlockCutter.h"
#include "comm/heidenhain/BlockFrames.h"
#include "comm/plain/PlainSender.h"
#include "localizing/lookup/ResourceStrings.h"
#include "sim/fakes/RecordingSite.h"
#include "sim/heidenhain/HeidenhainMachine.h"
#include "sim/heidenhain/link/FdPeerLink.h"
#include "sim/net/Ser2net.h"
#include "sim/pty/PtyPair.h"
#include "sim/tape/TapePuncher.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// 8 data bits, no parity, 1 stop bit.
constexpr double kBitsPerCharacter = 10.0;

// How the control reaches the line: "" (the pty itself), "rfc2217" or "tcp" through ser2net.
std::string via;

struct Result {
    double seconds = 0;
    bool intact = false;
    double boundSeconds = 0;  // blocks: the protocol-bound minimum
};

std::string program(std::size_t size) {
    std::string text;
    for (int i = 0; text.size() < size; ++i) {
        text += "N" + std::to_string(i * 10 % 100000) + " G01 X" + std::to_string(i % 997) +
                ".125 Y-" + std::to_string(i % 389) + ".5 F1200\r\n";
    }
    text.resize(size);
    return text;
}

// A control on the terminal end of a fresh pty, unit 1 in a temporary directory.
struct Bench {
    explicit Bench(int speed) {
        loc::selectLanguage(loc::kEnglish);
        std::string pattern =
            (std::filesystem::temp_directory_path() / "ferix-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("mkdtemp failed");
        }
        home = pattern;
        std::filesystem::create_directory(home / "Ferix1");
        control.setPortDevices([this](int) { return pty.devicePath(); });
        if (!via.empty()) {
            server = std::make_unique<sim::Ser2net>(
                via == "tcp" ? sim::Ser2net::Kind::RawTcp : sim::Ser2net::Kind::Rfc2217,
                pty.devicePath(), speed);
            if (const std::string why = server->start(); !why.empty()) {
                throw std::runtime_error(why);
            }
            control.setPortDevices([this](int) { return server->address(); });
        }
        control.setFerixHomeDir(home.string() + "/");
        (void)control.setFerixDir(1, "Ferix1/");
        if (!control.setCommSpeed(std::to_string(speed)) || !control.setCommStopBit("1")) {
            throw std::runtime_error("line settings refused");
        }
    }
    ~Bench() {
        std::error_code ec;
        std::filesystem::remove_all(home, ec);
    }

    sim::PtyPair pty;
    std::unique_ptr<sim::Ser2net> server;
    std::filesystem::path home;
    std::atomic<bool> lineUp = false;
    std::atomic<bool> machineDone = false;
    comm::RealHost host{[this] {
        lineUp = true;
        if (machineDone && control.Active() && control.Protocol() != comm::ProtNone) {
            (void)control.setActive(false);
        }
    }};
    sim::RecordingSite site;
    comm::ctrlFerixComm control{host, site};
    sim::FdPeerLink peer{pty.masterFd()};
};

Result plainSend(int speed, const std::string& text) {
    Bench bench(speed);
    const auto path = bench.home / "Ferix1" / "P";
    if (!comm::replaceFileAtomically(path, text)) {
        throw std::runtime_error("cannot write the program");
    }
    if (!bench.control.setProtocol(comm::ProtNone) || !bench.control.setActive(true)) {
        throw std::runtime_error("cannot open the line");
    }
    sim::TapePuncher puncher(bench.peer, false);
    std::thread machine(
        [&] { bench.peer.runUntil([&] { return puncher.punched().size() >= text.size(); }, 24h); });
    const auto start = Clock::now();
    const comm::Status sent = comm::plain::PlainSender(bench.control).send(path, false);
    const auto end = Clock::now();
    machine.join();
    Result result;
    result.seconds = std::chrono::duration<double>(end - start).count();
    result.intact = sent.ok() && puncher.punched() == text;
    return result;
}

// Every byte that the block transfer must move, in line order, at the least.
double blockBoundSeconds(int speed, const std::string& text) {
    std::size_t characters =
        comm::heidenhain::requestHeader('N', "P.H", 'E').size() + 1;  // and its ACK
    comm::heidenhain::BlockCutter cutter(text, comm::heidenhain::CutMode::Lines);
    while (!cutter.done()) {
        characters += comm::heidenhain::dataBlock(cutter.next().value()).size() + 1;  // and its ACK
    }
    characters += 2;  // ETX, EOT
    return characters * kBitsPerCharacter / speed;
}

Result blockSend(int speed, const std::string& text) {
    Bench bench(speed);
    if (!comm::replaceFileAtomically(bench.home / "Ferix1" / "P.H", text)) {
        throw std::runtime_error("cannot write the program");
    }
    if (!bench.control.setProtocol(comm::ProtHeidenhain)) {
        throw std::runtime_error("cannot set the protocol");
    }
    sim::HeidenhainMachine machine(bench.peer, {.answerTimeout = 60s});
    Clock::time_point start, end;
    std::thread machineThread([&] {
        bench.peer.runUntil([&] { return bench.lineUp.load(); }, 60s);
        if (via == "tcp") {
            bench.peer.runUntil([] { return false; }, 300ms);  // the server opens its tty
        }
        start = Clock::now();
        machine.requestFile("P.H");
        bench.peer.runUntil([&] { return !machine.busy(); }, 24h);
        end = Clock::now();
        bench.machineDone = true;
    });
    const comm::Status ran = bench.control.setActive(true);
    machineThread.join();
    Result result;
    result.seconds = std::chrono::duration<double>(end - start).count();
    // The machine keeps every line with CR LF, the last one too.
    const std::string expected = text.ends_with("\r\n") ? text : text + "\r\n";
    result.intact = ran.ok() && !machine.records().empty() && machine.records().back().ok &&
                    machine.programs()["P.H"] == expected;
    result.boundSeconds = blockBoundSeconds(speed, text);
    return result;
}

void print(const char* mode, int speed, std::size_t bytes, const Result& r) {
    const double rate = bytes / r.seconds;
    const double lineRate = speed / kBitsPerCharacter;
    if (r.boundSeconds > 0) {
        const double bound = bytes / r.boundSeconds;
        std::printf("%-7s %7d %9zu %9.2f %12.1f %12.1f %8.3f  %s\n", mode, speed, bytes, r.seconds,
                    rate, bound, rate / bound, r.intact ? "intact" : "CORRUPTED");
    } else {
        std::printf("%-7s %7d %9zu %9.2f %12.1f %12.1f %8.3f  %s\n", mode, speed, bytes, r.seconds,
                    rate, lineRate, rate / lineRate, r.intact ? "intact" : "CORRUPTED");
    }
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    std::size_t bytes = 1 << 20;
    std::vector<int> speeds{9600, 115200};
    std::string only;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        if (arg == "--bytes") {
            bytes = std::stoul(argv[i + 1]);
        } else if (arg == "--speeds") {
            speeds.clear();
            std::stringstream list(argv[i + 1]);
            for (std::string item; std::getline(list, item, ',');) {
                speeds.push_back(std::stoi(item));
            }
        } else if (arg == "--only") {
            only = argv[i + 1];
        } else if (arg == "--via") {
            via = argv[i + 1];
        }
    }
    const std::string text = program(bytes);
    if (!via.empty()) {
        std::printf("through ser2net, %s on the loopback address\n", via.c_str());
    }
    std::printf("mode      speed     bytes   seconds  payload B/s    bound B/s    ratio\n");
    std::printf("(bound: the line rate for plain, the protocol-bound maximum for blocks)\n");
    try {
        for (int speed : speeds) {
            if (only.empty() || only == "plain") {
                print("plain", speed, bytes, plainSend(speed, text));
            }
            if (only.empty() || only == "blocks") {
                print("blocks", speed, bytes, blockSend(speed, text));
            }
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "HeidenhainTransferBench: %s\n", e.what());
        return 1;
    }
    return 0;
}
