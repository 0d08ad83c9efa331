// What a call of the standard conversion library asks for: the conversion name, then its
// parameters after a blank, for example "TXT>ISO /LEADER=50 /TRAILER=50".
#pragma once

#include <string>
#include <string_view>

namespace brisel {

enum class Conversion {
    TextToIso,
    IsoToText,
    TextToEia,
    EiaToText,
    TextToMgf,
    MgfToText,
    TextToText
};

// How a text output ends its blocks.
enum class LineEnd { CrLf, Lf };

struct Options {
    unsigned leader = 0;   // feed characters in front of a tape output
    unsigned trailer = 0;  // feed characters behind a tape output
    LineEnd lineEnd = LineEnd::CrLf;
    bool upperCase = false;  // TXT>EIA: lower case letters are punched as upper case
};

struct Request {
    Conversion conversion = Conversion::TextToText;
    std::string name;  // as the caller spelled it, for messages
    Options options;
};

// The request, or an error text (then `error` is not empty).
Request parseRequest(std::string_view parameters, std::string& error);

// The largest leader or trailer accepted: a generous 10 m of tape.
inline constexpr unsigned kMaxFeed = 4000;

}  // namespace brisel
