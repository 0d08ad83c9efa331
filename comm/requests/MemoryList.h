// The memory list of a unit, as the operator sees it: how many programs, free memory, the
// current memory section, and name and size of every program. The three listing forms that
// units send are decoded here.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "comm/Export.h"

namespace comm {

struct MemoryListEntry {
    std::string name;
    double size = 0;

    bool operator==(const MemoryListEntry&) const = default;
};

struct FERIXCOMM_API MemoryList {
    enum class Kind {
        NoValue,       // the protocol performs no requests
        NotSupported,  // the protocol has no memory list
        List,          // count, free memory, section and entries (count -1: not readable)
    };

    Kind kind = Kind::List;
    std::int32_t count = -1;
    std::optional<double> freeMemory;
    std::optional<std::int32_t> section;
    std::vector<MemoryListEntry> entries;

    static MemoryList noValue() { return MemoryList{Kind::NoValue, 0, {}, {}, {}}; }
    static MemoryList notSupported() { return MemoryList{Kind::NotSupported, -2, {}, {}, {}}; }

    // The flat form: [count, free memory, section, name 1, size 1, ...], with empty cells
    // where a value is missing; [-2] for a protocol without a memory list; empty for none.
    using Cell = std::variant<std::monostate, double, std::string>;
    std::vector<Cell> asArray() const;
};

// A listing of exactly one byte 64: the unit keeps its directory as a file.
FERIXCOMM_API bool isShortAnswer(std::string_view listing);

// The binary listing of a DNC unit: a 16-byte header (free memory, section) and 16-byte
// records; fewer than 16 bytes give count -1.
FERIXCOMM_API MemoryList decodeDncListing(std::string_view listing, const std::string& prefix,
                                          bool zerosInName);

// The directory file of a short-answer unit (32-byte records), added to `list`.
FERIXCOMM_API void addShortAnswerDirectory(std::string_view file, MemoryList& list);

// The text listing of a Tavro1 control: one "name size" per line.
FERIXCOMM_API MemoryList decodeTavroListing(std::string_view text);

// The numeric value of the start of a text, as the listings write sizes: leading blanks
// skipped, then digits (with an optional sign and decimal point); 0 when there are none.
double leadingValue(std::string_view text);

}  // namespace comm
