#include "dnc/history/HistoryRecorder.h"

#include <algorithm>

namespace dnc::history {

namespace {

// Between two writes to a held database; each write itself waits a while for the lock.
constexpr std::chrono::milliseconds kHeldPause{20};

class DatabaseWriter : public HistoryWriter {
public:
    DatabaseWriter(const std::string& location, const std::string& site, bool keepPrograms,
                   Retention retention)
        : owned_(openHistoryStore(location, HistoryStore::Access::Write, site)),
          db_(*owned_),
          site_(siteName(site)),
          keepPrograms_(keepPrograms),
          retention_(retention) {
        if (!db_.ok()) {
            openError_ = db_.error();
        } else if (keepPrograms_) {
            db_.applyRetention(retention_, std::chrono::system_clock::now());
        }
    }

    bool write(const PreparedRecord& record) override { return writeWith(record, nullptr); }
    bool writeOnce(const PreparedRecord& record, const std::string& origin) override {
        return writeWith(record, &origin);
    }
    bool writeWith(const PreparedRecord& record, const std::string* origin) {
        if (!openError_.empty()) {
            return false;  // the recorder makes a new writer for the next try
        }
        const bool keep = keepPrograms_ && record.record.direction == Direction::ToUnit &&
                          record.record.outcome == Outcome::Done && record.record.content;
        if (!(origin != nullptr ? db_.addOnce(record, keep, *origin) : db_.add(record, keep))) {
            return false;
        }
        notice_ = db_.takeRevisionNotice();
        if (keep) {
            // The transfer is recorded; a retention that fails now is done with the next one.
            db_.applyRetention(retention_, std::chrono::system_clock::now());
        }
        return true;
    }
    std::string error() const override { return openError_.empty() ? db_.error() : openError_; }
    bool busy() const override { return db_.busy(); }
    std::optional<RevisionNotice> takeRevisionNotice() override {
        std::optional<RevisionNotice> notice = std::move(notice_);
        notice_.reset();
        return notice;
    }
    ActionResult apply(const RevisionAction& action) override {
        if (!openError_.empty()) {
            return {false, openError_, 0};
        }
        return db_.apply(action);
    }
    std::optional<std::vector<DecisionRequest>> openRequests() override {
        if (!openError_.empty()) {
            return std::nullopt;
        }
        RequestFilter own;
        own.site = site_;
        own.openOnly = true;
        auto open = db_.requests(own);
        if (open) {
            std::reverse(open->begin(), open->end());  // as they were asked
        }
        return open;
    }
    bool settleRequest(std::int64_t id, bool done, const std::string& result) override {
        return openError_.empty() &&
               db_.settleRequest(id, done, result, microseconds(std::chrono::system_clock::now()));
    }
    bool beat(Heartbeat beat) override {
        if (!openError_.empty()) {
            return false;
        }
        RevisionFilter pending;
        pending.state = revisions::State::Pending;
        pending.site = site_;
        const auto waiting = db_.revisions(pending);
        if (!waiting) {
            return false;
        }
        beat.pending = static_cast<int>(waiting->size());
        return db_.writeHeartbeat(beat);
    }

private:
    std::unique_ptr<HistoryStore> owned_;
    HistoryStore& db_;
    std::string site_;
    bool keepPrograms_;
    Retention retention_;
    std::string openError_;
    std::optional<RevisionNotice> notice_;
};

}  // namespace

std::unique_ptr<HistoryWriter> openDatabaseWriter(const std::string& location,
                                                  const std::string& site, bool keepPrograms,
                                                  Retention retention) {
    return std::make_unique<DatabaseWriter>(location, site, keepPrograms, retention);
}

HistoryRecorder::HistoryRecorder(RecorderOptions options) : options_(std::move(options)) {
    if (!options_.open) {
        options_.open = [location = options_.database.string(), site = options_.site,
                         keep = options_.keepPrograms, retention = options_.retention] {
            return openDatabaseWriter(location, site, keep, retention);
        };
    }
    if (options_.tries < 1) {
        options_.tries = 1;
    }
    thread_ = std::thread([this] { run(); });
}

HistoryRecorder::~HistoryRecorder() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void HistoryRecorder::record(TransferRecord record) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (queue_.size() >= options_.capacity) {
            ++lost_;
            ++overflowed_;
        } else {
            queue_.push_back(std::move(record));
        }
    }
    wake_.notify_one();
}

void HistoryRecorder::apply(RevisionAction action) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!stopping_) {
            queue_.push_back(std::move(action));
            action.done = nullptr;
        }
    }
    if (action.done) {
        action.done({false, "the history is closing", 0});
        return;
    }
    wake_.notify_one();
}

void HistoryRecorder::beat(Heartbeat beat) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_) {
            return;
        }
        for (Item& item : queue_) {
            if (auto* waiting = std::get_if<Heartbeat>(&item)) {
                *waiting = std::move(beat);
                return;
            }
        }
        queue_.push_back(std::move(beat));
    }
    wake_.notify_one();
}

void HistoryRecorder::checkRequests() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_) {
            return;
        }
        for (const Item& item : queue_) {
            if (std::holds_alternative<RequestCheck>(item)) {
                return;  // the one waiting answers this too
            }
        }
        queue_.push_back(RequestCheck{});
    }
    wake_.notify_one();
}

void HistoryRecorder::settle(std::int64_t id, bool done, std::string result,
                             std::function<void(bool, const std::string&)> settled) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!stopping_) {
            queue_.push_back(Settlement{id, done, std::move(result), std::move(settled)});
            settled = nullptr;
        }
    }
    if (settled) {
        settled(false, "the history is closing");
        return;
    }
    wake_.notify_one();
}

void HistoryRecorder::flush() {
    std::unique_lock<std::mutex> lock(mutex_);
    idle_.wait(lock, [this] { return queue_.empty() && !busy_; });
}

std::uint64_t HistoryRecorder::written() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return written_;
}

std::uint64_t HistoryRecorder::behind() const {
    return behind_;
}

std::uint64_t HistoryRecorder::lost() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lost_;
}

void HistoryRecorder::run() {
    std::error_code ec;
    if (!options_.spool.empty() && std::filesystem::exists(options_.spool, ec) && openSpool() &&
        behind_ > 0) {
        reportBehind("records left from before");
        drain(true);
    }
    std::unique_lock<std::mutex> lock(mutex_);
    bool heldAtEnd = false;  // ending while the database is held: the rest is not waited for
    while (true) {
        reportOverflow(lock);
        const auto due = [this] { return stopping_ || !queue_.empty() || overflowed_ > 0; };
        if (behind_ > 0) {
            if (!wake_.wait_for(lock, options_.spoolRetry, due)) {
                busy_ = true;
                lock.unlock();
                drain(true);
                lock.lock();
                busy_ = false;
                continue;
            }
        } else {
            wake_.wait(lock, due);
        }
        if (queue_.empty()) {
            if (stopping_) {
                break;
            }
            continue;
        }
        Item item = std::move(queue_.front());
        queue_.pop_front();
        busy_ = true;
        if (auto* record = std::get_if<TransferRecord>(&item)) {
            if (heldAtEnd) {
                ++lost_;
            } else {
                writeRecord(lock, std::move(*record), heldAtEnd);
            }
        } else if (auto* action = std::get_if<RevisionAction>(&item)) {
            applyAction(lock, *action);
        } else if (std::holds_alternative<RequestCheck>(item)) {
            if (!stopping_ && !heldAtEnd) {
                askRequests(lock);
            }
        } else if (auto* settlement = std::get_if<Settlement>(&item)) {
            writeSettlement(lock, *settlement);
        } else if (!heldAtEnd) {
            writeBeat(lock, std::move(std::get<Heartbeat>(item)));
        }
        busy_ = false;
        if (queue_.empty()) {
            idle_.notify_all();
        }
    }
    busy_ = false;
    idle_.notify_all();
}

void HistoryRecorder::writeRecord(std::unique_lock<std::mutex>& lock, TransferRecord record,
                                  bool& heldAtEnd) {
    lock.unlock();
    const PreparedRecord prepared = prepare(std::move(record));  // hashing, off the lock
    if (!options_.spool.empty()) {
        writeOrSpool(prepared);
        lock.lock();
        return;
    }
    lock.lock();
    const bool wasFailing = failing_;
    bool done = false;
    for (int attempt = 1; !done;) {
        // After a reported failure every record gets one try, so that a database that
        // stays broken does not fill the queue with waiting.
        const bool lastChance = stopping_ || wasFailing || attempt >= options_.tries;
        lock.unlock();
        const Written result = writeOne(prepared);
        if (result == Written::Held && options_.heldOff) {
            options_.heldOff();
        }
        std::optional<RevisionNotice> notice;
        if (result == Written::Yes && writer_) {
            notice = writer_->takeRevisionNotice();
        }
        if (notice && options_.revisionWritten) {
            options_.revisionWritten(*notice);
        }
        lock.lock();
        if (result == Written::Yes) {
            ++written_;
            done = true;
        } else if (result == Written::Held && !stopping_) {
            // Another process's transaction ends; the record keeps its place meanwhile.
            reportOverflow(lock);
            wake_.wait_for(lock, kHeldPause, [this] { return stopping_; });
        } else if (lastChance) {
            ++lost_;
            heldAtEnd = result == Written::Held;
            done = true;
        } else {
            ++attempt;
            wake_.wait_for(lock, options_.retryPause, [this] { return stopping_; });
        }
    }
}

void HistoryRecorder::applyAction(std::unique_lock<std::mutex>& lock,
                                  const RevisionAction& action) {
    // One try: the operator is told at once and may ask again.
    lock.unlock();
    if (!writer_) {
        writer_ = options_.open();
    }
    const ActionResult result = writer_->apply(action);
    if (!result.ok) {
        writer_.reset();
    }
    if (action.done) {
        action.done(result);
    }
    lock.lock();
}

void HistoryRecorder::askRequests(std::unique_lock<std::mutex>& lock) {
    lock.unlock();
    if (!writer_) {
        writer_ = options_.open();
    }
    const auto open = writer_->openRequests();
    if (!open) {
        writer_.reset();  // asked again next time
    } else if (options_.requestsOpen) {
        options_.requestsOpen(*open);
    }
    lock.lock();
}

void HistoryRecorder::writeSettlement(std::unique_lock<std::mutex>& lock,
                                      const Settlement& settlement) {
    lock.unlock();
    if (!writer_) {
        writer_ = options_.open();
    }
    const bool ok = writer_->settleRequest(settlement.id, settlement.done, settlement.result);
    const std::string why = ok ? std::string() : writer_->error();
    if (!ok) {
        writer_.reset();
    }
    if (settlement.settled) {
        settlement.settled(ok, why);
    }
    lock.lock();
}

void HistoryRecorder::writeBeat(std::unique_lock<std::mutex>& lock, Heartbeat beat) {
    lock.unlock();
    if (!writer_) {
        writer_ = options_.open();
    }
    if (!writer_->beat(std::move(beat))) {
        writer_.reset();  // opened afresh for the next write: the cause may have gone
    }
    lock.lock();
}

void HistoryRecorder::reportOverflow(std::unique_lock<std::mutex>& lock) {
    if (overflowed_ == 0) {
        return;
    }
    const std::uint64_t dropped = overflowed_;
    overflowed_ = 0;
    if (failing_) {
        return;  // counted; the recovery tells how many
    }
    failing_ = true;
    lostReported_ += dropped;
    lock.unlock();
    if (options_.report) {
        options_.report("history: " + std::to_string(dropped) +
                        " transfer record(s) lost: the queue of " +
                        std::to_string(options_.capacity) + " records waiting for the database " +
                        options_.database.string() + " is full");
    }
    lock.lock();
}

// On the recorder's thread, without the lock.
HistoryRecorder::Written HistoryRecorder::writeOne(const PreparedRecord& prepared) {
    if (!writer_) {
        writer_ = options_.open();
    }
    if (writer_->write(prepared)) {
        if (failing_) {
            failing_ = false;
            std::uint64_t lost = 0;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                lost = lost_ - lostReported_;
                lostReported_ = lost_;
            }
            if (options_.report) {
                options_.report("history: the database " + options_.database.string() +
                                " is written again; " + std::to_string(lost) +
                                " transfer record(s) were lost meanwhile");
            }
        }
        return Written::Yes;
    }
    const bool held = writer_->busy();
    if (!held) {
        failed(writer_->error());
    }
    writer_.reset();  // opened afresh for the next try: the cause may have gone
    return held ? Written::Held : Written::Failed;
}

void HistoryRecorder::writeOrSpool(const PreparedRecord& prepared) {
    drain(false);
    std::string why = "records are waiting before it";
    if (behind_ == 0 && send(prepared, nullptr, why)) {
        std::lock_guard<std::mutex> lock(mutex_);
        ++written_;
        return;
    }
    if (!openSpool()) {
        std::lock_guard<std::mutex> lock(mutex_);
        ++lost_;
        return;
    }
    if (!spool_->append(prepared.record)) {
        if (options_.report) {
            options_.report("history: " + spool_->error() + "; the transfer record is lost");
        }
        std::lock_guard<std::mutex> lock(mutex_);
        ++lost_;
        return;
    }
    ++behind_;
    if (behindTold_ == 0) {
        reportBehind(why);
    }
}

bool HistoryRecorder::openSpool() {
    if (spool_) {
        return true;
    }
    auto spool = std::make_unique<HistorySpool>(options_.spool);
    std::optional<std::int64_t> count;
    if (spool->ok()) {
        count = spool->count();
    }
    if (!count) {
        if (spool->error() != spoolError_) {
            spoolError_ = spool->error();
            if (options_.report) {
                options_.report("history: " + spoolError_ +
                                "; records the server does not take are lost");
            }
        }
        return false;
    }
    spoolError_.clear();
    spool_ = std::move(spool);
    behind_ = static_cast<std::uint64_t>(*count);
    return true;
}

// Sends the spool, oldest first; a record leaves the spool only once the server has it. Unless
// forced, a server that failed just now is not tried again at once (each new record would wait
// for it).
void HistoryRecorder::drain(bool force) {
    if (behind_ == 0 || !spool_) {
        return;
    }
    const auto pause =
        std::min<std::chrono::steady_clock::duration>(options_.spoolRetry, std::chrono::seconds(1));
    if (!force && std::chrono::steady_clock::now() - lastFailure_ < pause) {
        return;
    }
    std::string why;
    while (behind_ > 0) {
        const std::optional<HistorySpool::Entry> entry = spool_->front();
        if (!entry && spool_->unreadable()) {
            const std::int64_t id = *spool_->unreadable();
            const std::string unreadable = spool_->error();
            if (!spool_->setAside(id)) {
                why = spool_->error();
                break;
            }
            --behind_;
            if (options_.report) {
                options_.report("history: " + unreadable +
                                "; it is kept aside in the spool's table spool_set_aside, the "
                                "records after it go on to the server");
            }
            continue;
        }
        if (!entry) {
            if (spool_->error().empty()) {
                behind_ = 0;  // counted wrong: nothing is left
            } else {
                why = spool_->error();
            }
            break;
        }
        if (!send(prepare(entry->record), &entry->origin, why)) {
            break;
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ++written_;
        }
        if (!spool_->remove(entry->id)) {
            // Sent again with the next try: the server takes its origin as written.
            why = spool_->error();
            break;
        }
        --behind_;
    }
    if (behind_ == 0) {
        if (behindTold_ > 0 && options_.report) {
            options_.report("history: shared history caught up");
        }
        behindTold_ = 0;
    } else if (behind_ != behindTold_) {
        reportBehind(why);
    }
}

bool HistoryRecorder::send(const PreparedRecord& prepared, const std::string* origin,
                           std::string& why) {
    if (!writer_) {
        writer_ = options_.open();
    }
    if (origin != nullptr ? writer_->writeOnce(prepared, *origin) : writer_->write(prepared)) {
        const std::optional<RevisionNotice> notice = writer_->takeRevisionNotice();
        if (notice && options_.revisionWritten) {
            options_.revisionWritten(*notice);
        }
        return true;
    }
    why = writer_->error();
    writer_.reset();  // opened afresh for the next try: the cause may have gone
    lastFailure_ = std::chrono::steady_clock::now();
    return false;
}

void HistoryRecorder::reportBehind(const std::string& why) {
    behindTold_ = behind_;
    if (options_.report) {
        options_.report("history: shared history behind by " + std::to_string(behindTold_) +
                        (behindTold_ == 1 ? " record (" : " records (") + why + "); " +
                        (behindTold_ == 1 ? "it waits" : "they wait") + " in " +
                        options_.spool.string());
    }
}

void HistoryRecorder::failed(const std::string& why) {
    if (failing_) {
        return;
    }
    failing_ = true;
    if (options_.report) {
        options_.report("history: cannot write the database " + options_.database.string() + " (" +
                        why + "); transfers go on unrecorded until it can be written again");
    }
}

}  // namespace dnc::history
