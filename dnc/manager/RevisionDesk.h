// Where operators approve the programs that arrived from the units: the revisions are read
// from the history database, and an accept, reject or restore is carried out on the sub net (the
// file in the unit directory is replaced only while its line rests) and recorded by the
// history's own thread. Callable from any thread; the results come back on other threads.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "dnc/history/HistoryRecorder.h"
#include "dnc/history/Revisions.h"
#include "dnc/manager/SubNet.h"

namespace dnc {

class RevisionDesk {
public:
    // The desk of the plant site `site` (empty: the host name): a shared history holds other
    // sites' revisions too, which are none of its own.
    RevisionDesk(std::filesystem::path database, history::HistoryRecorder& recorder,
                 const std::string& site = {});

    // This site's revisions that `filter` lets through.
    std::optional<std::vector<history::RevisionRow>> list(const history::RevisionFilter& filter,
                                                          std::string& error) const;
    // The unified difference from `other` (0: the released revision) to `id`.
    std::optional<std::string> compare(std::int64_t id, std::int64_t other,
                                       std::string& error) const;
    // The content of revision `id`.
    std::optional<std::string> content(std::int64_t id, std::string& error) const;

    // Why revision `id` is none of sub net `subNet`'s (of this site); nullopt when it is.
    std::optional<std::string> foreign(int subNet, std::int64_t id) const;
    // Why `action` cannot be taken on revision `id` of sub net `subNet`, checked before
    // anything changes; nullopt when it can.
    std::optional<std::string> refusal(revisions::Action action, int subNet, std::int64_t id) const;

    // The site that owns revision `id` when it is another site's; nullopt when it is this
    // site's, or there is no such revision (refusal() says so).
    std::optional<std::string> otherSite(std::int64_t id) const;
    // Asks the site owning revision `id` to accept or reject it for `user`: a request that
    // site carries out. Its id, or nullopt with `error`.
    std::optional<std::int64_t> ask(revisions::Action action, std::int64_t id,
                                    const std::string& user, std::string& error);

    // Carries out `action` on revision `id` for `user`. An accept or restore replaces the
    // file on the sub net's thread once its line rests, then the history records it; `done`
    // comes on the sub net's or the history's thread.
    void act(SubNet& subNet, revisions::Action action, std::int64_t id, const std::string& user,
             std::function<void(const history::ActionResult&)> done);

    // act() in two steps, for a caller that must not read the history on its own thread:
    // prepare() reads what the change needs (on any thread), carryOut() only hands it on.
    struct Change {
        revisions::Action action = revisions::Action::Accept;
        std::int64_t id = 0;
        std::filesystem::path path;
        std::string content;
        bool removal = false;      // an accepted removal: the file goes
        std::int64_t request = 0;  // the decision request it carries out, settled with it
    };
    std::optional<Change> prepare(revisions::Action action, std::int64_t id,
                                  std::string& error) const;
    void carryOut(SubNet& subNet, Change change, const std::string& user,
                  std::function<void(const history::ActionResult&)> done);

    // Who is told of each revision written from a transfer (on the history's thread); the
    // number removes the listener again.
    int addListener(std::function<void(const history::RevisionNotice&)> listener);
    void removeListener(int number);
    // For the history's RecorderOptions::revisionWritten.
    void revisionWritten(const history::RevisionNotice& notice);

private:
    std::filesystem::path database_;
    history::HistoryRecorder& recorder_;
    std::string site_;
    mutable std::mutex mutex_;
    std::map<int, std::function<void(const history::RevisionNotice&)>> listeners_;
    int nextListener_ = 1;
};

// Puts `content` in place of the file at `path` in one step: a reader, or a process killed
// meanwhile, sees the old file or the new one, never a part. `path` must lie beneath `root`
// (the sub net's home folder) and be reached through no symbolic link.
bool replaceReleased(const std::filesystem::path& root, const std::filesystem::path& path,
                     const std::string& content, std::string& error);

// Removes the file at `path` (the same rules) for an accepted removal; one already gone is no
// failure.
bool removeReleased(const std::filesystem::path& root, const std::filesystem::path& path,
                    std::string& error);

}  // namespace dnc
