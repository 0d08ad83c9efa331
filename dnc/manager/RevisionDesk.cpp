#include "dnc/manager/RevisionDesk.h"

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

std::optional<std::vector<history::RevisionRow>> RevisionDesk::list(
    const history::RevisionFilter& filter, std::string& error) const {
    std::error_code ec;
    if (!history::isServerLocation(database_.string()) && !std::filesystem::exists(database_, ec)) {
        return std::vector<history::RevisionRow>{};  // nothing recorded yet
    }
    const auto opened = history::openHistoryStore(database_, history::HistoryStore::Access::Read);
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
    const auto opened = history::openHistoryStore(database_, history::HistoryStore::Access::Read);
    history::HistoryStore& db = *opened;
    if (!db.ok()) {
        error = db.error();
        return std::nullopt;
    }
    return history::compareRevisions(db, id, other, error);
}

std::optional<std::string> RevisionDesk::content(std::int64_t id, std::string& error) const {
    const auto opened = history::openHistoryStore(database_, history::HistoryStore::Access::Read);
    history::HistoryStore& db = *opened;
    const auto row = db.ok() ? db.revision(id) : std::nullopt;
    if (!row) {
        error = db.error();
        return std::nullopt;
    }
    return history::revisionContent(db, *row, error);
}

std::optional<std::string> RevisionDesk::foreign(int subNet, std::int64_t id) const {
    const auto opened = history::openHistoryStore(database_, history::HistoryStore::Access::Read);
    history::HistoryStore& db = *opened;
    const auto row = db.ok() ? db.revision(id) : std::nullopt;
    if (!row) {
        return db.error();
    }
    // A revision recorded before sites were is this PC's.
    if (!row->site.empty() && row->site != site_) {
        return "revision " + std::to_string(id) + " belongs to site " + row->site;
    }
    if (row->subNet != subNet) {
        return "revision " + std::to_string(id) + " belongs to sub net " +
               std::to_string(row->subNet);
    }
    return std::nullopt;
}

std::optional<std::string> RevisionDesk::refusal(Action action, int subNet, std::int64_t id) const {
    const auto opened = history::openHistoryStore(database_, history::HistoryStore::Access::Read);
    history::HistoryStore& db = *opened;
    const auto row = db.ok() ? db.revision(id) : std::nullopt;
    if (!row) {
        return db.error();
    }
    if (row->subNet != subNet) {
        return "revision " + std::to_string(id) + " belongs to sub net " +
               std::to_string(row->subNet);
    }
    if (auto refused = revisions::refusal(action, row->state)) {
        return "revision " + std::to_string(id) + ": " + *refused;
    }
    return std::nullopt;
}

void RevisionDesk::act(SubNet& subNet, Action action, std::int64_t id, const std::string& user,
                       std::function<void(const ActionResult&)> done) {
    history::RevisionAction request;
    request.action = action;
    request.id = id;
    request.user = user;
    request.timeUs = history::microseconds(std::chrono::system_clock::now());
    request.done = std::move(done);
    if (action == Action::Reject) {
        recorder_.apply(std::move(request));
        return;
    }
    // The content is read here, never on the line's thread; it must still be what was hashed.
    std::string error;
    const auto opened = history::openHistoryStore(database_, history::HistoryStore::Access::Read);
    history::HistoryStore& db = *opened;
    const auto row = db.ok() ? db.revision(id) : std::nullopt;
    const auto content = row ? history::revisionContent(db, *row, error) : std::nullopt;
    if (!content || history::sha256Hex(*content) != row->sha256) {
        request.done(
            {false,
             row ? (content ? "the kept content does not match its hash" : error) : db.error(), 0});
        return;
    }
    subNet.postChange([this, path = row->path, bytes = *content,
                       request = std::move(request)](comm::ctrlFerixComm& control) mutable {
        std::string why;
        if (!replaceReleased(control.FerixHomeDir(), path, bytes, why)) {
            request.done({false, why, 0});
            return;
        }
        recorder_.apply(std::move(request));
    });
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

}  // namespace dnc
