// The plant at a glance: each site, its sub nets with their states and last errors, its
// transfers today and its revisions waiting for approval.
#include <set>

#include "dnc/history/IsoTime.h"
#include "web/Html.h"
#include "web/Texts.h"
#include "web/pages/Layout.h"

namespace web {

using dnc::history::Heartbeat;
using dnc::history::SubNetBeat;

std::string subNetState(const Heartbeat& beat, const SubNetBeat& net,
                        std::chrono::system_clock::time_point now) {
    return dnc::history::silent(beat, now) ? "silent" : net.state;
}

namespace {

int stateText(const std::string& state) {
    if (state == dnc::history::kSubNetRunning) {
        return text::kRunning;
    }
    if (state == dnc::history::kSubNetStopped) {
        return text::kStopped;
    }
    if (state == dnc::history::kSubNetRetrying) {
        return text::kRetrying;
    }
    return text::kSilent;
}

std::string stateCell(const Viewer& viewer, const std::string& state) {
    const int id = stateText(state);
    // The class is one of four fixed words, never the stored text.
    const char* cls = id == text::kRunning    ? "running"
                      : id == text::kStopped  ? "stopped"
                      : id == text::kRetrying ? "retrying"
                                              : "silent";
    return std::string("<td class=\"") + cls + "\">" + t(viewer, id) + "</td>";
}

}  // namespace

std::string overviewPage(const Viewer& viewer, const Overview& overview) {
    std::string body;
    std::vector<Heartbeat> beats = overview.beats;
    // A site that transferred today but never beat is shown too: silent.
    std::set<std::string> known;
    for (const Heartbeat& beat : beats) {
        known.insert(beat.site);
    }
    for (const auto& [site, count] : overview.today) {
        if (known.count(site) == 0) {
            Heartbeat none;
            none.site = site;
            beats.push_back(none);
        }
    }
    if (beats.empty()) {
        body += "<p id=\"no-sites\">" + t(viewer, text::kNoSite) + "</p>\n";
        return layout(viewer, tr(viewer.language, text::kOverview), body, true);
    }
    body += "<table id=\"sites\">\n<caption>" + t(viewer, text::kSites) + "</caption>\n<thead><tr>";
    for (const int id : {text::kSite, text::kLastBeat, text::kToday, text::kPendingCount,
                         text::kSubNet, text::kCaption, text::kState, text::kLastError}) {
        body += "<th scope=\"col\">" + t(viewer, id) + "</th>";
    }
    body += "</tr></thead>\n<tbody>\n";
    for (const Heartbeat& beat : beats) {
        const bool neverBeat = beat.time == std::chrono::system_clock::time_point{};
        const auto today = overview.today.find(beat.site);
        const std::size_t rows = std::max<std::size_t>(1, beat.subNets.size());
        const std::string span = rows > 1 ? " rowspan=\"" + std::to_string(rows) + "\"" : "";
        std::string siteCells = "<th scope=\"row\"" + span + ">" + escape(beat.site) + "</th>";
        siteCells += "<td" + span + ">" +
                     (neverBeat ? std::string("–") : escape(dnc::history::isoUtc(beat.time))) +
                     "</td>";
        siteCells += "<td" + span + ">" +
                     std::to_string(today == overview.today.end() ? 0 : today->second) + "</td>";
        siteCells += "<td" + span + ">" + std::to_string(beat.pending) + "</td>";
        if (beat.subNets.empty()) {
            body += "<tr>" + siteCells + "<td>–</td><td></td>" +
                    stateCell(viewer, dnc::history::silent(beat, overview.now) ? "silent" : "") +
                    "<td></td></tr>\n";
            continue;
        }
        for (const SubNetBeat& net : beat.subNets) {
            body += "<tr>" + siteCells;
            siteCells.clear();
            body +=
                "<td>" + std::to_string(net.subNet) + "</td><td>" + escape(net.caption) + "</td>";
            body += stateCell(viewer, subNetState(beat, net, overview.now));
            body += "<td>" + escape(net.error) + "</td></tr>\n";
        }
    }
    body += "</tbody>\n</table>\n";
    return layout(viewer, tr(viewer.language, text::kOverview), body, true);
}

}  // namespace web
