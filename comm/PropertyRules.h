// The control's rules on setting its properties, as plain functions: the setters apply them,
// and the settings check of the main program uses the same ones to tell the operator which
// stored values the control would refuse or change.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "comm/Export.h"

namespace comm {

enum class LineField { Speed, Parity, DataBits, StopBits };

// Whether the control takes `value` for one field of the line settings and a serial port can
// run it: a speed of the standard table, parity n/e/o/m/s, 5 to 8 data bits, 1, 1.5 or 2 stop
// bits.
FERIXCOMM_API bool lineFieldHolds(LineField field, std::string_view value);

// Handshaking modes 0 (none) to 3 (RTS and XON/XOFF).
FERIXCOMM_API bool handshakingHolds(std::int32_t value);

// A value of ProtocolEnum.
FERIXCOMM_API bool protocolHolds(std::int32_t value);

// What the setters store for what they are given.
FERIXCOMM_API std::int16_t repeatNoRule(std::int16_t value);               // at least 4
FERIXCOMM_API std::string prefixRule(std::string_view value);              // at most 3 characters
FERIXCOMM_API std::string heidenhainFileTypeRule(std::string_view value);  // one character
FERIXCOMM_API std::string extensionRule(std::string_view value);           // blanks around off

inline constexpr std::size_t kPrefixLength = 3;
inline constexpr std::int16_t kLeastRepeatNo = 4;

}  // namespace comm
