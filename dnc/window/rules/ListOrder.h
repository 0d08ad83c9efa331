// The order of a file list after a click on one of its column headers: by name (letter case
// ignored, as the units treat names), by size or by date; a second click on the same column
// turns the order round. Entries that compare equal keep the order they came in.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "dnc/window/rules/SelectionSummary.h"

namespace dnc::window {

enum class SortColumn { Name, Size, Date };

struct ListOrder {
    SortColumn column = SortColumn::Name;
    bool descending = false;

    bool operator==(const ListOrder&) const = default;
};

// A list entry with the time of its last change (seconds since 1970; none where the list has no
// dates, as a unit's memory list). Entries without a date come after those with one.
struct ListRow {
    ListEntry entry;
    std::optional<std::int64_t> modified;

    bool operator==(const ListRow&) const = default;
};

// The order after a click on `column`: the same column turns round, another starts ascending.
ListOrder clickedColumn(ListOrder current, SortColumn column);

// Sorts `rows` stably in `order`.
void sortRows(std::vector<ListRow>& rows, ListOrder order);

}  // namespace dnc::window
