#include "web/Sessions.h"

#include <sodium.h>

#include <algorithm>
#include <array>
#include <cstdlib>

namespace web {

namespace {

// Beyond this many, the oldest go first: memory stays bounded whatever arrives.
constexpr std::size_t kMaxSessions = 10000;
constexpr std::size_t kMaxTracked = 10000;

}  // namespace

std::string randomToken() {
    std::array<unsigned char, 32> bytes{};
    randombytes_buf(bytes.data(), bytes.size());
    std::array<char, 65> hex{};
    sodium_bin2hex(hex.data(), hex.size(), bytes.data(), bytes.size());
    return std::string(hex.data(), 64);
}

Sessions::Sessions(std::chrono::seconds idle, std::chrono::seconds longest, Clock clock)
    : idle_(idle), longest_(longest), clock_(std::move(clock)) {
    // Fails only when no random source can be opened; randombytes_buf then aborts.
    if (sodium_init() < 0) {
        std::abort();
    }
}

std::chrono::steady_clock::time_point Sessions::now() const {
    return clock_ ? clock_() : std::chrono::steady_clock::now();
}

void Sessions::dropExpired(std::chrono::steady_clock::time_point at) {
    for (auto it = entries_.begin(); it != entries_.end();) {
        it = it->second.idleUntil <= at || it->second.endsAt <= at ? entries_.erase(it)
                                                                   : std::next(it);
    }
}

Session Sessions::begin(const std::string& user, Role role) {
    Session session{randomToken(), user, role, randomToken()};
    const auto at = now();
    const std::lock_guard lock(mutex_);
    if (entries_.size() >= kMaxSessions) {
        dropExpired(at);
    }
    if (entries_.size() >= kMaxSessions) {
        const auto oldest = std::min_element(
            entries_.begin(), entries_.end(),
            [](const auto& a, const auto& b) { return a.second.endsAt < b.second.endsAt; });
        entries_.erase(oldest);
    }
    entries_[session.id] = Entry{session, at + idle_, at + longest_};
    return session;
}

std::optional<Session> Sessions::find(const std::string& id) {
    const auto at = now();
    const std::lock_guard lock(mutex_);
    const auto it = entries_.find(id);
    if (it == entries_.end()) {
        return std::nullopt;
    }
    if (it->second.idleUntil <= at || it->second.endsAt <= at) {
        entries_.erase(it);
        return std::nullopt;
    }
    it->second.idleUntil = at + idle_;
    return it->second.session;
}

void Sessions::end(const std::string& id) {
    const std::lock_guard lock(mutex_);
    entries_.erase(id);
}

bool Sessions::tokenMatches(const Session& session, const std::string& token) {
    return token.size() == session.csrf.size() && !token.empty() &&
           sodium_memcmp(token.data(), session.csrf.data(), token.size()) == 0;
}

SignInLimit::SignInLimit(int failures, std::chrono::seconds window, Clock clock)
    : failures_(failures), window_(window), clock_(std::move(clock)) {}

std::chrono::steady_clock::time_point SignInLimit::now() const {
    return clock_ ? clock_() : std::chrono::steady_clock::now();
}

int SignInLimit::waitFor(Times& times, std::chrono::steady_clock::time_point at) const {
    times.erase(std::remove_if(times.begin(), times.end(),
                               [&](const auto& t) { return at - t >= window_; }),
                times.end());
    if (static_cast<int>(times.size()) < failures_) {
        return 0;
    }
    const auto left = times.front() + window_ - at;
    return std::max(1, static_cast<int>(std::chrono::ceil<std::chrono::seconds>(left).count()));
}

int SignInLimit::waitSeconds(const std::string& address, const std::string& name) {
    const auto at = now();
    const std::lock_guard lock(mutex_);
    int wait = 0;
    // Looked up, not inserted: asking costs no memory.
    if (const auto it = byAddress_.find(address); it != byAddress_.end()) {
        wait = waitFor(it->second, at);
    }
    if (const auto it = byName_.find(name); it != byName_.end()) {
        wait = std::max(wait, waitFor(it->second, at));
    }
    return wait;
}

void SignInLimit::failed(const std::string& address, const std::string& name) {
    const auto at = now();
    const std::lock_guard lock(mutex_);
    for (auto* map : {&byAddress_, &byName_}) {
        if (map->size() >= kMaxTracked) {
            for (auto it = map->begin(); it != map->end();) {
                waitFor(it->second, at);
                it = it->second.empty() ? map->erase(it) : std::next(it);
            }
        }
    }
    byAddress_[address].push_back(at);
    byName_[name].push_back(at);
}

void SignInLimit::succeeded(const std::string& name) {
    const std::lock_guard lock(mutex_);
    byName_.erase(name);
}

}  // namespace web
