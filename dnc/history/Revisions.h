// What the history keeps of the programs in the unit directories: every change of a program's
// content is a revision, its content kept once by its SHA-256.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "dnc/revisions/RevisionState.h"

namespace dnc::history {

struct RevisionRow {
    std::int64_t id = 0;
    int subNet = 0;
    int unit = 0;
    std::string name;
    std::string path;  // the file in the unit directory
    revisions::State state = revisions::State::Pending;
    revisions::Source source = revisions::Source::Unit;
    std::int64_t size = 0;
    std::int64_t timeUs = 0;  // microseconds since the epoch
    std::string sha256;
    std::string user;
    std::string note;
    std::string site;  // the plant site that recorded it ("" before sites were recorded)
};

// Which revisions a query returns, newest first. Empty fields do not filter.
struct RevisionFilter {
    std::optional<int> subNet;
    std::optional<int> unit;
    std::string name;  // exactly
    std::optional<revisions::State> state;
    std::string site;  // exactly
};

// What an operator's accept, reject or restore changed.
struct ActionResult {
    bool ok = false;
    std::string error;
    std::int64_t revision = 0;  // the new revision (accept, restore), or the one rejected
};

// An accept, reject or restore of revision `id` by `user`. An accept or restore is recorded
// once the file in the unit directory holds the revision's content.
struct RevisionAction {
    revisions::Action action = revisions::Action::Accept;
    std::int64_t id = 0;
    std::string user;
    std::int64_t timeUs = 0;
    // The decision request this carries out (0: none): settled done in the same transaction,
    // so a request is never carried out and left open.
    std::int64_t request = 0;
    // Called on the recorder's thread once the action is written or has failed.
    std::function<void(const ActionResult&)> done;
};

// A revision just written from a transfer, for those who show or announce it.
struct RevisionNotice {
    std::int64_t id = 0;
    int subNet = 0;
    int unit = 0;
    std::string name;
    revisions::State state = revisions::State::Pending;
};

// An accept or reject of a revision asked for away from the site that owns it: the owning
// site carries it out on its own files and settles the request, done or failed.
struct DecisionRequest {
    std::int64_t id = 0;
    std::int64_t revision = 0;
    revisions::Action action = revisions::Action::Accept;  // Accept or Reject
    std::string user;                                      // who asked
    std::string from;  // where it was asked: a site's name, or "web"
    std::string site;  // the site owning the revision; it carries the request out
    std::int64_t timeUs = 0;
    enum class Status { Open, Done, Failed } status = Status::Open;
    std::string result;  // why it failed ("" when done)
    std::int64_t settledUs = 0;
};

// Which requests a query returns, newest first. Empty fields do not filter.
struct RequestFilter {
    std::string site;  // the owning site, exactly
    std::optional<std::int64_t> revision;
    bool openOnly = false;
};

std::string_view toText(DecisionRequest::Status status);
std::optional<DecisionRequest::Status> requestStatusFromText(std::string_view text);

// The result of walking the hash chains.
struct ChainCheck {
    bool intact = true;
    std::string table;  // of the first record that does not match
    std::int64_t id = 0;
    std::string reason;
    std::int64_t records = 0;  // walked
};

}  // namespace dnc::history
