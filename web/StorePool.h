// Connections to the history for the server's threads: a store belongs to one thread at a time,
// so each request borrows one and gives it back. One that failed is dropped, and the next
// request opens a fresh one: a server that went away and came back is simply used again.
#pragma once

#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "dnc/history/HistoryStore.h"

namespace web {

class StorePool {
public:
    StorePool(std::string location, dnc::history::HistoryStore::Access access,
              std::string site = {});

    class Lease {
    public:
        Lease(StorePool& pool, std::unique_ptr<dnc::history::HistoryStore> store,
              std::chrono::steady_clock::time_point opened)
            : pool_(&pool), store_(std::move(store)), opened_(opened) {}
        Lease(Lease&& other) noexcept = default;
        Lease& operator=(Lease&&) = delete;
        ~Lease();
        dnc::history::HistoryStore& operator*() const { return *store_; }
        dnc::history::HistoryStore* operator->() const { return store_.get(); }
        // The store failed: it is closed instead of given back.
        void discard() { store_.reset(); }

    private:
        StorePool* pool_;
        std::unique_ptr<dnc::history::HistoryStore> store_;
        std::chrono::steady_clock::time_point opened_;
    };

    // A store to use on this thread, or nullopt with `error` when none can be opened.
    std::optional<Lease> borrow(std::string& error);
    // Closes the idle stores: the next requests read the store as it is now (a store reads its
    // schema's version once, when opened).
    void clear();

    const std::string& location() const { return location_; }

private:
    void giveBack(std::unique_ptr<dnc::history::HistoryStore> store,
                  std::chrono::steady_clock::time_point opened);

    std::string location_;
    dnc::history::HistoryStore::Access access_;
    std::string site_;
    std::mutex mutex_;
    struct Idle {
        std::unique_ptr<dnc::history::HistoryStore> store;
        std::chrono::steady_clock::time_point opened;
    };
    std::vector<Idle> idle_;
};

}  // namespace web
