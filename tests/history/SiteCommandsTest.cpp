// The client's sites command on a history: each site's last beat in a table and in JSON, a
// site silent once its beat is older than thirty seconds.
#include <gtest/gtest.h>

#include <sstream>

#include "dnc/history/HistoryStore.h"
#include "dnc/history/IsoTime.h"
#include "dnc/history/SiteCommands.h"
#include "tests/history/HistoryFixture.h"

namespace {

using namespace dnc::history;
using std::chrono::system_clock;

class SiteCommands : public HistoryFolder {
protected:
    int run(std::vector<std::string> args) {
        out.str({});
        err.str({});
        args.push_back("--history");
        args.push_back(db.string());
        return runSitesCommand(args, out, err);
    }
    void write(const std::string& site, system_clock::time_point time, int pending,
               std::vector<SubNetBeat> subNets) {
        const auto store = openHistoryStore(db, HistoryStore::Access::Write, site);
        Heartbeat beat;
        beat.time = time;
        beat.pending = pending;
        beat.subNets = std::move(subNets);
        ASSERT_TRUE(store->writeHeartbeat(beat)) << store->error();
    }

    std::ostringstream out;
    std::ostringstream err;
};

TEST_F(SiteCommands, EachSiteWithItsSubNetsAndASilentOneAfterThirtySeconds) {
    const auto now = system_clock::now();
    const auto old = now - std::chrono::seconds(31);
    write("hall-a", now, 2,
          {{1, "Lathes", kSubNetRunning, ""},
           {2, "Mills \"2\"", kSubNetRetrying, "cannot open /dev/ttyS9"}});
    write("hall-b", old, 0, {{3, "Grinders", kSubNetStopped, ""}});

    ASSERT_EQ(run({"--json"}), 0) << err.str();
    EXPECT_EQ(out.str(),
              "[\n  {\"site\": \"hall-a\", \"time\": \"" + isoUtc(now) +
                  "\", \"silent\": false, \"pending\": 2, \"subnets\": ["
                  "{\"subnet\": 1, \"caption\": \"Lathes\", \"state\": \"running\", "
                  "\"error\": \"\"}, "
                  "{\"subnet\": 2, \"caption\": \"Mills \\\"2\\\"\", \"state\": \"retrying\", "
                  "\"error\": \"cannot open /dev/ttyS9\"}]},\n"
                  "  {\"site\": \"hall-b\", \"time\": \"" +
                  isoUtc(old) +
                  "\", \"silent\": true, \"pending\": 0, \"subnets\": ["
                  "{\"subnet\": 3, \"caption\": \"Grinders\", \"state\": \"stopped\", "
                  "\"error\": \"\"}]}\n]\n");

    ASSERT_EQ(run({}), 0) << err.str();
    std::istringstream lines(out.str());
    std::string header, first, second, third, rest;
    std::getline(lines, header);
    std::getline(lines, first);
    std::getline(lines, second);
    std::getline(lines, third);
    EXPECT_FALSE(std::getline(lines, rest)) << out.str();
    EXPECT_EQ(header.rfind("SITE    LAST BEAT (UTC)", 0), 0u) << header;
    EXPECT_EQ(first.rfind("hall-a  " + isoUtc(now) + "  up      2", 0), 0u) << out.str();
    EXPECT_NE(first.find("1        Lathes     running"), std::string::npos) << out.str();
    // The site's second sub net under its first, the site's columns left empty.
    EXPECT_EQ(second.find_first_not_of(' '), header.find("SUB NET")) << out.str();
    EXPECT_NE(second.find("retrying  cannot open /dev/ttyS9"), std::string::npos) << out.str();
    EXPECT_EQ(third.rfind("hall-b  " + isoUtc(old) + "  silent  0", 0), 0u) << out.str();
}

TEST_F(SiteCommands, ASiteWithoutSubNetsAndWrongArguments) {
    write("hall-a", system_clock::now(), 0, {});
    ASSERT_EQ(run({}), 0) << err.str();
    EXPECT_NE(out.str().find("hall-a"), std::string::npos) << "a site without sub nets is listed";

    EXPECT_EQ(run({"--state", "x"}), 2);
    EXPECT_NE(err.str().find("sites: unknown argument \"--state\""), std::string::npos)
        << err.str();

    std::ostringstream missing;
    std::ostringstream why;
    EXPECT_EQ(runSitesCommand({"--history", (dir / "none.sqlite").string()}, missing, why), 1);
    EXPECT_FALSE(why.str().empty());
}

TEST_F(SiteCommands, AHistoryWithoutBeatsSaysSo) {
    const auto store = openHistoryStore(db, HistoryStore::Access::Write, "hall-a");
    ASSERT_TRUE(store->ok()) << store->error();
    ASSERT_EQ(run({}), 0) << err.str();
    EXPECT_EQ(out.str(), "No site has sent a heartbeat.\n");
    ASSERT_EQ(run({"--json"}), 0) << err.str();
    EXPECT_EQ(out.str(), "[]\n");
}

}  // namespace
