#include "web/TransferQuery.h"

#include <charconv>

#include "dnc/history/IsoTime.h"
#include "web/Texts.h"

namespace web {

namespace {

// Field text is bounded: no one types a 200-character name filter.
constexpr std::size_t kMaxField = 200;

std::optional<int> number(const std::string& text, int lowest, int highest) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < lowest ||
        value > highest) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

TransferQuery readTransferQuery(const std::function<std::string(const char*)>& parameter,
                                std::uint16_t language) {
    TransferQuery q;
    const auto field = [&](const char* key) { return parameter(key).substr(0, kMaxField); };
    q.site = field("site");
    q.subNet = field("subnet");
    q.unit = field("unit");
    q.name = field("name");
    q.from = field("from");
    q.to = field("to");
    const std::string page = field("page");
    const auto bad = [&](int id, const std::string& what) {
        if (q.error.empty()) {
            q.error = tr(language, id, {what});
        }
    };
    q.filter.site = q.site;
    q.filter.nameContains = q.name;
    if (!q.subNet.empty()) {
        q.filter.subNet = number(q.subNet, 0, 1'000'000);
        if (!q.filter.subNet) {
            bad(text::kNotANumber, q.subNet);
        }
    }
    if (!q.unit.empty()) {
        q.filter.unit = number(q.unit, 0, 1'000'000);
        if (!q.filter.unit) {
            bad(text::kNotANumber, q.unit);
        }
    }
    if (!q.from.empty()) {
        if (const auto range = dnc::history::parseDate(q.from)) {
            q.filter.since = range->first;
        } else {
            bad(text::kNotADate, q.from);
        }
    }
    if (!q.to.empty()) {
        if (const auto range = dnc::history::parseDate(q.to)) {
            q.filter.until = range->last;
        } else {
            bad(text::kNotADate, q.to);
        }
    }
    if (!page.empty()) {
        if (const auto n = number(page, 1, 1'000'000)) {
            q.page = *n;
        } else {
            bad(text::kNotANumber, page);
        }
    }
    q.filter.limit = kPageRows + 1;
    q.filter.offset = (q.page - 1) * kPageRows;
    return q;
}

}  // namespace web
