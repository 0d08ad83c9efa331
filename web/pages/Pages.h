// The pages of the browser view, each a pure function from the data it shows to a whole HTML
// document. Every value from the store is escaped here and nowhere else.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "dnc/history/HistoryStore.h"
#include "dnc/revisions/ProgramDiff.h"
#include "web/Accounts.h"
#include "web/TransferQuery.h"

namespace web {

// Who looks, and in which language.
struct Viewer {
    std::uint16_t language = 0;
    std::optional<std::string> user;  // signed in as
    Role role = Role::Viewer;
    std::string csrf;  // the session's token, for the forms that change something
};

struct Overview {
    std::vector<dnc::history::Heartbeat> beats;
    dnc::history::SiteCounts today;  // transfers since midnight UTC
    std::chrono::system_clock::time_point now;
};

// A decision filed for a revision from afar and how it went.
struct FiledRequest {
    enum class Status { Open, Done, Failed } status = Status::Open;
    std::string action;  // "accept" or "reject"
    std::string user;
    std::string site;    // carries it out
    std::string result;  // why it failed
};

struct RevisionView {
    dnc::history::RevisionRow revision;
    std::optional<dnc::history::RevisionRow> released;
    bool contentKept = true;
    dnc::revisions::ProgramDiff diff;  // released (or nothing) against the revision
    std::optional<FiledRequest> request;
    std::string message;  // after a decision was filed or refused
};

// The sub net's state as shown: the beat's state, or silent for a site without a recent beat.
std::string subNetState(const dnc::history::Heartbeat& beat, const dnc::history::SubNetBeat& net,
                        std::chrono::system_clock::time_point now);

std::string overviewPage(const Viewer& viewer, const Overview& overview);
std::string transfersPage(const Viewer& viewer, const TransferQuery& query,
                          const std::vector<dnc::history::HistoryRow>& rows);
std::string pendingPage(const Viewer& viewer, const std::vector<dnc::history::RevisionRow>& rows);
std::string revisionPage(const Viewer& viewer, const RevisionView& view);
std::string signInPage(const Viewer& viewer, const std::string& message, const std::string& next);
std::string errorPage(const Viewer& viewer, const std::string& message);

// The little script that reloads a page that asks for it, and the stylesheet.
extern const char* const kRefreshScript;
extern const char* const kStyleSheet;

}  // namespace web
