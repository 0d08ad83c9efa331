// The sign-in form and the page every error shows on.
#include "web/Html.h"
#include "web/Texts.h"
#include "web/pages/Layout.h"

namespace web {

std::string signInPage(const Viewer& viewer, const std::string& message, const std::string& next) {
    std::string body;
    if (!message.empty()) {
        body += "<p class=\"error\" role=\"alert\" id=\"message\">" + escape(message) + "</p>\n";
    }
    body +=
        "<form method=\"post\" action=\"/sign-in\" id=\"sign-in\">\n"
        "<p><label for=\"name\">" +
        t(viewer, text::kName) +
        "</label>\n"
        "<input id=\"name\" name=\"name\" autocomplete=\"username\" required "
        "maxlength=\"64\"></p>\n"
        "<p><label for=\"password\">" +
        t(viewer, text::kPassword) +
        "</label>\n"
        "<input id=\"password\" name=\"password\" type=\"password\" "
        "autocomplete=\"current-password\" required maxlength=\"1024\"></p>\n"
        "<input type=\"hidden\" name=\"next\" value=\"" +
        escape(next) +
        "\">\n"
        "<p><button type=\"submit\" id=\"submit\">" +
        t(viewer, text::kSignIn) + "</button></p>\n</form>\n";
    return layout(viewer, tr(viewer.language, text::kSignIn), body);
}

std::string errorPage(const Viewer& viewer, const std::string& message) {
    return layout(viewer, tr(viewer.language, text::kError),
                  "<p class=\"error\" role=\"alert\" id=\"message\">" + escape(message) + "</p>\n");
}

}  // namespace web
