// The revisions waiting for approval, and one revision beside the released version of its
// program, with the decision for those who may take it.
#include "dnc/history/IsoTime.h"
#include "web/Html.h"
#include "web/Texts.h"
#include "web/pages/Layout.h"

namespace web {

using dnc::history::RevisionRow;
using dnc::revisions::RowKind;
using dnc::revisions::State;

namespace {

std::string timeText(std::int64_t us) {
    return dnc::history::isoUtc(std::chrono::system_clock::time_point(
        std::chrono::duration_cast<std::chrono::system_clock::duration>(
            std::chrono::microseconds(us))));
}

std::string stateText(const Viewer& viewer, State state) {
    return t(viewer, text::kReleased + static_cast<int>(state));
}

std::string sourceText(const Viewer& viewer, dnc::revisions::Source source) {
    return t(viewer, text::kFromAUnit + static_cast<int>(source));
}

std::string revisionLink(const RevisionRow& r) {
    return "/revisions/" + std::to_string(r.id);
}

std::string requestText(const Viewer& viewer, const FiledRequest& request) {
    const std::uint16_t lang = viewer.language;
    const std::string action = tr(lang, request.action == "reject" ? text::kReject : text::kAccept);
    std::string status;
    switch (request.status) {
        case FiledRequest::Status::Open:
            status = tr(lang, text::kRequestOpen, {request.site});
            break;
        case FiledRequest::Status::Done:
            status = tr(lang, text::kRequestDone);
            break;
        case FiledRequest::Status::Failed:
            status = tr(lang, text::kRequestFailed, {request.result});
            break;
    }
    return escape(action + " (" + request.user + "): " + status);
}

}  // namespace

std::string pendingPage(const Viewer& viewer, const std::vector<RevisionRow>& rows) {
    std::string body;
    if (rows.empty()) {
        body += "<p id=\"no-pending\">" + t(viewer, text::kNoPending) + "</p>\n";
        return layout(viewer, tr(viewer.language, text::kPending), body, true);
    }
    body += "<table id=\"pending\">\n<thead><tr>";
    for (const int id : {text::kRevision, text::kSite, text::kSubNet, text::kUnit, text::kName,
                         text::kRecorded, text::kSource, text::kUser, text::kSize}) {
        body += "<th scope=\"col\">" + t(viewer, id) + "</th>";
    }
    body += "</tr></thead>\n<tbody>\n";
    for (const RevisionRow& r : rows) {
        body += "<tr><td><a href=\"" + revisionLink(r) + "\">" + std::to_string(r.id) +
                "</a></td><td>" + escape(r.site) + "</td><td>" + std::to_string(r.subNet) +
                "</td><td>" + std::to_string(r.unit) + "</td><th scope=\"row\"><a href=\"" +
                revisionLink(r) + "\">" + escape(r.name) + "</a>" +
                (dnc::revisions::removesProgram(r.state, r.note)
                     ? " (" + t(viewer, text::kRemoves) + ")"
                     : std::string()) +
                "</th><td>" + escape(timeText(r.timeUs)) + "</td><td>" +
                sourceText(viewer, r.source) + "</td><td>" + escape(r.user) + "</td><td>" +
                std::to_string(r.size) + "</td></tr>\n";
    }
    body += "</tbody>\n</table>\n";
    return layout(viewer, tr(viewer.language, text::kPending), body, true);
}

std::string revisionPage(const Viewer& viewer, const RevisionView& view) {
    const RevisionRow& r = view.revision;
    const std::uint16_t lang = viewer.language;
    std::string body;
    body += "<dl class=\"revision\">\n";
    const auto item = [&](int id, const std::string& value) {
        body += "<dt>" + t(viewer, id) + "</dt><dd>" + value + "</dd>\n";
    };
    item(text::kSite, escape(r.site));
    item(text::kSubNet, std::to_string(r.subNet));
    item(text::kUnit, std::to_string(r.unit));
    item(text::kState, "<span id=\"state\">" + stateText(viewer, r.state) + "</span>");
    item(text::kRecorded, escape(timeText(r.timeUs)));
    item(text::kSource, sourceText(viewer, r.source));
    item(text::kUser, escape(r.user));
    if (view.request) {
        item(text::kRequest,
             "<span id=\"request-status\">" + requestText(viewer, *view.request) + "</span>");
    }
    body += "</dl>\n";
    if (!view.message.empty()) {
        body += "<p id=\"message\" role=\"status\">" + escape(view.message) + "</p>\n";
    }
    const bool mayDecide = viewer.user && viewer.role == Role::Approver &&
                           r.state == State::Pending &&
                           (!view.request || view.request->status != FiledRequest::Status::Open);
    if (mayDecide) {
        body += "<h2>" + t(viewer, text::kDecision) + "</h2>\n";
        for (const auto& [action, button] :
             {std::pair{"accept", text::kAccept}, std::pair{"reject", text::kReject}}) {
            body += "<form method=\"post\" action=\"/revisions/" + std::to_string(r.id) + "/" +
                    action +
                    "\" class=\"decision\">\n<input type=\"hidden\" name=\"csrf\" value=\"" +
                    escape(viewer.csrf) + "\">\n<button type=\"submit\" id=\"" + action + "\">" +
                    t(viewer, button) + "</button>\n</form>\n";
        }
    }
    body += "<h2>" + t(viewer, text::kDifference) + "</h2>\n";
    if (!view.contentKept) {
        body += "<p>" + t(viewer, text::kNotKept) + "</p>\n";
    } else {
        if (!view.released) {
            body += "<p>" + t(viewer, text::kAllNew) + "</p>\n";
        } else if (view.diff.identical) {
            body += "<p>" + t(viewer, text::kSame) + "</p>\n";
        } else if (view.diff.linesChanged == 0 && view.diff.endsChanged > 0) {
            body += "<p>" + t(viewer, text::kEndsOnly) + "</p>\n";
        }
        body += "<p>" +
                escape(tr(lang, text::kLinesChanged, {std::to_string(view.diff.linesChanged)})) +
                "</p>\n";
        const std::string left =
            view.released
                ? tr(lang, text::kReleasedVersion) + " (" +
                      tr(lang, text::kRevisionNumber, {std::to_string(view.released->id)}) + ")"
                : tr(lang, text::kReleasedVersion);
        body += "<table id=\"diff\" class=\"diff\">\n<thead><tr><th scope=\"col\">" +
                t(viewer, text::kLine) + "</th><th scope=\"col\">" + escape(left) +
                "</th><th scope=\"col\">" + t(viewer, text::kLine) + "</th><th scope=\"col\">" +
                escape(tr(lang, text::kRevisionNumber, {std::to_string(r.id)})) +
                "</th></tr></thead>\n<tbody>\n";
        for (const auto& row : dnc::revisions::sideBySide(view.diff)) {
            const char* kind = row.kind == RowKind::Same      ? "same"
                               : row.kind == RowKind::Changed ? "changed"
                               : row.kind == RowKind::Removed ? "removed"
                                                              : "added";
            const auto number = [](std::size_t n) {
                return n == 0 ? std::string() : std::to_string(n);
            };
            body += std::string("<tr class=\"") + kind + "\"><td>" + number(row.first) +
                    "</td><td class=\"text first\">" + escape(row.firstText) + "</td><td>" +
                    number(row.second) + "</td><td class=\"text second\">" +
                    escape(row.secondText) + (row.endChanged ? " ¶" : "") + "</td></tr>\n";
        }
        body += "</tbody>\n</table>\n";
    }
    return layout(viewer, tr(lang, text::kRevisionOf, {std::to_string(r.id), r.name}), body);
}

}  // namespace web
