#pragma once

#include <cstdint>

namespace comm {

// Line protocol of a sub net. The values are stored in settings files and property bags.
enum ProtocolEnum : std::int32_t {
    ProtNoneEOF = 0,     // plain transfer with end-of-file character
    ProtFerix = 1,       // accepted as a setting; no transfers, no requests
    ProtHeidenhain = 2,  // Heidenhain block protocol, one unit
    ProtDNC = 3,         // addressed block protocol, up to 10 units
    ProtNone = 4,        // plain transfer without end-of-file character
    ProtTavro1 = 5,      // Heidenhain-family block protocol, one unit
};

}  // namespace comm
