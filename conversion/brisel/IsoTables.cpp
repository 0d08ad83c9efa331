// ISO 7-bit tape code in both directions.
#include "conversion/brisel/TapeCodes.h"
#include "conversion/brisel/TapeTables.h"

namespace brisel {

namespace {

Translation makeTextToIso() {
    Translation t;
    t.endOfBlock = "\n";  // LF has even parity already
    for (unsigned c = 0; c < 256; ++c) {
        t.actions[c] = c < 0x80 ? withIsoParity(static_cast<unsigned char>(c)) : kRefuseByte;
    }
    t.actions['\r'] = kDropByte;
    t.actions[0x00] = kDropByte;
    t.actions[0x7F] = kDropByte;
    t.actions['\n'] = kEndOfBlock;
    return t;
}

Translation makeIsoToText(LineEnd lineEnd) {
    Translation t;
    t.endOfBlock = lineEnd == LineEnd::CrLf ? "\r\n" : "\n";
    for (unsigned b = 0; b < 256; ++b) {
        const unsigned char c = static_cast<unsigned char>(b & 0x7F);
        if (!hasEvenParity(static_cast<unsigned char>(b))) {
            t.actions[b] = kRefuseByte;
        } else if (c == 0x00 || c == 0x7F || c == '\r') {
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

const Translation& textToIsoTable() {
    static const Translation table = makeTextToIso();
    return table;
}

const Translation& isoToTextTable(LineEnd lineEnd) {
    static const Translation crLf = makeIsoToText(LineEnd::CrLf);
    static const Translation lf = makeIsoToText(LineEnd::Lf);
    return lineEnd == LineEnd::CrLf ? crLf : lf;
}

}  // namespace brisel
