#include "web/pages/Layout.h"

#include "web/Html.h"
#include "web/Language.h"
#include "web/Texts.h"

namespace web {

std::string t(const Viewer& viewer, int id) {
    return escape(tr(viewer.language, id));
}

std::string layout(const Viewer& viewer, const std::string& title, const std::string& body,
                   bool refresh) {
    std::string page;
    page.reserve(body.size() + 2048);
    page += "<!DOCTYPE html>\n<html lang=\"";
    page += languageTag(viewer.language);
    page +=
        "\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>";
    page += escape(title) + " – " + t(viewer, text::kTitle);
    page += "</title>\n<link rel=\"stylesheet\" href=\"/static/style.css\">\n";
    if (refresh) {
        page += "<script src=\"/static/refresh.js\" defer></script>\n";
    }
    page += "</head>\n<body";
    if (refresh) {
        page += " data-refresh=\"10\"";
    }
    page += ">\n<header>\n<nav aria-label=\"" + t(viewer, text::kNavigation) + "\">\n<ul>\n";
    page += "<li><a href=\"/\">" + t(viewer, text::kOverview) + "</a></li>\n";
    page += "<li><a href=\"/transfers\">" + t(viewer, text::kTransfers) + "</a></li>\n";
    page +=
        "<li><a href=\"/revisions\">" + t(viewer, text::kPending) + "</a></li>\n</ul>\n</nav>\n";
    if (viewer.user) {
        const std::string role =
            tr(viewer.language, viewer.role == Role::Approver ? text::kApprover : text::kViewer);
        page +=
            "<form method=\"post\" action=\"/sign-out\" class=\"account\">\n<span "
            "id=\"signed-in-as\">";
        page += escape(tr(viewer.language, text::kSignedInAs, {*viewer.user, role}));
        page += "</span>\n<input type=\"hidden\" name=\"csrf\" value=\"" + escape(viewer.csrf) +
                "\">\n";
        page += "<button type=\"submit\">" + t(viewer, text::kSignOut) + "</button>\n</form>\n";
    } else {
        page +=
            "<p class=\"account\"><a href=\"/sign-in\">" + t(viewer, text::kSignIn) + "</a></p>\n";
    }
    page += "</header>\n<main>\n<h1>" + escape(title) + "</h1>\n";
    page += body;
    if (refresh) {
        page += "<p class=\"note\">" + t(viewer, text::kRefreshed) + "</p>\n";
    }
    page += "</main>\n</body>\n</html>\n";
    return page;
}

const char* const kRefreshScript =
    "// Reloads a page that asks for it, unless the reader is typing into one of its fields.\n"
    "(function () {\n"
    "  var seconds = parseInt(document.body.getAttribute('data-refresh'), 10);\n"
    "  if (!(seconds > 0)) { return; }\n"
    "  setInterval(function () {\n"
    "    var active = document.activeElement;\n"
    "    if (document.hidden || (active && (active.tagName === 'INPUT' || active.tagName === "
    "'SELECT'))) { return; }\n"
    "    window.location.reload();\n"
    "  }, seconds * 1000);\n"
    "})();\n";

const char* const kStyleSheet =
    "body{font-family:sans-serif;margin:0 1rem;color:#111;background:#fff}\n"
    "header{display:flex;flex-wrap:wrap;justify-content:space-between;align-items:center;"
    "border-bottom:1px solid #999}\n"
    "nav ul{list-style:none;display:flex;gap:1rem;padding:0}\n"
    "table{border-collapse:collapse;margin:1rem 0}\n"
    "th,td{border:1px solid #bbb;padding:.2rem .5rem;text-align:left;vertical-align:top}\n"
    "th{background:#eee}\n"
    ".silent,.failed,.retrying{color:#a00;font-weight:bold}\n"
    ".stopped{color:#666}\n"
    "table.diff td{font-family:monospace;white-space:pre-wrap}\n"
    "tr.changed td.text{background:#ffe9a8}\n"
    "tr.removed td.first{background:#fcc}\n"
    "tr.added td.second{background:#cfc}\n"
    ".error{color:#a00;font-weight:bold}\n"
    ".note{color:#555;font-size:.9em}\n"
    "form.filter{display:flex;flex-wrap:wrap;gap:.5rem;align-items:end}\n"
    "form.filter label{display:flex;flex-direction:column}\n";

}  // namespace web
