#include "comm/PropertyRules.h"

#include "comm/ProtocolEnum.h"
#include "comm/TextRules.h"
#include "comm/link/LineSettings.h"
#include "comm/link/SerialPort.h"
#include "comm/link/TermiosSpeed.h"

namespace comm {

bool lineFieldHolds(LineField field, std::string_view value) {
    // The field in a settings string whose other fields are the defaults: the same parse as
    // the setters hand to the serial link.
    std::string_view fields[] = {"4800", "n", "8", "2"};
    fields[static_cast<int>(field)] = value;
    const auto parsed =
        parseLineSettings(joinLineSettings(fields[0], fields[1], fields[2], fields[3]));
    if (!parsed) {
        return false;
    }
    switch (field) {
        case LineField::Speed:
            return termiosSpeed(parsed->speed).has_value();
        case LineField::DataBits:
            return parsed->dataBits >= 5;  // no serial port sends 4-bit characters
        case LineField::Parity:
        case LineField::StopBits:
            return true;
    }
    return false;
}

bool handshakingHolds(std::int32_t value) {
    return value >= kHandshakeNone && value <= kHandshakeRtsXonXoff;
}

bool protocolHolds(std::int32_t value) {
    return value >= ProtNoneEOF && value <= ProtTavro1;
}

std::int16_t repeatNoRule(std::int16_t value) {
    return value < kLeastRepeatNo ? kLeastRepeatNo : value;
}

std::string prefixRule(std::string_view value) {
    return firstCharacters(value, kPrefixLength);
}

std::string heidenhainFileTypeRule(std::string_view value) {
    return value.empty() ? std::string("N") : firstCharacters(value, 1);
}

std::string extensionRule(std::string_view value) {
    return trimBlanks(value);
}

}  // namespace comm
