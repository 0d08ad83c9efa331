// Signed-in sessions, kept in memory only (a restart signs everyone out): a random id for the
// cookie and a random token every form that changes something must carry back.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "web/Accounts.h"

namespace web {

using Clock = std::function<std::chrono::steady_clock::time_point()>;

struct Session {
    std::string id;
    std::string user;
    Role role = Role::Viewer;
    std::string csrf;
};

class Sessions {
public:
    // A session ends after `idle` without a request, and `longest` after it began.
    explicit Sessions(std::chrono::seconds idle = std::chrono::minutes(30),
                      std::chrono::seconds longest = std::chrono::hours(12), Clock clock = {});

    Session begin(const std::string& user, Role role);
    // The live session of `id`; each find keeps it alive for another `idle`.
    std::optional<Session> find(const std::string& id);
    void end(const std::string& id);

    // Whether a form's token is the session's, compared in constant time.
    static bool tokenMatches(const Session& session, const std::string& token);

private:
    struct Entry {
        Session session;
        std::chrono::steady_clock::time_point idleUntil;
        std::chrono::steady_clock::time_point endsAt;
    };
    std::chrono::steady_clock::time_point now() const;
    void dropExpired(std::chrono::steady_clock::time_point at);

    std::chrono::seconds idle_;
    std::chrono::seconds longest_;
    Clock clock_;
    std::mutex mutex_;
    std::map<std::string, Entry> entries_;
};

// 32 random bytes from libsodium as 64 hexadecimal digits.
std::string randomToken();

// Failed sign-ins per client address and per name: after `failures` within `window` either one
// waits until the oldest of them is `window` old.
class SignInLimit {
public:
    explicit SignInLimit(int failures = 5, std::chrono::seconds window = std::chrono::minutes(1),
                         Clock clock = {});

    // Seconds until `address` and `name` may try again; 0 when they may now.
    int waitSeconds(const std::string& address, const std::string& name);
    void failed(const std::string& address, const std::string& name);
    // A right password clears the name's count (not the address's).
    void succeeded(const std::string& name);

private:
    using Times = std::vector<std::chrono::steady_clock::time_point>;
    int waitFor(Times& times, std::chrono::steady_clock::time_point at) const;
    std::chrono::steady_clock::time_point now() const;

    int failures_;
    std::chrono::seconds window_;
    Clock clock_;
    std::mutex mutex_;
    std::map<std::string, Times> byAddress_;
    std::map<std::string, Times> byName_;
};

}  // namespace web
