#include "dnc/window/rules/SelectionSummary.h"

#include "dnc/window/rules/WindowStrings.h"

namespace dnc::window {

SelectionSummary summarizeSelection(const std::vector<ListEntry>& entries,
                                    const std::vector<int>& selected, int current,
                                    const StringLookup& strings) {
    const auto valid = [&entries](int i) {
        return i >= 0 && static_cast<std::size_t>(i) < entries.size();
    };
    int count = 0;
    std::int64_t sum = 0;
    for (int i : selected) {
        if (valid(i)) {
            ++count;
            sum += entries[static_cast<std::size_t>(i)].size;
        }
    }
    if (count > 1) {
        return {strings(str::kSelected) + " " + std::to_string(count) + " " + strings(str::kFiles),
                sum};
    }
    if (valid(current)) {
        const ListEntry& e = entries[static_cast<std::size_t>(current)];
        return {e.name, e.size};
    }
    return {strings(str::kSelectNone), 0};
}

}  // namespace dnc::window
