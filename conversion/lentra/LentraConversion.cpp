#include "conversion/lentra/LentraConversion.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "conversion/lentra/LentraCommands.h"
#include "conversion/lentra/LentraMessages.h"
#include "conversion/lentra/LineOperations.h"
#include "conversion/lentra/TextLineReader.h"
#include "conversion/lentra/TextWriter.h"
#include "conversion/lentra/WorkFile.h"

namespace lentra {

namespace {

ConversionOutcome failure(std::string_view text, const std::string& path) {
    return ConversionOutcome{false, std::string(text) + path};
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() { close(); }
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // False when the system reports that buffered data could not be written.
    bool close() {
        const int fd = fd_;
        fd_ = -1;
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int fd_;
};

int openInput(const std::string& input) {
    return ::open(input.c_str(), O_RDONLY | O_CLOEXEC);
}

// Flushes and closes the work file; the error text, empty when everything reached the disk.
std::string finishWorkFile(TextWriter& writer, FileDescriptor& work, const std::string& name) {
    const bool flushed = writer.flush();
    const bool synced = flushed && ::fsync(work.get()) == 0;
    if (!work.close() || !synced) {
        return std::string(kWriteFailedText) + name;
    }
    return {};
}

ConversionOutcome lineOperation(const Commands& commands, const std::string& input,
                                const std::string& output) {
    FileDescriptor in(openInput(input));
    if (!in.valid()) {
        return failure(kOpenFailedText, input);
    }
    const std::string workName = workFileName(output);
    FileDescriptor work(openWorkFile(workName, input, output));
    if (!work.valid()) {
        return failure(kOpenFailedText, workName);
    }
    TextLineReader reader(in.get());
    TextWriter writer(work.get());
    runLineOperation(commands, reader, writer);
    if (reader.error() != 0) {
        return failure(kReadFailedText, input);
    }
    if (std::string problem = finishWorkFile(writer, work, workName); !problem.empty()) {
        return ConversionOutcome{false, problem};
    }
    if (std::string problem = replaceOutput(workName, output); !problem.empty()) {
        return ConversionOutcome{false, problem};
    }
    return ConversionOutcome{true, {}};
}

void writeByteList(const std::vector<ListCharacter>& list, TextWriter& writer) {
    for (const ListCharacter& entry : list) {
        for (unsigned i = 0; i < entry.repeat; ++i) {
            writer.writeByte(static_cast<char>(entry.character));
        }
    }
}

// Leader and trailer: the shared byte list in front of the file, behind it, or both. The
// result is built in the work file and replaces the output as the line operations do, so an
// output distinct from the input gets the result and the input stays as it was.
ConversionOutcome frame(const Commands& commands, const std::string& input,
                        const std::string& output) {
    FileDescriptor in(openInput(input));
    if (!in.valid()) {
        return failure(kOpenFailedText, input);
    }
    const std::string workName = workFileName(input);
    FileDescriptor work(openWorkFile(workName, input, output));
    if (!work.valid()) {
        return failure(kOpenFailedText, workName);
    }
    TextWriter writer(work.get());
    if (commands.leader) {
        writeByteList(commands.byteList, writer);
    }
    std::vector<char> chunk(1 << 20);
    while (true) {
        const ssize_t n = ::read(in.get(), chunk.data(), chunk.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return failure(kReadFailedText, input);
        }
        if (n == 0) {
            break;
        }
        writer.writeRaw(chunk.data(), static_cast<std::size_t>(n));
    }
    if (commands.trailer) {
        writeByteList(commands.byteList, writer);
    }
    if (std::string problem = finishWorkFile(writer, work, workName); !problem.empty()) {
        return ConversionOutcome{false, problem};
    }
    if (std::string problem = replaceOutput(workName, output); !problem.empty()) {
        return ConversionOutcome{false, problem};
    }
    return ConversionOutcome{true, {}};
}

}  // namespace

ConversionOutcome convertFile(const std::string& input, const std::string& output,
                              const std::string& parameters) {
    const ParseResult parsed = parseCommands(parameters);
    if (parsed.error != kNoError) {
        return ConversionOutcome{false, std::string(parseErrorText(parsed.error))};
    }
    const Commands& commands = parsed.commands;
    if (commands.anyLineOperation()) {
        return lineOperation(commands, input, output);
    }
    if (commands.trailer || commands.leader) {
        return frame(commands, input, output);
    }
    return ConversionOutcome{true, {}};
}

}  // namespace lentra
