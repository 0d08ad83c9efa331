#include "dnc/history/TextColumns.h"

#include <algorithm>

namespace dnc::history {

void printColumns(const std::vector<std::string>& headers,
                  const std::vector<std::vector<std::string>>& rows, std::ostream& out) {
    std::vector<std::size_t> widths;
    for (const std::string& h : headers) {
        widths.push_back(h.size());
    }
    for (const auto& row : rows) {
        for (std::size_t c = 0; c < row.size() && c < widths.size(); ++c) {
            widths[c] = std::max(widths[c], row[c].size());
        }
    }
    const auto print = [&](const std::vector<std::string>& row) {
        std::string text;
        for (std::size_t c = 0; c < row.size(); ++c) {
            text += row[c];
            if (c + 1 < row.size() && c < widths.size()) {
                text += std::string(widths[c] - row[c].size() + 2, ' ');
            }
        }
        while (!text.empty() && text.back() == ' ') {
            text.pop_back();
        }
        out << text << "\n";
    };
    print(headers);
    for (const auto& row : rows) {
        print(row);
    }
}

}  // namespace dnc::history
