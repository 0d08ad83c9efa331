// How a record becomes a revision and how an operator's decision is written: one set of rules
// for every store, built of the store's own writing steps.
#include "dnc/history/HistoryStore.h"
#include "dnc/history/IsoTime.h"

namespace dnc::history {

using revisions::Action;
using revisions::Source;
using revisions::State;

bool HistoryStore::supersedeReleased(int subNet, int unit, const std::string& name,
                                     const std::string& user, std::int64_t timeUs) {
    const std::optional<RevisionRow> current = released(subNet, unit, name, writingSite());
    if (!current) {
        return error_.empty();
    }
    return addState(current->id, State::Superseded, user, timeUs);
}

bool HistoryStore::writeRevisionOf(const PreparedRecord& prepared) {
    std::optional<RevisionRow> row = revisionOf(prepared);
    if (!row) {
        return true;
    }
    const TransferRecord& r = prepared.record;
    if (r.deletion) {
        return writeDeletion(prepared, *row);
    }
    if (!keepContent(row->sha256, *r.content, isoUtc(r.time))) {
        return false;
    }
    if (row->state == State::Released &&
        !supersedeReleased(row->subNet, row->unit, row->name, row->user, row->timeUs)) {
        return false;
    }
    const std::int64_t id = insertRevision(*row);
    if (id == 0) {
        return false;
    }
    notice_ = RevisionNotice{id, row->subNet, row->unit, row->name, row->state};
    return true;
}

bool HistoryStore::writeDeletion(const PreparedRecord& prepared, RevisionRow row) {
    const TransferRecord& r = prepared.record;
    const std::optional<RevisionRow> current =
        released(row.subNet, row.unit, row.name, writingSite());
    if (!error_.empty()) {
        return false;
    }
    if (r.content) {
        if (!keepContent(row.sha256, *r.content, isoUtc(r.time))) {
            return false;
        }
    } else if (current) {
        // The file could not be read before it went: it held the released content, if any.
        row.sha256 = current->sha256;
        row.size = current->size;
    }
    row.note = std::string(revisions::kDeletionNote);
    if (!r.held) {
        row.state = State::Deleted;
        if (current && !addState(current->id, State::Superseded, row.user, row.timeUs)) {
            return false;
        }
    }
    const std::int64_t id = insertRevision(row);
    if (id == 0) {
        return false;
    }
    notice_ = RevisionNotice{id, row.subNet, row.unit, row.name, row.state};
    return true;
}

bool HistoryStore::writeAction(const RevisionAction& action,
                               const std::optional<RevisionRow>& target, ActionResult& result,
                               bool& refused) {
    refused = true;  // error() says why already
    if (!target) {
        return false;
    }
    if (const auto refusal =
            revisions::refusal(action.action, target->state, !target->sha256.empty())) {
        error_ = "revision " + std::to_string(action.id) + ": " + *refusal;
        return false;
    }
    refused = false;
    if (action.action == Action::Reject) {
        result.revision = target->id;
        return addState(target->id, State::Rejected, action.user, action.timeUs);
    }
    // The file now holds the revision's content: a new released revision says so.
    RevisionRow row = *target;
    row.timeUs = action.timeUs;
    row.user = action.user;
    const bool accept = action.action == Action::Accept;
    // An accepted removal leaves no file: the new revision says it was removed.
    const bool removal = accept && target->note == revisions::kDeletionNote;
    row.state = removal ? State::Deleted : State::Released;
    row.source = accept ? Source::Accept : Source::Restore;
    row.note = (accept ? "accepts revision " : "restores revision ") + std::to_string(target->id);
    if (!supersedeReleased(row.subNet, row.unit, row.name, action.user, action.timeUs) ||
        (accept && !addState(target->id, State::Superseded, action.user, action.timeUs))) {
        return false;
    }
    result.revision = insertRevision(row);
    return result.revision != 0;
}

}  // namespace dnc::history
