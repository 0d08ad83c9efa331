// Text into HTML: every value from the store (names, errors, sites come from the shop floor) is
// escaped on its way into a page; bytes that are not UTF-8 are taken as Latin-1 and control
// characters become '?'.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace web {

// `text` as HTML text or attribute value (quotes escaped too).
std::string escape(std::string_view text);

// `text` as valid UTF-8 without control characters (bytes that are not UTF-8 as Latin-1).
std::string cleanText(std::string_view text);

// `text` percent-encoded for a URL's query (all but letters, digits and "-._~").
std::string percentEncoded(std::string_view text);

// A query string of the pairs whose value is not empty, each part percent-encoded, for an href
// (its '&' written as "&amp;").
std::string queryString(const std::vector<std::pair<std::string, std::string>>& pairs);

}  // namespace web
