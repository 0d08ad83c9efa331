// The summary under each of the three lists: what is selected and how many bytes it holds.
// Sizes are 64-bit, so a selection beyond 2 GiB shows its true sum.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dnc/window/rules/UnitSelector.h"

namespace dnc::window {

struct ListEntry {
    std::string name;
    std::int64_t size = 0;

    bool operator==(const ListEntry&) const = default;
};

struct SelectionSummary {
    std::string files;  // "Selected 2 files, ", the current entry's name, or "Select None"
    std::int64_t size = 0;
};

// `selected` are indices of selected entries; `current` the current index or -1.
SelectionSummary summarizeSelection(const std::vector<ListEntry>& entries,
                                    const std::vector<int>& selected, int current,
                                    const StringLookup& strings);

}  // namespace dnc::window
