// The filters of the transfer history as a browser or an API client sends them
// (site, subnet, unit, name, from, to, page), checked and turned into a store filter.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "dnc/history/HistoryStore.h"

namespace web {

inline constexpr int kPageRows = 50;

struct TransferQuery {
    // As given, for the form and the page links.
    std::string site;
    std::string subNet;
    std::string unit;
    std::string name;
    std::string from;
    std::string to;
    int page = 1;  // from 1
    // A page's rows plus one, to tell whether an older page follows.
    dnc::history::HistoryFilter filter;
    std::string error;  // what could not be read ("" when all could), as text for the user
};

// `parameter(name)` gives a query parameter's value ("" when absent). Texts of errors in
// `language`.
TransferQuery readTransferQuery(const std::function<std::string(const char*)>& parameter,
                                std::uint16_t language);

}  // namespace web
