// What the store crash test's writer puts in each section, and how a reader checks that a
// section it reads is one whole generation.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "dnc/config/ConfigStore.h"

namespace storecrash {

inline constexpr int kSections = 16;

inline std::string sectionName(int net) {
    return "Config" + std::to_string(net);
}

// Every key tells the generation; the filler makes each write long enough to be cut.
inline dnc::ConfigStore::Values sectionValues(int net, std::uint64_t generation) {
    const std::string g = std::to_string(generation);
    return {{"Generation", g},
            {"Caption", "Net " + std::to_string(net) + " generation " + g},
            {"Filler", std::string(200, static_cast<char>('a' + generation % 26)) + g},
            {"End", g}};
}

// The generation of a whole section; none for a section that is not one.
inline std::optional<std::uint64_t> wholeGeneration(int net, const dnc::StoreSection& section) {
    const auto text = section.find("Generation");
    if (!text || text->empty() || text->find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    const std::uint64_t generation = std::stoull(*text);
    if (section.values() != sectionValues(net, generation)) {
        return std::nullopt;
    }
    return generation;
}

}  // namespace storecrash
