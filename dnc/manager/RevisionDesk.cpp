#include "dnc/manager/RevisionDesk.h"

#include <cerrno>

#include "comm/files/FileIo.h"
#include "comm/files/ProgramFiles.h"
#include "dnc/history/RevisionCommands.h"
#include "dnc/history/ServerLocation.h"
#include "dnc/history/Sha256.h"

namespace dnc {

using history::ActionResult;
using revisions::Action;

RevisionDesk::RevisionDesk(std::filesystem::path database, history::HistoryRecorder& recorder,
                           const std::string& site)
    : database_(std::move(database)), recorder_(recorder), site_(history::siteName(site)) {}

namespace {

std::unique_ptr<history::HistoryStore> openForReading(const std::filesystem::path& database) {
    return history::openHistoryStore(database, history::HistoryStore::Access::Read);
}

}  // namespace

std::optional<std::vector<history::RevisionRow>> RevisionDesk::list(
    const history::RevisionFilter& filter, std::string& error) const {
    std::error_code ec;
    if (!history::isServerLocation(database_.string()) && !std::filesystem::exists(database_, ec)) {
        return std::vector<history::RevisionRow>{};  // nothing recorded yet
    }
    const auto opened = openForReading(database_);
    history::HistoryStore& db = *opened;
    auto rows = db.ok() ? db.revisions(filter) : std::nullopt;
    if (!rows) {
        error = db.error();
        return rows;
    }
    // Only this site's (and those recorded before sites were, which are this PC's).
    std::erase_if(*rows, [this](const history::RevisionRow& row) {
        return !row.site.empty() && row.site != site_;
    });
    return rows;
}

std::optional<std::string> RevisionDesk::compare(std::int64_t id, std::int64_t other,
                                                 std::string& error) const {
    const auto opened = openForReading(database_);
    history::HistoryStore& db = *opened;
    if (!db.ok()) {
        error = db.error();
        return std::nullopt;
    }
    return history::compareRevisions(db, id, other, error);
}

std::optional<std::string> RevisionDesk::content(std::int64_t id, std::string& error) const {
    const auto opened = openForReading(database_);
    history::HistoryStore& db = *opened;
    const auto row = db.ok() ? db.revision(id) : std::nullopt;
    if (!row) {
        error = db.error();
        return std::nullopt;
    }
    return history::revisionContent(db, *row, error);
}

namespace {

// Revision `id` of sub net `subNet` of site `site`, or why there is none.
std::optional<history::RevisionRow> ownRevision(const std::filesystem::path& database,
                                                const std::string& site, int subNet,
                                                std::int64_t id, std::string& why) {
    const auto opened = openForReading(database);
    history::HistoryStore& db = *opened;
    auto row = db.ok() ? db.revision(id) : std::nullopt;
    if (!row) {
        why = db.error();
    } else if (!row->site.empty() && row->site != site) {
        // A revision recorded before sites were is this PC's.
        why = "revision " + std::to_string(id) + " belongs to site " + row->site;
        row.reset();
    } else if (row->subNet != subNet) {
        why =
            "revision " + std::to_string(id) + " belongs to sub net " + std::to_string(row->subNet);
        row.reset();
    }
    return row;
}

}  // namespace

std::optional<std::string> RevisionDesk::foreign(int subNet, std::int64_t id) const {
    std::string why;
    if (!ownRevision(database_, site_, subNet, id, why)) {
        return why;
    }
    return std::nullopt;
}

std::optional<std::string> RevisionDesk::refusal(Action action, int subNet, std::int64_t id) const {
    std::string why;
    const auto row = ownRevision(database_, site_, subNet, id, why);
    if (!row) {
        return why;
    }
    if (auto refused = revisions::refusal(action, row->state, !row->sha256.empty())) {
        return "revision " + std::to_string(id) + ": " + *refused;
    }
    return std::nullopt;
}

std::optional<std::string> RevisionDesk::otherSite(std::int64_t id) const {
    const auto opened = openForReading(database_);
    const auto row = opened->ok() ? opened->revision(id) : std::nullopt;
    if (!row || row->site.empty() || row->site == site_) {
        return std::nullopt;
    }
    return row->site;
}

std::optional<std::int64_t> RevisionDesk::ask(Action action, std::int64_t id,
                                              const std::string& user, std::string& error) {
    // Written here, not on the history's thread: the asker is told at once whether it was filed.
    const auto store =
        history::openHistoryStore(database_, history::HistoryStore::Access::Write, site_);
    history::DecisionRequest request;
    request.revision = id;
    request.action = action;
    request.user = user;
    request.from = site_;
    request.timeUs = history::microseconds(std::chrono::system_clock::now());
    const auto filed = store->ok() ? store->fileRequest(request) : std::nullopt;
    if (!filed) {
        error = store->error();
    }
    return filed;
}

std::optional<RevisionDesk::Change> RevisionDesk::prepare(Action action, std::int64_t id,
                                                          std::string& error) const {
    Change change;
    change.action = action;
    change.id = id;
    if (action == Action::Reject) {
        return change;  // the file stays: nothing to read
    }
    // The content is read here, never on the line's thread; it must still be what was hashed.
    const auto opened = openForReading(database_);
    history::HistoryStore& db = *opened;
    const auto row = db.ok() ? db.revision(id) : std::nullopt;
    if (!row) {
        error = db.error();
        return std::nullopt;
    }
    // An accepted removal removes the file; anything else puts the revision's content there.
    change.removal = action == Action::Accept && row->note == revisions::kDeletionNote;
    change.path = row->path;
    if (change.removal) {
        return change;
    }
    auto content = history::keptContent(db, *row, error);
    if (!content) {
        return std::nullopt;
    }
    if (history::sha256Hex(*content) != row->sha256) {
        error = "the kept content does not match its hash";
        return std::nullopt;
    }
    change.content = std::move(*content);
    return change;
}

void RevisionDesk::carryOut(SubNet& subNet, Change change, const std::string& user,
                            std::function<void(const ActionResult&)> done) {
    history::RevisionAction request;
    request.action = change.action;
    request.id = change.id;
    request.user = user;
    request.timeUs = history::microseconds(std::chrono::system_clock::now());
    request.request = change.request;
    request.done = std::move(done);
    if (change.action == Action::Reject) {
        recorder_.apply(std::move(request));
        return;
    }
    subNet.postChange([this, change = std::move(change),
                       request = std::move(request)](comm::ctrlFerixComm& control) mutable {
        std::string why;
        if (change.removal
                ? !removeReleased(control.FerixHomeDir(), change.path, why)
                : !replaceReleased(control.FerixHomeDir(), change.path, change.content, why)) {
            request.done({false, why, 0});
            return;
        }
        recorder_.apply(std::move(request));
    });
}

void RevisionDesk::act(SubNet& subNet, Action action, std::int64_t id, const std::string& user,
                       std::function<void(const ActionResult&)> done) {
    std::string error;
    std::optional<Change> change = prepare(action, id, error);
    if (!change) {
        done({false, error, 0});
        return;
    }
    carryOut(subNet, std::move(*change), user, std::move(done));
}

int RevisionDesk::addListener(std::function<void(const history::RevisionNotice&)> listener) {
    std::lock_guard<std::mutex> lock(mutex_);
    listeners_.emplace(nextListener_, std::move(listener));
    return nextListener_++;
}

void RevisionDesk::removeListener(int number) {
    std::lock_guard<std::mutex> lock(mutex_);
    listeners_.erase(number);
}

void RevisionDesk::revisionWritten(const history::RevisionNotice& notice) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& [number, listener] : listeners_) {
        listener(notice);
    }
}

bool replaceReleased(const std::filesystem::path& root, const std::filesystem::path& path,
                     const std::string& content, std::string& error) {
    if (!path.is_absolute() || !path.has_filename()) {
        error = "\"" + path.string() + "\" is no file in a unit directory";
        return false;
    }
    // The same rules as for a program from the line: beneath the root, through no link.
    const comm::Status written = comm::storeProgram(root, path, content);
    if (!written) {
        error = "cannot write " + path.string() + ": " + written.error().description;
        return false;
    }
    return true;
}

bool removeReleased(const std::filesystem::path& root, const std::filesystem::path& path,
                    std::string& error) {
    if (!path.is_absolute() || !path.has_filename()) {
        error = "\"" + path.string() + "\" is no file in a unit directory";
        return false;
    }
    const comm::Status removed = comm::removeProgram(root, path);
    if (!removed && removed.error().number != ENOENT) {  // gone already: as asked
        error = "cannot remove " + path.string() + ": " + removed.error().description;
        return false;
    }
    return true;
}

}  // namespace dnc
