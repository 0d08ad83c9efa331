#include "web/Api.h"

#include "dnc/history/HistoryCommands.h"
#include "dnc/history/IsoTime.h"

namespace web {

using dnc::history::jsonString;

namespace {

std::string str(std::string_view text) {
    return jsonString(std::string(text));
}

std::string timeOf(std::int64_t us) {
    return dnc::history::isoUtc(std::chrono::system_clock::time_point(
        std::chrono::duration_cast<std::chrono::system_clock::duration>(
            std::chrono::microseconds(us))));
}

std::string revisionJson(const dnc::history::RevisionRow& r) {
    return "{\"id\": " + std::to_string(r.id) + ", \"site\": " + str(r.site) +
           ", \"subnet\": " + std::to_string(r.subNet) + ", \"unit\": " + std::to_string(r.unit) +
           ", \"name\": " + str(r.name) + ", \"state\": " + str(dnc::revisions::toText(r.state)) +
           ", \"source\": " + str(dnc::revisions::toText(r.source)) +
           ", \"size\": " + std::to_string(r.size) + ", \"time\": " + str(timeOf(r.timeUs)) +
           ", \"sha256\": " + str(r.sha256) + ", \"user\": " + str(r.user) +
           ", \"note\": " + str(r.note) + "}";
}

}  // namespace

std::string sitesJson(const Overview& overview) {
    std::string out = "{\"time\": " + str(dnc::history::isoUtc(overview.now)) + ", \"sites\": [";
    bool first = true;
    for (const auto& beat : overview.beats) {
        const auto today = overview.today.find(beat.site);
        out += first ? "\n  " : ",\n  ";
        first = false;
        out += "{\"site\": " + str(beat.site) +
               ", \"lastHeartbeat\": " + str(dnc::history::isoUtc(beat.time)) +
               ", \"silent\": " + (dnc::history::silent(beat, overview.now) ? "true" : "false") +
               ", \"pending\": " + std::to_string(beat.pending) + ", \"transfersToday\": " +
               std::to_string(today == overview.today.end() ? 0 : today->second) +
               ", \"subnets\": [";
        for (std::size_t i = 0; i < beat.subNets.size(); ++i) {
            const auto& net = beat.subNets[i];
            out += std::string(i == 0 ? "" : ", ") + "{\"subnet\": " + std::to_string(net.subNet) +
                   ", \"caption\": " + str(net.caption) +
                   ", \"state\": " + str(subNetState(beat, net, overview.now)) +
                   ", \"error\": " + str(net.error) + "}";
        }
        out += "]}";
    }
    return out + (first ? "]}\n" : "\n]}\n");
}

std::string transfersJson(const TransferQuery& query,
                          const std::vector<dnc::history::HistoryRow>& rows) {
    const bool more = rows.size() > static_cast<std::size_t>(kPageRows);
    const std::size_t shown = std::min(rows.size(), static_cast<std::size_t>(kPageRows));
    std::string out = "{\"page\": " + std::to_string(query.page) +
                      ", \"pageSize\": " + std::to_string(kPageRows) +
                      ", \"more\": " + (more ? "true" : "false") + ", \"transfers\": [";
    for (std::size_t i = 0; i < shown; ++i) {
        const auto& r = rows[i];
        out += i == 0 ? "\n  " : ",\n  ";
        out += "{\"id\": " + std::to_string(r.id) + ", \"time\": " + str(r.time) +
               ", \"site\": " + str(r.site) + ", \"subnet\": " + std::to_string(r.subNet) +
               ", \"caption\": " + str(r.caption) + ", \"unit\": " + std::to_string(r.unit) +
               ", \"direction\": " + str(dnc::history::toText(r.direction)) +
               ", \"startedBy\": " + str(dnc::history::toText(r.startedBy)) +
               ", \"user\": " + str(r.user) + ", \"name\": " + str(r.name) +
               ", \"size\": " + (r.size ? std::to_string(*r.size) : "null") +
               ", \"sha256\": " + (r.sha256 ? str(*r.sha256) : "null") +
               ", \"outcome\": " + str(dnc::history::toText(r.outcome)) +
               ", \"error\": " + str(r.error) + "}";
    }
    return out + (shown == 0 ? "]}\n" : "\n]}\n");
}

std::string revisionsJson(const std::vector<dnc::history::RevisionRow>& rows) {
    std::string out = "{\"revisions\": [";
    for (std::size_t i = 0; i < rows.size(); ++i) {
        out += (i == 0 ? "\n  " : ",\n  ") + revisionJson(rows[i]);
    }
    return out + (rows.empty() ? "]}\n" : "\n]}\n");
}

std::string diffJson(const RevisionView& view) {
    std::string out = "{\"revision\": " + revisionJson(view.revision) +
                      ", \"released\": " + (view.released ? revisionJson(*view.released) : "null") +
                      ", \"contentKept\": " + (view.contentKept ? "true" : "false") +
                      ", \"identical\": " + (view.diff.identical ? "true" : "false") +
                      ", \"linesChanged\": " + std::to_string(view.diff.linesChanged) +
                      ", \"endsChanged\": " + std::to_string(view.diff.endsChanged) +
                      ", \"rows\": [";
    const auto rows = dnc::revisions::sideBySide(view.diff);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const auto& row = rows[i];
        const char* kind = row.kind == dnc::revisions::RowKind::Same      ? "same"
                           : row.kind == dnc::revisions::RowKind::Changed ? "changed"
                           : row.kind == dnc::revisions::RowKind::Removed ? "removed"
                                                                          : "added";
        const auto line = [](std::size_t n) {
            return n == 0 ? std::string("null") : std::to_string(n);
        };
        out += std::string(i == 0 ? "\n  " : ",\n  ") + "{\"kind\": \"" + kind +
               "\", \"first\": " + line(row.first) + ", \"firstText\": " + str(row.firstText) +
               ", \"second\": " + line(row.second) + ", \"secondText\": " + str(row.secondText) +
               ", \"endChanged\": " + (row.endChanged ? "true" : "false") + "}";
    }
    return out + (rows.empty() ? "]}\n" : "\n]}\n");
}

std::string errorJson(const std::string& message) {
    return "{\"error\": " + str(message) + "}\n";
}

}  // namespace web
