#include "sim/unit/UnitCommands.h"

#include <charconv>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

namespace sim::unit {

namespace {

// A command that cannot be carried out; its text is shown to the operator.
struct CommandError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::vector<std::string> split(const std::string& line) {
    std::istringstream in(line);
    return {std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
}

long number(const std::string& word, long low, long high, const char* what) {
    long value = 0;
    int base = 10;
    std::string_view digits = word;
    if (digits.size() > 2 && (digits.substr(0, 2) == "0x" || digits.substr(0, 2) == "0X")) {
        base = 16;
        digits.remove_prefix(2);
    }
    const auto [end, ec] =
        std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
    if (ec != std::errc{} || end != digits.data() + digits.size() || value < low || value > high) {
        throw CommandError(std::string(what) + " must be a number from " + std::to_string(low) +
                           " to " + std::to_string(high) + ", not \"" + word + "\"");
    }
    return value;
}

void need(const std::vector<std::string>& words, std::size_t least, const char* usage) {
    if (words.size() < least) {
        throw CommandError(std::string("usage: ") + usage);
    }
}

SimulatedUnit& unitOf(UnitSimulator& units, const std::string& word) {
    const auto address = static_cast<std::uint8_t>(number(word, 1, 255, "the unit address"));
    SimulatedUnit* unit = units.unit(address);
    if (unit == nullptr) {
        throw CommandError("no unit at address " + word);
    }
    return *unit;
}

std::string programName(const std::string& word) {
    if (word.empty() || word.size() > kRequestNameLength || word.find('/') != std::string::npos) {
        throw CommandError("a program name has 1 to 8 characters and no \"/\"");
    }
    return word;
}

const char* activityName(Activity activity) {
    switch (activity) {
        case Activity::ReaderSimulation:
            return "reader simulation";
        case Activity::PuncherSimulation:
            return "puncher simulation";
        case Activity::ReaderReading:
            return "reader reading";
        case Activity::None:
            break;
    }
    return "idle";
}

std::string unitState(std::uint8_t address, SimulatedUnit& unit) {
    const UnitMemory& memory = unit.memory();
    std::string text = "unit " + std::to_string(address) + ": " +
                       (memory.joined() ? std::string("sections joined")
                                        : "section " + std::to_string(memory.currentSection())) +
                       ", " + std::to_string(memory.freeBytes()) + " bytes free, " +
                       activityName(unit.activity());
    if (!unit.selectedProgram().empty()) {
        text += ", " + unit.selectedProgram() + " selected";
    }
    text += unit.listingForm() == ListingForm::Binary ? ", binary memory list"
                                                      : ", short memory-list answer";
    if (unit.refusesCommands()) {
        text += ", refuses commands";
    }
    return text + ", " + std::to_string(unit.requestsOutstanding()) + " requests open\n";
}

}  // namespace

std::string UnitCommands::help() {
    return "commands:\n"
           "  request <unit> get <name> <kind> [<offset> <mode> <count>]  program from the PC\n"
           "  request <unit> put <name>         program from the unit's memory to the PC\n"
           "  request <unit> dir                listing of the unit's PC directory\n"
           "  request <unit> raw <byte>...      a request block as given (bytes in hex)\n"
           "  load <unit> <name> <kind> <file> [<section>]   file into the unit's memory\n"
           "  save <unit> <name> <file>         program of the current section to a file\n"
           "  memory <unit> [<section>]         programs of a memory section\n"
           "  section <unit> <1-4>              select the current memory section\n"
           "  delete <unit> <name>              delete a program of the current section\n"
           "  join <unit>                       join the four sections into one memory\n"
           "  purge <unit>                      erase the whole memory\n"
           "  capacity <unit> <bytes>           size of the memory (free memory = the rest)\n"
           "  listing <unit> binary|short       answer to the PC's memory-list request\n"
           "  commands <unit> accept|refuse     acknowledge the PC's commands or not\n"
           "  fault <unit> checkbyte|repeat|noack|silence|babble [<times>|forever]\n"
           "  fault <unit> clear\n"
           "  units | help | quit\n"
           "kinds: 0 source text, 1 work text, 4 source macro, 5 work macro, 6 source test,\n"
           "       7 work test; modes: 0 offset from the start, 2 offset from the end\n";
}

std::string UnitCommands::execute(const std::string& line) {
    const std::vector<std::string> words = split(line);
    if (words.empty() || words[0][0] == '#') {
        return {};
    }
    const std::string& command = words[0];
    if (command == "quit" || command == "exit") {
        quit_ = true;
        return {};
    }
    if (command == "help") {
        return help();
    }
    std::string result;
    try {
        withUnits_([&](UnitSimulator& units) {
            if (command == "units") {
                for (std::uint8_t address : units.addresses()) {
                    result += unitState(address, *units.unit(address));
                }
            } else if (command == "join" || command == "purge" || command == "capacity" ||
                       command == "listing" || command == "commands") {
                result = behaviour(units, words);
            } else if (command == "request") {
                result = request(units, words);
            } else if (command == "load") {
                result = load(units, words);
            } else if (command == "save") {
                result = save(units, words);
            } else if (command == "memory") {
                result = memory(units, words);
            } else if (command == "section") {
                need(words, 3, "section <unit> <1-4>");
                SimulatedUnit& unit = unitOf(units, words[1]);
                unit.memory().selectSection(
                    static_cast<int>(number(words[2], 1, 4, "the section")));
                result = "unit " + words[1] + ": section " + words[2] + " selected";
            } else if (command == "delete") {
                need(words, 3, "delete <unit> <name>");
                if (!unitOf(units, words[1]).memory().remove(words[2])) {
                    throw CommandError("no program " + words[2] + " in the memory");
                }
                result = "deleted " + words[2];
            } else if (command == "fault") {
                result = fault(units, words);
            } else {
                throw CommandError("unknown command \"" + command + "\" (try help)");
            }
        });
    } catch (const CommandError& e) {
        return std::string("error: ") + e.what();
    }
    return result;
}

std::string UnitCommands::request(UnitSimulator& units, const std::vector<std::string>& words) {
    need(words, 3, "request <unit> get|put|dir|raw ...");
    SimulatedUnit& unit = unitOf(units, words[1]);
    const std::string& what = words[2];
    RequestSpec wanted;
    if (what == "get") {
        need(words, 5, "request <unit> get <name> <kind> [<offset> <mode> <count>]");
        const auto kind = static_cast<std::uint8_t>(number(words[4], 0, 255, "the kind"));
        wanted = RequestSpec::download(programName(words[3]), kind);
        if (words.size() > 5) {
            need(words, 8, "request <unit> get <name> <kind> <offset> <mode> <count>");
            RequestSpec::Part part;
            part.offset =
                static_cast<std::int32_t>(number(words[5], INT32_MIN, INT32_MAX, "the offset"));
            part.mode = static_cast<std::uint8_t>(number(words[6], 0, 255, "the mode"));
            part.count = static_cast<std::uint16_t>(number(words[7], 0, 65535, "the count"));
            wanted.part = part;
        }
    } else if (what == "put") {
        need(words, 4, "request <unit> put <name>");
        const MemoryFile* file = unit.memory().find(programName(words[3]));
        if (file == nullptr) {
            throw CommandError("no program " + words[3] + " in the current section");
        }
        wanted = RequestSpec::upload(file->name, file->kind);
    } else if (what == "dir") {
        wanted = RequestSpec::listing();
    } else if (what == "raw") {
        need(words, 4, "request <unit> raw <byte>...");
        std::string bytes;
        for (std::size_t i = 3; i < words.size(); ++i) {
            bytes += static_cast<char>(number("0x" + words[i], 0, 255, "a byte"));
        }
        wanted.raw = bytes;
    } else {
        throw CommandError("request what? get, put, dir or raw");
    }
    unit.raise(wanted);
    return "unit " + words[1] + ": request queued";
}

std::string UnitCommands::load(UnitSimulator& units, const std::vector<std::string>& words) {
    need(words, 5, "load <unit> <name> <kind> <file> [<section>]");
    SimulatedUnit& unit = unitOf(units, words[1]);
    MemoryFile file;
    file.name = programName(words[2]);
    file.kind = static_cast<std::uint8_t>(number(words[3], 0, 7, "the kind"));
    std::ifstream in(words[4], std::ios::binary);
    if (!in) {
        throw CommandError("cannot read " + words[4]);
    }
    file.data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    const int section = words.size() > 5 ? static_cast<int>(number(words[5], 1, 4, "the section"))
                                         : unit.memory().currentSection();
    unit.memory().store(section, file);
    return "unit " + words[1] + ": " + file.name + " loaded into section " +
           std::to_string(section) + ", " + std::to_string(file.data.size()) + " bytes";
}

std::string UnitCommands::save(UnitSimulator& units, const std::vector<std::string>& words) {
    need(words, 4, "save <unit> <name> <file>");
    const MemoryFile* file = unitOf(units, words[1]).memory().find(words[2]);
    if (file == nullptr) {
        throw CommandError("no program " + words[2] + " in the current section");
    }
    std::ofstream out(words[3], std::ios::binary | std::ios::trunc);
    out.write(file->data.data(), static_cast<std::streamsize>(file->data.size()));
    out.close();
    if (!out) {
        throw CommandError("cannot write " + words[3]);
    }
    return "saved " + words[2] + " to " + words[3];
}

std::string UnitCommands::memory(UnitSimulator& units, const std::vector<std::string>& words) {
    need(words, 2, "memory <unit> [<section>]");
    SimulatedUnit& unit = unitOf(units, words[1]);
    const int section = words.size() > 2 ? static_cast<int>(number(words[2], 1, 4, "the section"))
                                         : unit.memory().currentSection();
    std::string text = "unit " + words[1] + ", section " + std::to_string(section) +
                       (unit.memory().joined() ? " (sections joined)" : "") + ", " +
                       std::to_string(unit.memory().freeBytes()) + " bytes free:";
    for (const MemoryFile& file : unit.memory().files(section)) {
        text += "\n  " + file.name + "  kind " + std::to_string(file.kind) + "  " +
                std::to_string(file.data.size()) + " bytes";
    }
    return text;
}

std::string UnitCommands::fault(UnitSimulator& units, const std::vector<std::string>& words) {
    need(words, 3, "fault <unit> checkbyte|repeat|noack|silence|babble|clear [<times>|forever]");
    SimulatedUnit& unit = unitOf(units, words[1]);
    const std::string& what = words[2];
    if (what == "clear") {
        unit.clearFaults();
        return "unit " + words[1] + ": faults cleared";
    }
    Fault fault;
    if (what == "checkbyte") {
        fault = Fault::WrongCheckByte;
    } else if (what == "repeat") {
        fault = Fault::RepeatBlock;
    } else if (what == "noack") {
        fault = Fault::MissingAcknowledge;
    } else if (what == "silence") {
        fault = Fault::Silence;
    } else if (what == "babble") {
        fault = Fault::Babble;
    } else {
        throw CommandError("fault must be checkbyte, repeat, noack, silence, babble or clear");
    }
    int times = 1;
    if (words.size() > 3) {
        times = words[3] == "forever" ? kUntilCleared
                                      : static_cast<int>(number(words[3], 1, 1000000, "times"));
    }
    unit.injectFault(fault, times);
    return "unit " + words[1] + ": " + what + " armed";
}

std::string UnitCommands::behaviour(UnitSimulator& units, const std::vector<std::string>& words) {
    const std::string& command = words[0];
    need(words, 2, "join|purge <unit>, capacity <unit> <bytes>, listing|commands <unit> ...");
    SimulatedUnit& unit = unitOf(units, words[1]);
    const std::string prefix = "unit " + words[1] + ": ";
    if (command == "join") {
        unit.memory().joinSections();
        return prefix + "sections joined";
    }
    if (command == "purge") {
        unit.memory().purge();
        return prefix + "memory purged";
    }
    need(words, 3,
         "capacity <unit> <bytes>, listing <unit> binary|short, commands <unit> "
         "accept|refuse");
    const std::string& value = words[2];
    if (command == "capacity") {
        unit.memory().setCapacity(
            static_cast<std::uint32_t>(number(value, 0, 0xFFFFFF, "the capacity")));
        return prefix + "capacity " + value + " bytes, " +
               std::to_string(unit.memory().freeBytes()) + " free";
    }
    if (command == "listing") {
        if (value != "binary" && value != "short") {
            throw CommandError("listing must be binary or short");
        }
        unit.setListingForm(value == "binary" ? ListingForm::Binary : ListingForm::ShortAnswer);
        return prefix + (value == "binary" ? "binary memory list"
                                           : "short memory-list answer, directory after STR");
    }
    if (value != "accept" && value != "refuse") {
        throw CommandError("commands must be accept or refuse");
    }
    unit.setRefuseCommands(value == "refuse");
    return prefix + "commands " + (value == "refuse" ? "refused" : "accepted");
}

}  // namespace sim::unit
