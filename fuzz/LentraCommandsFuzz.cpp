// The user conversion library's command string, and the line operation it selects run on a
// text. The input is the command string, then a NUL and the text to convert.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "conversion/lentra/LentraCommands.h"
#include "conversion/lentra/LentraMessages.h"
#include "conversion/lentra/LineOperations.h"
#include "conversion/lentra/TextLineReader.h"
#include "conversion/lentra/TextWriter.h"
#include "fuzz/FuzzCheck.h"

namespace {

using namespace lentra;

// A file in memory that can be refilled for every input.
class MemoryFile {
public:
    explicit MemoryFile(const char* name) : fd_(::memfd_create(name, MFD_CLOEXEC)) {
        FUZZ_CHECK(fd_ >= 0);
    }
    int fd() const { return fd_; }

    void replace(std::string_view bytes) {
        FUZZ_CHECK(::ftruncate(fd_, 0) == 0);
        FUZZ_CHECK(::pwrite(fd_, bytes.data(), bytes.size(), 0) ==
                   static_cast<ssize_t>(bytes.size()));
        rewind();
    }
    void rewind() { FUZZ_CHECK(::lseek(fd_, 0, SEEK_SET) == 0); }
    std::string contents() {
        const off_t size = ::lseek(fd_, 0, SEEK_END);
        std::string bytes(static_cast<std::size_t>(size), '\0');
        FUZZ_CHECK(::pread(fd_, bytes.data(), bytes.size(), 0) == size);
        return bytes;
    }

private:
    int fd_;
};

struct Line {
    std::string text;
    bool ended = false;
};

// The lines of a converted file, read as the library reads its input.
std::vector<Line> linesOf(MemoryFile& file) {
    file.rewind();
    std::vector<Line> lines;
    TextLineReader reader(file.fd());
    TextLine line;
    while (reader.next(line)) {
        lines.push_back(Line{std::string(line.data, line.size), line.ended});
    }
    return lines;
}

bool isBlank(const Line& line) {
    return line.text.find_first_not_of(" \t") == std::string::npos;
}

// What the character operations must make of `text`, worked out one character at a time: a
// CR LF pair reads as one line feed, each character goes through every pair in turn (or is
// dropped), and a line feed that comes out is written as CR LF.
std::string expectedCharacters(std::string_view text, const std::vector<ReplacementPair>& pairs,
                               std::string_view dropped) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            continue;
        }
        if (dropped.find(text[i]) != std::string_view::npos) {
            continue;
        }
        auto c = static_cast<unsigned char>(text[i]);
        for (const ReplacementPair& pair : pairs) {
            if (c == pair.from) {
                c = pair.to;
            }
        }
        if (c == '\n') {
            out.push_back('\r');
        }
        out.push_back(static_cast<char>(c));
    }
    return out;
}

void checkParse(const ParseResult& parsed) {
    FUZZ_CHECK(parsed.error >= kNoError && parsed.error <= kCommandTooLong);
    FUZZ_CHECK(!parseErrorText(parsed.error).empty() || parsed.error == kNoError);
    if (parsed.error != kNoError) {
        return;
    }
    const Commands& commands = parsed.commands;
    FUZZ_CHECK(commands.byteList.size() <= kMaxListCharacters);
    FUZZ_CHECK(commands.pairs.size() <= kMaxReplacementPairs);
    for (const ListCharacter& entry : commands.byteList) {
        FUZZ_CHECK(entry.repeat <= 99);
    }
}

void checkLineOperation(const Commands& commands, std::string_view text) {
    static MemoryFile input("lentra-input");
    static MemoryFile output("lentra-output");
    input.replace(text);
    output.replace({});
    {
        TextLineReader reader(input.fd());
        TextWriter writer(output.fd());
        runLineOperation(commands, reader, writer);
        FUZZ_CHECK(reader.error() == 0);
        FUZZ_CHECK(writer.flush());
    }
    const std::string converted = output.contents();
    // Every line end is written as CR LF: a line feed never comes out alone.
    for (std::size_t at = converted.find('\n'); at != std::string::npos;
         at = converted.find('\n', at + 1)) {
        FUZZ_CHECK(at > 0 && converted[at - 1] == '\r');
    }
    if (commands.dropBlankLines) {
        for (const Line& line : linesOf(output)) {
            FUZZ_CHECK(!isBlank(line));
        }
    } else if (commands.replaceCharacters) {
        FUZZ_CHECK(converted == expectedCharacters(text, commands.pairs, {}));
    } else if (commands.dropLinesWith) {
        const char filter = static_cast<char>(commands.filterCharacter);
        for (const Line& line : linesOf(output)) {
            FUZZ_CHECK(line.text.find(filter) == std::string::npos);
            FUZZ_CHECK(filter != '\n' || !line.ended);
        }
    } else if (commands.dropControlCodes) {
        FUZZ_CHECK(converted == expectedCharacters(text, {}, "\x12\x14"));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t split = input.find('\0');
    const std::string_view commandText = input.substr(0, split);
    const std::string_view text =
        split == std::string_view::npos ? std::string_view() : input.substr(split + 1);

    const ParseResult parsed = parseCommands(commandText);
    checkParse(parsed);
    if (parsed.error == kNoError && parsed.commands.anyLineOperation()) {
        checkLineOperation(parsed.commands, text);
    }
    return 0;
}
