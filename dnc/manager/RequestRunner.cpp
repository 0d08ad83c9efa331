#include "dnc/manager/RequestRunner.h"

namespace dnc {

using history::DecisionRequest;
using revisions::Action;
using revisions::State;

namespace {

std::string described(const DecisionRequest& request) {
    return "request " + std::to_string(request.id) + " from " + request.from + " (" + request.user +
           ") to " + std::string(revisions::toText(request.action)) + " revision " +
           std::to_string(request.revision);
}

// Whether the decision asked for is recorded already: this site's operator made it meanwhile.
bool decidedAlready(history::HistoryStore& db, const history::RevisionRow& row, Action action) {
    if (action == Action::Reject) {
        return row.state == State::Rejected;
    }
    if (row.state != State::Superseded) {
        return false;
    }
    history::RevisionFilter program;
    program.subNet = row.subNet;
    program.unit = row.unit;
    program.name = row.name;
    program.site = row.site;
    const auto rows = db.revisions(program);
    const std::string note = "accepts revision " + std::to_string(row.id);
    return rows && std::any_of(rows->begin(), rows->end(), [&](const history::RevisionRow& r) {
               return r.source == revisions::Source::Accept && r.note == note;
           });
}

}  // namespace

RequestRunner::RequestRunner(std::filesystem::path database, std::string site, RevisionDesk& desk,
                             history::HistoryRecorder& recorder, Options options)
    : database_(std::move(database)),
      site_(history::siteName(site)),
      desk_(desk),
      recorder_(recorder),
      options_(std::move(options)) {}

RequestRunner::~RequestRunner() {
    stop();
}

void RequestRunner::attach(Network* network) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        network_ = network;
        if (network == nullptr || timer_.joinable() || stopping_) {
            return;
        }
        timer_ = std::thread([this] { tick(); });
    }
}

void RequestRunner::stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        network_ = nullptr;
    }
    wake_.notify_all();
    if (timer_.joinable()) {
        timer_.join();
    }
}

void RequestRunner::checkNow() {
    recorder_.checkRequests();
}

void RequestRunner::tick() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopping_) {
        lock.unlock();
        recorder_.checkRequests();  // at once too: those filed while this site was away
        lock.lock();
        wake_.wait_for(lock, options_.interval, [this] { return stopping_; });
    }
}

void RequestRunner::requestsOpen(const std::vector<DecisionRequest>& open) {
    for (const DecisionRequest& request : open) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            // One being carried out is settled with its decision: never taken twice.
            if (network_ == nullptr || request.site != site_ ||
                !inFlight_.insert(request.id).second) {
                continue;
            }
        }
        take(request);
    }
}

void RequestRunner::take(const DecisionRequest& request) {
    const auto db = history::openHistoryStore(database_, history::HistoryStore::Access::Read);
    const auto row = db->ok() ? db->revision(request.revision) : std::nullopt;
    if (!row) {
        if (!db->ok()) {
            finished(request.id);  // asked again at the next check
            return;
        }
        settleFailed(request, db->error());
        return;
    }
    if (!row->site.empty() && row->site != site_) {
        finished(request.id);  // another site's: none of this one's
        return;
    }
    if (const auto refused = revisions::refusal(request.action, row->state, !row->sha256.empty())) {
        if (decidedAlready(*db, *row, request.action)) {
            recorder_.settle(request.id, true, "",
                             [this, request](bool ok, const std::string& why) {
                                 say(described(request) +
                                     (ok ? ": made here already" : ": not settled: " + why));
                                 finished(request.id);
                             });
            return;
        }
        settleFailed(request, "revision " + std::to_string(request.revision) + ": " + *refused);
        return;
    }
    std::string error;
    std::optional<RevisionDesk::Change> change = desk_.prepare(request.action, row->id, error);
    if (!change) {
        settleFailed(request, error);
        return;
    }
    change->request = request.id;
    const std::string user = request.user + "@" + request.from;
    std::lock_guard<std::mutex> lock(mutex_);
    if (network_ == nullptr) {
        inFlight_.erase(request.id);  // left for the next time a network runs
        return;
    }
    Network* network = network_;
    const int subNet = row->subNet;
    network->postToNetwork([this, network, subNet, request, user, change = std::move(*change)] {
        SubNet* running = network->runningSubNet(subNet);
        if (running == nullptr) {
            settleFailed(request, "sub net " + std::to_string(subNet) + " is not running");
            return;
        }
        desk_.carryOut(*running, change, user, [this, request](const history::ActionResult& r) {
            if (r.ok) {
                say(described(request) + ": done");
                finished(request.id);
            } else {
                settleFailed(request, r.error);
            }
        });
    });
}

void RequestRunner::settleFailed(const DecisionRequest& request, const std::string& why) {
    recorder_.settle(request.id, false, why, [this, request, why](bool ok, const std::string& e) {
        say(described(request) + ": failed: " + why + (ok ? "" : " (not settled: " + e + ")"));
        finished(request.id);
    });
}

void RequestRunner::finished(std::int64_t id) {
    std::lock_guard<std::mutex> lock(mutex_);
    inFlight_.erase(id);
}

void RequestRunner::say(const std::string& line) const {
    if (options_.log) {
        options_.log("decision " + line);
    }
}

}  // namespace dnc
