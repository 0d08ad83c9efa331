// The transfer history, newest first, a page at a time, with its filter form.
#include "web/Html.h"
#include "web/Texts.h"
#include "web/pages/Layout.h"

namespace web {

using dnc::history::Direction;
using dnc::history::HistoryRow;
using dnc::history::Outcome;

namespace {

std::string field(const char* name, const std::string& label, const std::string& value,
                  const char* type = "text") {
    return std::string("<label for=\"f-") + name + "\">" + label + "<input id=\"f-" + name +
           "\" name=\"" + name + "\" type=\"" + type + "\" value=\"" + escape(value) +
           "\"></label>\n";
}

std::string pageLink(const TransferQuery& q, int page) {
    return "/transfers" + queryString({{"site", q.site},
                                       {"subnet", q.subNet},
                                       {"unit", q.unit},
                                       {"name", q.name},
                                       {"from", q.from},
                                       {"to", q.to},
                                       {"page", page > 1 ? std::to_string(page) : ""}});
}

}  // namespace

std::string transfersPage(const Viewer& viewer, const TransferQuery& q,
                          const std::vector<HistoryRow>& rows) {
    std::string body;
    body +=
        "<form id=\"filter\" class=\"filter\" method=\"get\" action=\"/transfers\" "
        "aria-label=\"" +
        t(viewer, text::kFilter) + "\">\n";
    body += field("site", t(viewer, text::kSite), q.site);
    body += field("subnet", t(viewer, text::kSubNet), q.subNet);
    body += field("unit", t(viewer, text::kUnit), q.unit);
    body += field("name", t(viewer, text::kNameContains), q.name);
    body += field("from", t(viewer, text::kFrom), q.from);
    body += field("to", t(viewer, text::kTo), q.to);
    body += "<button type=\"submit\">" + t(viewer, text::kShow) + "</button>\n</form>\n";
    if (!q.error.empty()) {
        body += "<p class=\"error\" role=\"alert\">" + escape(q.error) + "</p>\n";
    }
    const bool more = rows.size() > static_cast<std::size_t>(kPageRows);
    const std::size_t shown = std::min(rows.size(), static_cast<std::size_t>(kPageRows));
    if (shown == 0) {
        body += "<p id=\"no-transfers\">" + t(viewer, text::kNoTransfer) + "</p>\n";
    } else {
        body += "<table id=\"transfers\">\n<caption>" +
                escape(tr(viewer.language, text::kPage, {std::to_string(q.page)})) +
                "</caption>\n<thead><tr>";
        for (const int id :
             {text::kTime, text::kSite, text::kSubNet, text::kUnit, text::kName, text::kDirection,
              text::kUser, text::kSize, text::kOutcome, text::kLastError}) {
            body += "<th scope=\"col\">" + t(viewer, id) + "</th>";
        }
        body += "</tr></thead>\n<tbody>\n";
        for (std::size_t i = 0; i < shown; ++i) {
            const HistoryRow& r = rows[i];
            const int outcome = r.outcome == Outcome::Done     ? text::kDone
                                : r.outcome == Outcome::Failed ? text::kFailed
                                                               : text::kBroken;
            body += "<tr><td>" + escape(r.time) + "</td><td>" + escape(r.site) + "</td><td>" +
                    std::to_string(r.subNet) + " " + escape(r.caption) + "</td><td>" +
                    std::to_string(r.unit) + "</td><th scope=\"row\">" + escape(r.name) +
                    "</th><td>" +
                    t(viewer, r.direction == Direction::ToUnit ? text::kToUnit : text::kFromUnit) +
                    "</td><td>" + escape(r.user) + "</td><td>" +
                    (r.size ? std::to_string(*r.size) : std::string()) + "</td><td" +
                    (r.outcome == Outcome::Done ? "" : " class=\"failed\"") + ">" +
                    t(viewer, outcome) + "</td><td>" + escape(r.error) + "</td></tr>\n";
        }
        body += "</tbody>\n</table>\n";
    }
    if (q.page > 1 || more) {
        body += "<nav aria-label=\"" + t(viewer, text::kPages) + "\" class=\"pages\">\n";
        if (q.page > 1) {
            body += "<a rel=\"prev\" id=\"newer\" href=\"" + pageLink(q, q.page - 1) + "\">" +
                    t(viewer, text::kNewer) + "</a>\n";
        }
        if (more) {
            body += "<a rel=\"next\" id=\"older\" href=\"" + pageLink(q, q.page + 1) + "\">" +
                    t(viewer, text::kOlder) + "</a>\n";
        }
        body += "</nav>\n";
    }
    return layout(viewer, tr(viewer.language, text::kHistory), body, q.page == 1);
}

}  // namespace web
