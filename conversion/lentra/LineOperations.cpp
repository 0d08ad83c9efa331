#include "conversion/lentra/LineOperations.h"

#include <cstring>

#include "conversion/lentra/CharacterOperations.h"

namespace lentra {

namespace {

bool isBlankLine(const TextLine& line) {
    for (std::size_t i = 0; i < line.size; ++i) {
        if (line.data[i] != ' ' && line.data[i] != '\t') {
            return false;
        }
    }
    return true;
}

void writeLine(const TextLine& line, TextWriter& writer) {
    writer.writeRaw(line.data, line.size);
    if (line.ended) {
        writer.writeLineEnd();
    }
}

void dropBlankLines(TextLineReader& reader, TextWriter& writer) {
    TextLine line;
    while (reader.next(line)) {
        if (!isBlankLine(line)) {
            writeLine(line, writer);
        }
    }
}

void dropLinesWith(unsigned char filter, TextLineReader& reader, TextWriter& writer) {
    TextLine line;
    while (reader.next(line)) {
        // The line end belongs to the line: filtering for a line feed drops every ended line.
        const bool contains =
            (filter == '\n' && line.ended) || std::memchr(line.data, filter, line.size) != nullptr;
        if (!contains) {
            writeLine(line, writer);
        }
    }
}

}  // namespace

void runLineOperation(const Commands& commands, TextLineReader& reader, TextWriter& writer) {
    if (commands.dropBlankLines) {
        dropBlankLines(reader, writer);
    } else if (commands.replaceCharacters) {
        replaceCharacters(commands.pairs, reader, writer);
    } else if (commands.dropLinesWith) {
        dropLinesWith(commands.filterCharacter, reader, writer);
    } else if (commands.dropControlCodes) {
        dropControlCodes(reader, writer);
    }
}

}  // namespace lentra
