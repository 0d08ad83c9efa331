// The frame every page shares: the document head, the navigation, who is signed in.
#pragma once

#include <string>

#include "web/pages/Pages.h"

namespace web {

// A whole document titled `title` (already text, escaped here) around `body` (HTML).
// `refresh`: the page reloads itself every few seconds when script runs.
std::string layout(const Viewer& viewer, const std::string& title, const std::string& body,
                   bool refresh = false);

// A text of the table in the viewer's language, escaped.
std::string t(const Viewer& viewer, int id);

}  // namespace web
