#include "web/StorePool.h"

namespace web {

StorePool::StorePool(std::string location, dnc::history::HistoryStore::Access access,
                     std::string site)
    : location_(std::move(location)), access_(access), site_(std::move(site)) {}

StorePool::Lease::~Lease() {
    if (store_ && pool_ != nullptr) {
        pool_->giveBack(std::move(store_));
    }
}

std::optional<StorePool::Lease> StorePool::borrow(std::string& error) {
    {
        const std::lock_guard lock(mutex_);
        if (!idle_.empty()) {
            auto store = std::move(idle_.back());
            idle_.pop_back();
            return Lease(*this, std::move(store));
        }
    }
    auto store = dnc::history::openHistoryStore(location_, access_, site_);
    if (!store->ok()) {
        error = store->error();
        return std::nullopt;
    }
    return Lease(*this, std::move(store));
}

void StorePool::giveBack(std::unique_ptr<dnc::history::HistoryStore> store) {
    const std::lock_guard lock(mutex_);
    idle_.push_back(std::move(store));
}

}  // namespace web
