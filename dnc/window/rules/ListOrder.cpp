#include "dnc/window/rules/ListOrder.h"

#include <algorithm>
#include <string>

namespace dnc::window {

namespace {

// Names compare by their ASCII letters folded to lower case, byte by byte beyond them: the
// units know no other alphabet. Names that differ only in case fall back to their bytes, so the
// order is total.
int compareNames(const std::string& a, const std::string& b) {
    const auto fold = [](unsigned char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c - 'A' + 'a') : c;
    };
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char x = fold(static_cast<unsigned char>(a[i]));
        const unsigned char y = fold(static_cast<unsigned char>(b[i]));
        if (x != y) {
            return x < y ? -1 : 1;
        }
    }
    if (a.size() != b.size()) {
        return a.size() < b.size() ? -1 : 1;
    }
    return a.compare(b) < 0 ? -1 : (a == b ? 0 : 1);
}

int compareRows(const ListRow& a, const ListRow& b, SortColumn column) {
    switch (column) {
        case SortColumn::Name:
            return compareNames(a.entry.name, b.entry.name);
        case SortColumn::Size:
            return a.entry.size == b.entry.size ? 0 : (a.entry.size < b.entry.size ? -1 : 1);
        case SortColumn::Date:
            if (a.modified == b.modified) {
                return 0;
            }
            return a.modified.has_value() != b.modified.has_value()
                       ? (a.modified ? -1 : 1)
                       : (*a.modified < *b.modified ? -1 : 1);
    }
    return 0;
}

}  // namespace

ListOrder clickedColumn(ListOrder current, SortColumn column) {
    if (current.column == column) {
        current.descending = !current.descending;
        return current;
    }
    return {column, false};
}

void sortRows(std::vector<ListRow>& rows, ListOrder order) {
    std::stable_sort(rows.begin(), rows.end(), [order](const ListRow& a, const ListRow& b) {
        const int c = compareRows(a, b, order.column);
        return order.descending ? c > 0 : c < 0;
    });
}

}  // namespace dnc::window
