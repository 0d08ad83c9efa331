// Sessions end when idle or old; form tokens must match; failed sign-ins are counted per client
// address and per name.
#include <gtest/gtest.h>

#include <set>

#include "web/Sessions.h"

namespace {

using namespace std::chrono_literals;
using web::Role;
using web::Sessions;
using web::SignInLimit;

struct SteppedClock {
    std::chrono::steady_clock::time_point now{std::chrono::hours(1000)};
    web::Clock clock() {
        return [this] { return now; };
    }
};

TEST(Sessions, ASessionEndsWhenIdleOrTooOldAndWhenSignedOut) {
    SteppedClock time;
    Sessions sessions(30min, 12h, time.clock());
    const auto anna = sessions.begin("anna", Role::Approver);
    EXPECT_EQ(anna.id.size(), 64u);
    EXPECT_NE(anna.id, anna.csrf);
    ASSERT_TRUE(sessions.find(anna.id));
    EXPECT_EQ(sessions.find(anna.id)->user, "anna");
    EXPECT_FALSE(sessions.find(""));
    EXPECT_FALSE(sessions.find(anna.id.substr(0, 63)));

    // Used every 20 minutes it lives on, up to its longest.
    for (int i = 0; i < 35; ++i) {
        time.now += 20min;
        ASSERT_TRUE(sessions.find(anna.id)) << i;
    }
    time.now += 20min;
    EXPECT_FALSE(sessions.find(anna.id));

    const auto bert = sessions.begin("bert", Role::Viewer);
    time.now += 31min;
    EXPECT_FALSE(sessions.find(bert.id));

    const auto carl = sessions.begin("carl", Role::Viewer);
    sessions.end(carl.id);
    EXPECT_FALSE(sessions.find(carl.id));
}

TEST(Sessions, IdsAndTokensAreFreshRandomAndTokensMustMatchWhole) {
    Sessions sessions;
    std::set<std::string> seen;
    for (int i = 0; i < 100; ++i) {
        const auto s = sessions.begin("anna", Role::Viewer);
        EXPECT_TRUE(seen.insert(s.id).second);
        EXPECT_TRUE(seen.insert(s.csrf).second);
    }
    const auto s = sessions.begin("anna", Role::Viewer);
    EXPECT_TRUE(Sessions::tokenMatches(s, s.csrf));
    EXPECT_FALSE(Sessions::tokenMatches(s, ""));
    EXPECT_FALSE(Sessions::tokenMatches(s, s.csrf.substr(1)));
    EXPECT_FALSE(Sessions::tokenMatches(s, s.csrf + "0"));
    std::string other = s.csrf;
    other.back() = other.back() == '0' ? '1' : '0';
    EXPECT_FALSE(Sessions::tokenMatches(s, other));
}

TEST(SignInLimit, FiveFailuresPerAddressOrPerNameWaitForTheWindow) {
    SteppedClock time;
    SignInLimit limit(5, 60s, time.clock());
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(limit.waitSeconds("10.0.0.1", "anna"), 0);
        limit.failed("10.0.0.1", "anna");
        time.now += 1s;
    }
    // The address waits, whatever name it tries; the name waits, from wherever.
    EXPECT_EQ(limit.waitSeconds("10.0.0.1", "anna"), 55);
    EXPECT_GT(limit.waitSeconds("10.0.0.1", "bert"), 0);
    EXPECT_GT(limit.waitSeconds("10.0.0.2", "anna"), 0);
    EXPECT_EQ(limit.waitSeconds("10.0.0.2", "bert"), 0);
    time.now += 55s;
    EXPECT_EQ(limit.waitSeconds("10.0.0.1", "anna"), 0);

    // Spread over many names, one address is still held.
    for (int i = 0; i < 5; ++i) {
        limit.failed("10.0.0.3", "user" + std::to_string(i));
    }
    EXPECT_GT(limit.waitSeconds("10.0.0.3", "someone"), 0);
    // A right password clears its name, not the address.
    limit.succeeded("user0");
    EXPECT_GT(limit.waitSeconds("10.0.0.3", "user0"), 0);
    EXPECT_EQ(limit.waitSeconds("10.0.0.4", "user0"), 0);
}

}  // namespace
