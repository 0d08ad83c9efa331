// EIA RS-244 tape code in both directions.
#include "conversion/brisel/TapeCodes.h"
#include "conversion/brisel/TapeTables.h"

namespace brisel {

namespace {

Translation makeTextToEia(bool upperCase) {
    Translation t;
    t.endOfBlock = "\x80";
    for (unsigned c = 0; c < 256; ++c) {
        unsigned char text = static_cast<unsigned char>(c);
        if (upperCase && text >= 'a' && text <= 'z') {
            text = static_cast<unsigned char>(text - 'a' + 'A');
        }
        const std::uint8_t code = eiaCodeOf(text);
        t.actions[c] = code != 0 ? code : kRefuseByte;
    }
    t.actions['\r'] = kDropByte;
    t.actions[0x00] = kDropByte;
    t.actions[0x7F] = kDropByte;
    t.actions['\n'] = kEndOfBlock;
    return t;
}

Translation makeEiaToText(LineEnd lineEnd) {
    Translation t;
    t.endOfBlock = lineEnd == LineEnd::CrLf ? "\r\n" : "\n";
    for (unsigned b = 0; b < 256; ++b) {
        const unsigned char text = textOfEiaCode(static_cast<std::uint8_t>(b));
        t.actions[b] = text != 0 ? text : kRefuseByte;
    }
    t.actions[kEiaBlank] = kDropByte;
    t.actions[kEiaDelete] = kDropByte;
    t.actions[kEiaEndOfBlock] = kEndOfBlock;
    return t;
}

}  // namespace

const Translation& textToEiaTable(bool upperCase) {
    static const Translation exact = makeTextToEia(false);
    static const Translation upper = makeTextToEia(true);
    return upperCase ? upper : exact;
}

const Translation& eiaToTextTable(LineEnd lineEnd) {
    static const Translation crLf = makeEiaToText(LineEnd::CrLf);
    static const Translation lf = makeEiaToText(LineEnd::Lf);
    return lineEnd == LineEnd::CrLf ? crLf : lf;
}

}  // namespace brisel
