// Writes the transfer records of every sub net into the history database on a thread of its
// own. A line's thread only hands its record over (a bounded queue; a record that does not fit
// is dropped and counted), so a slow, full, read-only or locked database never holds up a
// line. A database that another process holds is waited for, however long: the records wait
// in the queue and only those that do not fit are lost, which is reported when it first
// happens. A failure to write is reported once, as is the return to normal; a record that
// could not be written is tried again a few times before it is given up.
//
// A history on a server may have a spool: a record the server does not take (it is away or
// refuses) waits there, in order, and so do the records behind it, until the server takes
// them; it is tried again at an interval and before each new record. The log tells when the
// shared history falls behind, by how many records, and when it has caught up.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include "dnc/history/HistorySpool.h"
#include "dnc/history/HistoryStore.h"
#include "dnc/history/TransferRecord.h"

namespace dnc::history {

// Where records go; the database, or a fake in tests. Used on the recorder's thread only.
class HistoryWriter {
public:
    virtual ~HistoryWriter() = default;
    // False with error() when the record was not written.
    virtual bool write(const PreparedRecord& record) = 0;
    // As write, for a spooled record: a record whose `origin` was written before is not
    // written again.
    virtual bool writeOnce(const PreparedRecord& record, const std::string& origin) {
        (void)origin;
        return write(record);
    }
    virtual std::string error() const = 0;
    // The revision the last write made, once.
    virtual std::optional<RevisionNotice> takeRevisionNotice() { return std::nullopt; }
    virtual ActionResult apply(const RevisionAction& action) {
        (void)action;
        return {false, "this history keeps no revisions", 0};
    }
    // The failed write found the database held by another process; it is tried again.
    virtual bool busy() const { return false; }
    // The open decision requests of this writer's own site, oldest first.
    virtual std::optional<std::vector<DecisionRequest>> openRequests() {
        return std::vector<DecisionRequest>{};
    }
    virtual bool settleRequest(std::int64_t id, bool done, const std::string& result) {
        (void)id;
        (void)done;
        (void)result;
        return false;
    }
    // Writes the service's heartbeat, with the revisions pending approval counted.
    virtual bool beat(Heartbeat beat) {
        (void)beat;
        return false;
    }
};

struct RecorderOptions {
    std::filesystem::path database;  // a file, or a postgresql:// URI
    std::string site;                // the plant site the records carry; empty: the host name
    bool keepPrograms = false;       // programs sent to a unit are kept by their hash
    Retention retention;
    std::size_t capacity = 1000;  // records waiting at most
    int tries = 3;  // writes of one record before it is given up (a held database is waited for)
    std::chrono::milliseconds retryPause{2000};
    // The spool of a history on a server (empty: none) and how often the server is tried again
    // while records wait there.
    std::filesystem::path spool;
    std::chrono::milliseconds spoolRetry{10000};
    // Gets the recorder's reports (failures and recoveries), on the recorder's thread.
    std::function<void(const std::string&)> report;
    // Gets each revision written from a transfer, on the recorder's thread.
    std::function<void(const RevisionNotice&)> revisionWritten;
    // Opens the writer, on the recorder's thread; default: the database above.
    std::function<std::unique_ptr<HistoryWriter>()> open;
    // Told, on the recorder's thread, each time a write found the database held.
    std::function<void()> heldOff;
    // Gets this site's open decision requests each time they are asked for (checkRequests), on
    // the recorder's thread.
    std::function<void(const std::vector<DecisionRequest>&)> requestsOpen;
};

class HistoryRecorder : public TransferJournal {
public:
    explicit HistoryRecorder(RecorderOptions options);
    // Writes what is still queued (one try each) and ends the thread.
    ~HistoryRecorder() override;
    HistoryRecorder(const HistoryRecorder&) = delete;
    HistoryRecorder& operator=(const HistoryRecorder&) = delete;

    void record(TransferRecord record) override;
    // Queues an operator's accept, reject or restore; its `done` is always called.
    void apply(RevisionAction action);
    // Queues the service's heartbeat in place of one still waiting: only the latest state
    // matters, and a held database never fills the queue with beats. Written once; a beat that
    // fails is not tried again (the next one is due soon).
    void beat(Heartbeat beat);

    // Asks the store for this site's open decision requests (for RecorderOptions::requestsOpen)
    // once the records before have been written; one such question waits at a time.
    void checkRequests();
    // Settles decision request `id` done, or failed for `result`; `settled` is told whether
    // it was written (and why not), on the recorder's thread.
    void settle(std::int64_t id, bool done, std::string result,
                std::function<void(bool, const std::string&)> settled);

    // Waits until every record handed over so far has been written or given up.
    void flush();

    std::uint64_t written() const;
    std::uint64_t lost() const;    // dropped for a full queue or given up after failures
    std::uint64_t behind() const;  // records waiting in the spool for the server

private:
    enum class Written { Yes, Held, Failed };
    struct RequestCheck {};
    struct Settlement {
        std::int64_t id = 0;
        bool done = false;
        std::string result;
        std::function<void(bool, const std::string&)> settled;
    };
    using Item = std::variant<TransferRecord, RevisionAction, Heartbeat, RequestCheck, Settlement>;
    void askRequests(std::unique_lock<std::mutex>& lock);
    void writeSettlement(std::unique_lock<std::mutex>& lock, const Settlement& settlement);
    void writeRecord(std::unique_lock<std::mutex>& lock, TransferRecord record, bool& heldAtEnd);
    void applyAction(std::unique_lock<std::mutex>& lock, const RevisionAction& action);
    void writeBeat(std::unique_lock<std::mutex>& lock, Heartbeat beat);

    void run();
    // The spool's way, on the recorder's thread without the lock.
    void writeOrSpool(const PreparedRecord& prepared);
    bool openSpool();
    void drain(bool force);
    bool send(const PreparedRecord& prepared, const std::string* origin, std::string& why);
    void reportBehind(const std::string& why);
    Written writeOne(const PreparedRecord& prepared);
    void failed(const std::string& why);
    // With the lock held: tells of records dropped for a full queue, once until the recovery.
    void reportOverflow(std::unique_lock<std::mutex>& lock);

    RecorderOptions options_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::deque<Item> queue_;
    bool busy_ = false;  // the thread holds a record taken from the queue
    bool stopping_ = false;
    std::uint64_t written_ = 0;
    std::uint64_t lost_ = 0;
    std::uint64_t lostReported_ = 0;
    std::uint64_t overflowed_ = 0;  // dropped for a full queue since the last report
    bool failing_ = false;          // the failure has been reported; the recovery will be
    std::unique_ptr<HistoryWriter> writer_;
    std::unique_ptr<HistorySpool> spool_;
    std::string spoolError_;                // reported once, until the spool opens
    std::atomic<std::uint64_t> behind_{0};  // records in the spool
    std::uint64_t behindTold_ = 0;          // the count the log has last been told
    std::chrono::steady_clock::time_point lastFailure_{};
    std::thread thread_;
};

// The writer of a history store (a file or a server's URI), with the options' retention; what
// it writes carries `site` (empty: the host name).
std::unique_ptr<HistoryWriter> openDatabaseWriter(const std::string& location,
                                                  const std::string& site, bool keepPrograms,
                                                  Retention retention);

}  // namespace dnc::history
