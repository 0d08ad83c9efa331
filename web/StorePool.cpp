#include "web/StorePool.h"

namespace web {

namespace {

// A connection is renewed after this long, so that a schema upgraded meanwhile by a site's
// service is read as it is now.
constexpr std::chrono::minutes kRenewAfter{1};

}  // namespace

StorePool::StorePool(std::string location, dnc::history::HistoryStore::Access access,
                     std::string site)
    : location_(std::move(location)), access_(access), site_(std::move(site)) {}

StorePool::Lease::~Lease() {
    if (store_ && pool_ != nullptr) {
        pool_->giveBack(std::move(store_), opened_);
    }
}

std::optional<StorePool::Lease> StorePool::borrow(std::string& error) {
    const auto now = std::chrono::steady_clock::now();
    {
        const std::lock_guard lock(mutex_);
        while (!idle_.empty()) {
            Idle idle = std::move(idle_.back());
            idle_.pop_back();
            if (now - idle.opened < kRenewAfter) {
                return Lease(*this, std::move(idle.store), idle.opened);
            }
        }
    }
    auto store = dnc::history::openHistoryStore(location_, access_, site_);
    if (!store->ok()) {
        error = store->error();
        return std::nullopt;
    }
    return Lease(*this, std::move(store), now);
}

void StorePool::clear() {
    const std::lock_guard lock(mutex_);
    idle_.clear();
}

void StorePool::giveBack(std::unique_ptr<dnc::history::HistoryStore> store,
                         std::chrono::steady_clock::time_point opened) {
    const std::lock_guard lock(mutex_);
    idle_.push_back(Idle{std::move(store), opened});
}

}  // namespace web
