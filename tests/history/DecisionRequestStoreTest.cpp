// Decision requests in the history store: filed by any site for the site owning the revision,
// refused where the owning site could not carry them out, settled once by the owner, sealed on
// the chains; and a file of the schema before them, upgraded in place.
#include "dnc/history/HistoryDatabase.h"
#include "tests/history/StoreFixture.h"

namespace {

using namespace dnc::history;
using dnc::revisions::Action;
using dnc::revisions::State;
using Status = DecisionRequest::Status;

class Request : public StoreFolder {
protected:
    // Site hall-a holds P1 released (revision 1) and a pending change of it (revision 2).
    void fill() {
        const auto writer = open(HistoryStore::Access::Write, "hall-a");
        for (const bool held : {false, true}) {
            TransferRecord r = transfer("P1", held ? "G00 X2\r\n" : "G00 X1\r\n", held ? 2 : 0);
            r.direction = Direction::FromUnit;
            r.stored = !held;
            r.held = held;
            ASSERT_TRUE(writer->add(prepare(std::move(r)), false)) << writer->error();
        }
    }
    static DecisionRequest asked(std::int64_t revision, Action action = Action::Accept,
                                 std::string from = "hall-b") {
        DecisionRequest r;
        r.revision = revision;
        r.action = action;
        r.user = "bob";
        r.from = std::move(from);
        r.site = "anything";  // the revision's site counts
        r.timeUs = 1772600800000000;
        return r;
    }
    std::vector<DecisionRequest> listed(const RequestFilter& filter = {}) {
        const auto reader = open(HistoryStore::Access::Read);
        auto rows = reader->requests(filter);
        EXPECT_TRUE(rows) << reader->error();
        return rows.value_or(std::vector<DecisionRequest>{});
    }
    ChainCheck verify() {
        const auto reader = open(HistoryStore::Access::Read);
        const auto check = reader->verifyChain();
        EXPECT_TRUE(check) << reader->error();
        return check.value_or(ChainCheck{false, "", 0, "unreadable", 0});
    }
};

using Requests = OnEachStore<Request>;
INSTANTIATE_ON_EACH_STORE(Requests);

TEST_P(Requests, AreFiledForTheOwningSiteAndListedNewestFirst) {
    fill();
    const auto b = open(HistoryStore::Access::Write, "hall-b");
    const auto first = b->fileRequest(asked(2, Action::Reject));
    ASSERT_TRUE(first) << b->error();
    ASSERT_TRUE(b->settleRequest(*first, false, "x", 1) == false) << "not hall-b's to settle";
    EXPECT_NE(b->error().find("for site hall-a"), std::string::npos) << b->error();
    const auto a = open(HistoryStore::Access::Write, "hall-a");
    ASSERT_TRUE(a->settleRequest(*first, false, "the sub net is gone", 1772600900000000))
        << a->error();
    const auto second = b->fileRequest(asked(2, Action::Accept, "web"));
    ASSERT_TRUE(second) << b->error() << ": a failed request leaves the revision to ask again";

    const auto rows = listed();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].id, *second);
    EXPECT_EQ(rows[0].action, Action::Accept);
    EXPECT_EQ(rows[0].from, "web");
    EXPECT_EQ(rows[0].status, Status::Open);
    EXPECT_EQ(rows[1].id, *first);
    EXPECT_EQ(rows[1].revision, 2);
    EXPECT_EQ(rows[1].action, Action::Reject);
    EXPECT_EQ(rows[1].user, "bob");
    EXPECT_EQ(rows[1].from, "hall-b");
    EXPECT_EQ(rows[1].site, "hall-a") << "the revision's site carries it out";
    EXPECT_EQ(rows[1].timeUs, 1772600800000000);
    EXPECT_EQ(rows[1].status, Status::Failed);
    EXPECT_EQ(rows[1].result, "the sub net is gone");
    EXPECT_EQ(rows[1].settledUs, 1772600900000000);

    EXPECT_EQ(listed({"hall-a", std::nullopt, true}).size(), 1u);
    EXPECT_EQ(listed({"hall-a", std::nullopt, true}).front().id, *second);
    EXPECT_TRUE(listed({"hall-b", std::nullopt, false}).empty()) << "hall-b owns none";
    EXPECT_EQ(listed({"", 2, false}).size(), 2u);
    EXPECT_TRUE(listed({"", 1, false}).empty());
}

TEST_P(Requests, AreRefusedWhereTheOwningSiteCouldNotCarryThemOut) {
    fill();
    const auto b = open(HistoryStore::Access::Write, "hall-b");
    const auto refused = [&](const DecisionRequest& r, const std::string& why) {
        EXPECT_FALSE(b->fileRequest(r)) << why;
        EXPECT_NE(b->error().find(why), std::string::npos) << b->error();
    };
    refused(asked(99), "there is no revision 99");
    refused(asked(1), "only a pending one can be accepted");
    refused(asked(1, Action::Reject), "only a pending one can be rejected");
    refused(asked(1, Action::Restore), "restore");
    const auto open1 = b->fileRequest(asked(2));
    ASSERT_TRUE(open1) << b->error();
    refused(asked(2, Action::Reject),
            "request " + std::to_string(*open1) + " to accept it is open");
    EXPECT_EQ(listed().size(), 1u) << "a refusal files nothing";

    // Carried out, the revision is no longer pending: asking again is refused.
    const auto a = open(HistoryStore::Access::Write, "hall-a");
    RevisionAction accept;
    accept.id = 2;
    accept.user = "bob";
    ASSERT_TRUE(a->apply(accept).ok);
    ASSERT_TRUE(a->settleRequest(*open1, true, "ignored", 5)) << a->error();
    refused(asked(2), "the revision is superseded");
    EXPECT_EQ(listed().front().result, "") << "a done request has no reason";
}

TEST_P(Requests, AreSettledOnceAndOnlyWhenThereIsOne) {
    fill();
    const auto id = open(HistoryStore::Access::Write, "hall-b")->fileRequest(asked(2));
    ASSERT_TRUE(id);
    const auto a = open(HistoryStore::Access::Write, "hall-a");
    EXPECT_FALSE(a->settleRequest(*id + 1, true, "", 1));
    EXPECT_NE(a->error().find("there is no request"), std::string::npos) << a->error();
    ASSERT_TRUE(a->settleRequest(*id, true, "", 1)) << a->error();
    EXPECT_FALSE(a->settleRequest(*id, false, "again", 2));
    EXPECT_NE(a->error().find("settled already (done)"), std::string::npos) << a->error();
    const auto rows = listed();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].status, Status::Done);
    EXPECT_EQ(rows[0].settledUs, 1);
    EXPECT_TRUE(listed({"hall-a", std::nullopt, true}).empty());
}

TEST_P(Requests, AreSettledWithTheDecisionThatCarriesThemOutOrNotAtAll) {
    fill();
    const auto id = open(HistoryStore::Access::Write, "hall-b")->fileRequest(asked(2));
    ASSERT_TRUE(id);
    const auto a = open(HistoryStore::Access::Write, "hall-a");
    RevisionAction accept;
    accept.id = 2;
    accept.user = "bob@hall-b";
    accept.timeUs = 1772600950000000;
    accept.request = *id;
    const ActionResult result = a->apply(accept);
    ASSERT_TRUE(result.ok) << result.error;
    const auto rows = listed();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].status, Status::Done);
    EXPECT_EQ(rows[0].settledUs, accept.timeUs);

    // A request settled already (carried out before the process was killed, say) takes no
    // second decision with it: nothing is written.
    reset();
    fill();
    const auto again = open(HistoryStore::Access::Write, "hall-b")->fileRequest(asked(2));
    ASSERT_TRUE(again);
    const auto owner = open(HistoryStore::Access::Write, "hall-a");
    ASSERT_TRUE(owner->settleRequest(*again, false, "gone", 1));
    accept.request = *again;
    const ActionResult refused = owner->apply(accept);
    EXPECT_FALSE(refused.ok);
    EXPECT_NE(refused.error.find("settled already"), std::string::npos) << refused.error;
    const auto reader = open(HistoryStore::Access::Read);
    EXPECT_EQ(reader->revision(2)->state, State::Pending);
    EXPECT_EQ(reader->revisions({})->size(), 2u);
}

TEST_P(Requests, AreSealedOnTheChainsOfTheSitesThatWroteThem) {
    fill();
    const auto b = open(HistoryStore::Access::Write, "hall-b");
    const auto id = b->fileRequest(asked(2));
    ASSERT_TRUE(id);
    ASSERT_TRUE(open(HistoryStore::Access::Write, "hall-a")->settleRequest(*id, false, "gone", 3));
    ChainCheck check = verify();
    EXPECT_TRUE(check.intact) << check.table << " " << check.id << ": " << check.reason;
    EXPECT_EQ(check.records, 2 + 2 + 2 + 1 + 1);

    sql("UPDATE decision_requests SET \"user\" = 'mallory'");
    check = verify();
    EXPECT_FALSE(check.intact);
    EXPECT_EQ(check.table, "decision_requests");
    EXPECT_EQ(check.id, *id);

    sql("UPDATE decision_requests SET \"user\" = 'bob'");
    EXPECT_TRUE(verify().intact);
    sql("UPDATE decision_requests SET status = 'open', result = ''");
    check = verify();
    EXPECT_FALSE(check.intact) << "a request reopened behind the owner's back";
    EXPECT_EQ(check.table, "decision_requests");
    EXPECT_NE(check.reason.find("status"), std::string::npos) << check.reason;

    sql("UPDATE decision_requests SET status = 'failed', result = 'gone'; "
        "UPDATE request_settlements SET result = 'fine'");
    check = verify();
    EXPECT_FALSE(check.intact);
    EXPECT_EQ(check.table, "request_settlements");
}

TEST_F(Request, AFileOfTheSchemaBeforeRequestsIsReadAsItIsAndUpgradedOnWriting) {
    fill();
    // What the schema before looked like: no request tables, no chain for them.
    sql("DROP TABLE decision_requests; DROP TABLE request_settlements; "
        "DELETE FROM chain_start WHERE tbl IN ('decision_requests', 'request_settlements'); "
        "PRAGMA user_version = 4");
    {
        const auto reader = open(HistoryStore::Access::Read);
        EXPECT_TRUE(reader->requests({})->empty());
        EXPECT_TRUE(reader->verifyChain()->intact) << reader->error();
    }
    const auto b = open(HistoryStore::Access::Write, "hall-b");
    ASSERT_TRUE(b->ok()) << b->error();
    ASSERT_TRUE(b->fileRequest(asked(2))) << b->error();
    EXPECT_EQ(listed().size(), 1u);
    const ChainCheck check = verify();
    EXPECT_TRUE(check.intact) << check.table << " " << check.id << ": " << check.reason;
    EXPECT_EQ(check.records, 2 + 2 + 2 + 1);
}

}  // namespace
