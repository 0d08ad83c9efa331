// Which decision requests may be filed and settled: one set of rules for every store.
#include "dnc/history/HistoryStore.h"

namespace dnc::history {

using revisions::Action;

std::string_view toText(DecisionRequest::Status status) {
    switch (status) {
        case DecisionRequest::Status::Open:
            return "open";
        case DecisionRequest::Status::Done:
            return "done";
        case DecisionRequest::Status::Failed:
            return "failed";
    }
    return {};
}

std::optional<DecisionRequest::Status> requestStatusFromText(std::string_view text) {
    for (const auto status : {DecisionRequest::Status::Open, DecisionRequest::Status::Done,
                              DecisionRequest::Status::Failed}) {
        if (toText(status) == text) {
            return status;
        }
    }
    return std::nullopt;
}

namespace {

// Why `request` may not be filed on `target` (nullopt: there is no such revision), with `open`
// the open request for it if any; nullopt when it may.
std::optional<std::string> requestRefusal(const DecisionRequest& request,
                                          const std::optional<RevisionRow>& target,
                                          const std::optional<DecisionRequest>& open) {
    const std::string revision = "revision " + std::to_string(request.revision);
    if (request.action == Action::Restore) {
        return revision + ": a restore is made at the site that owns the revision";
    }
    if (!target) {
        return "there is no " + revision;
    }
    // What the owning site would refuse to carry out is refused now.
    if (const auto refusal =
            revisions::refusal(request.action, target->state, !target->sha256.empty())) {
        return revision + ": " + *refusal;
    }
    if (open) {
        return revision + ": request " + std::to_string(open->id) + " to " +
               std::string(revisions::toText(open->action)) + " it is open already";
    }
    return std::nullopt;
}

}  // namespace

std::optional<RevisionRow> HistoryStore::requestTarget(const DecisionRequest& request) {
    std::optional<RevisionRow> target = revision(request.revision);
    if (!target && !error_.starts_with("there is no revision")) {
        return std::nullopt;  // could not read it
    }
    RequestFilter open;
    open.revision = request.revision;
    open.openOnly = true;
    const auto found = requests(open);
    if (!found) {
        return std::nullopt;
    }
    const std::optional<DecisionRequest> already =
        found->empty() ? std::nullopt : std::optional(found->front());
    if (const auto refusal = requestRefusal(request, target, already)) {
        error_ = *refusal;
        return std::nullopt;
    }
    return target;
}

std::optional<std::string> HistoryStore::settleRefusal(
    std::int64_t id, const std::optional<DecisionRequest>& current, const std::string& site) {
    if (!current) {
        return "there is no request " + std::to_string(id);
    }
    if (current->status != DecisionRequest::Status::Open) {
        return "request " + std::to_string(id) + " is settled already (" +
               std::string(toText(current->status)) + ")";
    }
    if (current->site != site) {
        return "request " + std::to_string(id) + " is for site " + current->site;
    }
    return std::nullopt;
}

}  // namespace dnc::history
