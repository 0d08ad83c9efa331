// The client's revision commands on a database: the list and its JSON, the difference against
// the released revision, a revision's bytes unchanged, the chain's verification, and the
// decision requests with their status.
#include <sqlite3.h>

#include <sstream>

#include "dnc/history/HistoryCommands.h"
#include "dnc/history/HistoryDatabase.h"
#include "dnc/history/RevisionCommands.h"
#include "tests/history/HistoryFixture.h"

namespace {

using namespace dnc::history;

class RevisionCommands : public HistoryFolder {
protected:
    void SetUp() override {
        const auto writerStore = openHistoryStore(db, HistoryStore::Access::Write, "hall-a");
        HistoryStore& writer = *writerStore;
        for (const auto& [content, held] :
             std::vector<std::pair<std::string, bool>>{{kReleased, false}, {kPending, true}}) {
            TransferRecord r = transfer("P1.WTX", content, held ? 10 : 0, 2, 3);
            r.direction = Direction::FromUnit;
            r.stored = !held;
            r.held = held;
            ASSERT_TRUE(writer.add(prepare(r), false)) << writer.error();
        }
    }
    int run(int (*command)(const std::vector<std::string>&, std::ostream&, std::ostream&),
            std::vector<std::string> args) {
        out.str({});
        err.str({});
        args.push_back("--history");
        args.push_back(db.string());
        return command(args, out, err);
    }

    static inline const std::string kReleased = "%\r\nN10 G00 X0\r\nN20 M30\r\n%\r\n";
    static inline const std::string kPending = "%\r\nN10 G00 X5\r\nN20 M30\r\n%\r\n\x1a";
    std::ostringstream out;
    std::ostringstream err;
};

TEST_F(RevisionCommands, TheListFiltersByProgramAndStateAndItsJsonUsesTheFixedNames) {
    ASSERT_EQ(run(runRevisionsCommand, {"--json", "2", "3", "P1.WTX", "--state", "pending"}), 0)
        << err.str();
    const std::string json = out.str();
    EXPECT_NE(json.find("{\"id\": 2, \"subnet\": 2, \"unit\": 3, \"name\": \"P1.WTX\", "
                        "\"state\": \"pending\", \"source\": \"unit\", \"bytes\": 28, "
                        "\"time\": 1772600777000000, \"sha256\": \""),
              std::string::npos)
        << json;
    EXPECT_NE(json.find("\"user\": \"unit 3\", \"note\": \"\", \"site\": \"hall-a\"}"),
              std::string::npos)
        << json;
    EXPECT_EQ(json.find("\"id\": 1"), std::string::npos) << "released filtered out";

    ASSERT_EQ(run(runRevisionsCommand, {"1"}), 0);
    EXPECT_EQ(out.str(), "No revisions that match.\n");
    ASSERT_EQ(run(runRevisionsCommand, {"--site", "hall-b"}), 0);
    EXPECT_EQ(out.str(), "No revisions that match.\n");
    ASSERT_EQ(run(runRevisionsCommand, {"--site=hall-a", "--state", "pending"}), 0);
    EXPECT_NE(out.str().find("pending"), std::string::npos);
    EXPECT_EQ(run(runRevisionsCommand, {"--site="}), 2) << "a site has a name";
    ASSERT_EQ(run(runRevisionsCommand, {}), 0);
    EXPECT_NE(out.str().find("released"), std::string::npos);
    EXPECT_EQ(run(runRevisionsCommand, {"--state", "approved"}), 2);
    EXPECT_EQ(run(runRevisionsCommand, {"17"}), 2);
}

TEST_F(RevisionCommands, RequestsAreListedWithTheirStatusForPeopleAndScripts) {
    ASSERT_EQ(run(runRevisionsCommand, {"requests"}), 0) << err.str();
    EXPECT_EQ(out.str(), "No requests that match.\n");
    DecisionRequest asked;
    asked.revision = 2;
    asked.action = dnc::revisions::Action::Reject;
    asked.user = "bob";
    asked.from = "web";
    asked.timeUs = 1772600800000000;
    const auto id = openHistoryStore(db, HistoryStore::Access::Write, "hall-b")->fileRequest(asked);
    ASSERT_TRUE(id);
    ASSERT_TRUE(openHistoryStore(db, HistoryStore::Access::Write, "hall-a")
                    ->settleRequest(*id, false, "sub net 2 is not running", 1772600900000000));

    ASSERT_EQ(run(runRevisionsCommand, {"--json", "requests", "--site", "hall-a"}), 0) << err.str();
    EXPECT_EQ(out.str(),
              "[\n  {\"id\": 1, \"revision\": 2, \"action\": \"reject\", \"site\": \"hall-a\", "
              "\"from\": \"web\", \"user\": \"bob\", \"time\": 1772600800000000, \"status\": "
              "\"failed\", \"result\": \"sub net 2 is not running\", \"settled\": "
              "1772600900000000}\n]\n");
    ASSERT_EQ(run(runRevisionsCommand, {"requests"}), 0);
    EXPECT_NE(out.str().find("2026-03-04T05:06:40.000Z"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("failed"), std::string::npos) << out.str();
    ASSERT_EQ(run(runRevisionsCommand, {"requests", "--open"}), 0);
    EXPECT_EQ(out.str(), "No requests that match.\n");
    ASSERT_EQ(run(runRevisionsCommand, {"requests", "--site", "hall-b"}), 0);
    EXPECT_EQ(out.str(), "No requests that match.\n") << "hall-b asked, hall-a owns it";
    EXPECT_EQ(run(runRevisionsCommand, {"requests", "2"}), 2);
    EXPECT_NE(err.str().find("unknown argument \"2\""), std::string::npos) << err.str();
}

TEST_F(RevisionCommands, DiffComparesWithTheReleasedRevisionAndShowRevisionIsByteExact) {
    ASSERT_EQ(run(runDiffCommand, {"2"}), 0) << err.str();
    const std::string diff = out.str();
    EXPECT_NE(diff.find("--- P1.WTX revision 1 (released, "), std::string::npos) << diff;
    EXPECT_NE(diff.find("+++ P1.WTX revision 2 (pending, "), std::string::npos) << diff;
    EXPECT_NE(diff.find("-N10 G00 X0\n+N10 G00 X5\n"), std::string::npos) << diff;
    ASSERT_EQ(run(runDiffCommand, {"1", "2"}), 0);
    EXPECT_NE(out.str().find("-N10 G00 X5\n+N10 G00 X0\n"), std::string::npos) << out.str();
    EXPECT_EQ(run(runDiffCommand, {"9"}), 1);
    EXPECT_NE(err.str().find("no revision 9"), std::string::npos);
    EXPECT_EQ(run(runDiffCommand, {}), 2);

    ASSERT_EQ(run(runShowRevisionCommand, {"2"}), 0) << err.str();
    EXPECT_EQ(out.str(), kPending);
    EXPECT_EQ(run(runShowRevisionCommand, {"x"}), 2);
}

TEST_F(RevisionCommands, VerifyExitsZeroWhenIntactAndOneNamingTheFirstBrokenRecord) {
    ASSERT_EQ(run(runHistoryCommand, {"--verify"}), 0) << err.str();
    EXPECT_EQ(out.str(), "The chain of 6 record(s) is intact.\n");

    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(db.c_str(), &raw), SQLITE_OK);
    ASSERT_EQ(
        sqlite3_exec(raw, "UPDATE transfers SET size = 1 WHERE id = 1", nullptr, nullptr, nullptr),
        SQLITE_OK);
    sqlite3_close(raw);
    EXPECT_EQ(run(runHistoryCommand, {"--verify"}), 1);
    EXPECT_NE(err.str().find("transfers record 1: the record does not match its seal"),
              std::string::npos)
        << err.str();
}

}  // namespace
