// The hash chain over the history's records: each record's seal is the SHA-256 of the seal of
// the record before it and of its own fields, so a changed field, a removed or an inserted
// record breaks the chain from that record on.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace dnc::history {

class ChainFields {
public:
    void text(std::string_view value);
    void blob(std::string_view value);
    void number(std::int64_t value);
    void real(double value);
    void null();
    // The seal of a record with these fields after the record sealed `previous` ("" for the
    // first record of a chain).
    std::string seal(std::string_view previous) const;
    const std::string& encoded() const { return encoded_; }

private:
    std::string encoded_;  // each field with its type and length: no two records encode alike
};

// The tables with a chain, and the columns each one's seal covers, in this order; a record sealed
// with its plant site has the site last (the site that wrote it). A revision's state is not
// covered: it changes, and each
// change is a record of revision_states, sealed in turn.
struct ChainedTable {
    const char* name;
    const char* sealed;
};
inline constexpr ChainedTable kChainedTables[] = {
    {"transfers",
     "id, time, subnet, caption, unit, direction, started_by, name, path, size, sha256, stored, "
     "outcome, error, \"user\""},
    {"revisions", "id, time, subnet, unit, name, path, source, sha256, size, \"user\", note"},
    {"revision_states", "id, revision, time, state, \"user\""},
    // Who asked another site for a decision, and how the owning site settled it; as with a
    // revision, a request's status is that of its last settlement.
    {"decision_requests", "id, time, revision, action, \"user\", origin, owner"},
    {"request_settlements", "id, request, time, status, result"},
};
// The tables of the decision requests, which older schemas lack.
inline constexpr int kChainedBeforeRequests = 3;

// What a broken chain is reported as.
inline constexpr const char* kSealMismatch =
    "the record does not match its seal: a field was changed, or a record before it inserted or "
    "removed";

}  // namespace dnc::history
