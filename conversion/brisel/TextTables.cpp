// Text to text: a program from any source made into a plain text file.
#include "conversion/brisel/TapeTables.h"

namespace brisel {

namespace {

Translation makeNormalise(LineEnd lineEnd) {
    Translation t;
    t.endOfBlock = lineEnd == LineEnd::CrLf ? "\r\n" : "\n";
    for (unsigned b = 0; b < 256; ++b) {
        const unsigned char c = static_cast<unsigned char>(b & 0x7F);
        if (c == 0x00 || c == 0x7F || c == '\r') {
            t.actions[b] = kDropByte;
        } else if (c == '\n') {
            t.actions[b] = kEndOfBlock;
        } else {
            t.actions[b] = c;
        }
    }
    return t;
}

}  // namespace

const Translation& normaliseTable(LineEnd lineEnd) {
    static const Translation crLf = makeNormalise(LineEnd::CrLf);
    static const Translation lf = makeNormalise(LineEnd::Lf);
    return lineEnd == LineEnd::CrLf ? crLf : lf;
}

}  // namespace brisel
