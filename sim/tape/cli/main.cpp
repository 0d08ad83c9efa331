// ferix-tape: a simulated tape puncher or reader on a plain line, for commissioning and trying
// the PC's plain send and receive by hand. See docs/heidenhain-simulators.md.
#include <atomic>
#include <csignal>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "comm/files/FileIo.h"
#include "sim/ProgramInfo.h"
#include "sim/heidenhain/link/LineEndOptions.h"
#include "sim/tape/TapePuncher.h"
#include "sim/tape/TapeReader.h"

namespace {

std::atomic<bool> interrupted = false;

void onSignal(int) {
    interrupted = true;
}

const char* kUsage = R"(usage: ferix-tape (--device PATH | --pty) [options] punch | read FILE
options:
  --speed N           line speed in bits per second (default 9600)
  --eof               the line uses the end-of-file character 0x1A (ProtNoneEOF)
  --out FILE          punch: save the tape to FILE (default: print it)
  --idle-ms N         punch: end the tape after N ms of silence once bytes came (default 5000)
  --piece N           read: bytes per piece (default 256)
  --pause-ms N        read: pause between pieces (default 0)
  --start-after-ms N  wait before reading starts (time to start the PC's receive)
  --help              this text
  --version           the program's version
)";

struct Options {
    sim::LineEndOptions line;
    bool endOfFile = false;
    std::string out;
    int idleMs = 5000;
    std::size_t piece = 256;
    int pauseMs = 0;
    std::vector<std::string> command;
};

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
        if (arg == "--eof") {
            options.endOfFile = true;
        } else if (arg == "--out") {
            options.out = value();
        } else if (arg == "--idle-ms") {
            options.idleMs = std::stoi(value());
        } else if (arg == "--piece") {
            options.piece = static_cast<std::size_t>(std::stoul(value()));
        } else if (arg == "--pause-ms") {
            options.pauseMs = std::stoi(value());
        } else if (arg.starts_with("--")) {
            throw std::runtime_error("unknown option " + arg);
        } else {
            options.command.push_back(arg);
        }
    }
    return options.line.given() && !options.command.empty();
}

int punch(const Options& options, sim::FdPeerLink& link) {
    sim::TapePuncher puncher(link, options.endOfFile);
    std::size_t seen = 0;
    while (!interrupted && !puncher.ended()) {
        const bool more = link.runUntil(
            [&] { return interrupted || puncher.ended() || puncher.punched().size() > seen; },
            std::chrono::milliseconds(options.idleMs));
        if (!more && seen > 0) {
            break;  // silence after the program: the tape is done
        }
        seen = puncher.punched().size();
        if (link.broken()) {
            break;
        }
    }
    if (options.out.empty()) {
        std::cout << puncher.punched() << std::flush;
    } else if (comm::Status s = comm::replaceFileAtomically(options.out, puncher.punched()); !s) {
        std::cerr << "ferix-tape: " << s.error().description << "\n";
        return 1;
    }
    std::cerr << puncher.punched().size() << " bytes punched"
              << (puncher.ended() ? ", end-of-file received" : "") << "\n";
    return 0;
}

int read(const Options& options, sim::FdPeerLink& link, const std::string& file) {
    const auto program = comm::readWholeFile(file);
    if (!program) {
        std::cerr << "ferix-tape: " << program.error().description << "\n";
        return 1;
    }
    sim::TapeReader reader(link);
    reader.read({program.value(), options.endOfFile, options.piece,
                 std::chrono::milliseconds(options.pauseMs)});
    link.runUntil([&] { return interrupted || reader.done(); }, std::chrono::hours(24));
    std::cerr << reader.bytesSent() << " bytes read" << (reader.done() ? "" : " (interrupted)")
              << "\n";
    return reader.done() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    if (sim::printedProgramInfo(argc, argv, "ferix-tape", kUsage)) {
        return 0;
    }
    Options options;
    try {
        if (!parse(argc, argv, options)) {
            std::cerr << kUsage;
            return 2;
        }
        sim::LineEnd end(options.line, std::cerr);
        end.waitToStart([] { return interrupted.load(); });
        sim::FdPeerLink& link = end.link();
        if (options.command[0] == "punch") {
            return punch(options, link);
        }
        if (options.command[0] == "read" && options.command.size() == 2) {
            return read(options, link, options.command[1]);
        }
        std::cerr << kUsage;
        return 2;
    } catch (const std::exception& e) {
        std::cerr << "ferix-tape: " << e.what() << "\n";
        return 2;
    }
}
