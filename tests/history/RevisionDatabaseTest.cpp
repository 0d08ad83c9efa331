// The revisions in the history database: what a transfer makes of a program, the operator's
// decisions, the retention that spares what is in use, the hash chain that finds a changed,
// removed or inserted record, and the upgrade of a database of the first schema.
#include <sqlite3.h>

#include "dnc/history/HistoryDatabase.h"
#include "dnc/history/Sha256.h"
#include "tests/history/HistoryFixture.h"

namespace {

using namespace dnc::history;
using dnc::revisions::Action;
using dnc::revisions::Source;
using dnc::revisions::State;

class Revisions : public HistoryFolder {
protected:
    // What a unit sent for `name`: stored in the unit directory, or held for approval.
    static TransferRecord upload(std::string name, std::string content, bool held,
                                 long seconds = 0) {
        TransferRecord r = transfer(std::move(name), std::move(content), seconds);
        r.direction = Direction::FromUnit;
        r.stored = !held;
        r.held = held;
        return r;
    }
    void add(HistoryDatabase& writer, TransferRecord r) {
        ASSERT_TRUE(writer.add(prepare(std::move(r)), false)) << writer.error();
    }
    std::vector<RevisionRow> all() {
        HistoryDatabase reader(db, HistoryDatabase::Access::Read);
        auto rows = reader.revisions({});
        EXPECT_TRUE(rows) << reader.error();
        return rows.value_or(std::vector<RevisionRow>{});
    }
    RevisionRow byId(std::int64_t id) {
        HistoryDatabase reader(db, HistoryDatabase::Access::Read);
        return reader.revision(id).value_or(RevisionRow{});
    }
    static RevisionAction action(Action a, std::int64_t id, std::string user = "alice") {
        RevisionAction r;
        r.action = a;
        r.id = id;
        r.user = std::move(user);
        r.timeUs = 1772600767000000;
        return r;
    }
    void sql(const std::string& statement) {
        sqlite3* raw = nullptr;
        ASSERT_EQ(sqlite3_open(db.c_str(), &raw), SQLITE_OK);
        char* message = nullptr;
        EXPECT_EQ(sqlite3_exec(raw, statement.c_str(), nullptr, nullptr, &message), SQLITE_OK)
            << (message != nullptr ? message : "");
        sqlite3_free(message);
        sqlite3_close(raw);
    }
    ChainCheck verify() {
        HistoryDatabase reader(db, HistoryDatabase::Access::Read);
        const auto check = reader.verifyChain();
        EXPECT_TRUE(check) << reader.error();
        return check.value_or(ChainCheck{false, "", 0, "unreadable", 0});
    }
    // Three transfers, two revisions and their states.
    void fill() {
        HistoryDatabase writer(db, HistoryDatabase::Access::Write);
        add(writer, upload("P1", "G00 X1\r\n", false, 0));
        add(writer, transfer("P1", "G00 X1\r\n", 1));
        add(writer, upload("P1", "G00 X2\r\n", true, 2));
    }
};

TEST_F(Revisions, AStoredUploadIsReleasedAndAHeldOneWaitsBesideIt) {
    HistoryDatabase writer(db, HistoryDatabase::Access::Write);
    add(writer, upload("P1", "G00 X1\r\n", false, 0));
    auto first = writer.takeRevisionNotice();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->state, State::Released);
    add(writer, transfer("P1", "G00 X1\r\n", 1));  // a download changes nothing
    EXPECT_FALSE(writer.takeRevisionNotice());
    add(writer, upload("P1", "G00 X2\r\n", true, 2));
    const auto second = writer.takeRevisionNotice();
    ASSERT_TRUE(second);
    EXPECT_EQ(second->state, State::Pending);
    EXPECT_EQ(second->name, "P1");

    const auto rows = all();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].id, second->id);  // newest first
    EXPECT_EQ(rows[0].state, State::Pending);
    EXPECT_EQ(rows[0].sha256, sha256Hex("G00 X2\r\n"));
    EXPECT_EQ(rows[0].size, 8);
    EXPECT_EQ(rows[0].user, "unit 1");
    EXPECT_EQ(rows[0].source, Source::Unit);
    EXPECT_EQ(rows[1].state, State::Released);
    HistoryDatabase reader(db, HistoryDatabase::Access::Read);
    EXPECT_EQ(reader.released(1, 1, "P1")->id, first->id);
    EXPECT_EQ(reader.program(rows[0].sha256), "G00 X2\r\n") << "content kept without keepProgram";

    // An operator's pull and a new upload stored directly supersede the released one.
    TransferRecord pulled = upload("P1", "G00 X3\r\n", false, 3);
    pulled.startedBy = StartedBy::Operator;
    pulled.user = "bob";
    add(writer, pulled);
    EXPECT_EQ(byId(first->id).state, State::Superseded);
    const auto now = all().front();
    EXPECT_EQ(now.state, State::Released);
    EXPECT_EQ(now.source, Source::Operator);
    EXPECT_EQ(now.user, "bob");
}

TEST_F(Revisions, AcceptRejectAndRestoreAreNewRecordsAndRefusedWhereTheStateForbids) {
    fill();
    HistoryDatabase writer(db, HistoryDatabase::Access::Write);
    const std::int64_t released = 1;
    const std::int64_t pending = 2;

    ActionResult refused = writer.apply(action(Action::Accept, released));
    EXPECT_FALSE(refused.ok);
    EXPECT_NE(refused.error.find("only a pending one"), std::string::npos) << refused.error;
    EXPECT_FALSE(writer.apply(action(Action::Restore, 99)).ok);
    EXPECT_EQ(all().size(), 2u) << "a refusal changes nothing";

    const ActionResult accepted = writer.apply(action(Action::Accept, pending));
    ASSERT_TRUE(accepted.ok) << accepted.error;
    RevisionRow now = byId(accepted.revision);
    EXPECT_EQ(now.state, State::Released);
    EXPECT_EQ(now.source, Source::Accept);
    EXPECT_EQ(now.user, "alice");
    EXPECT_EQ(now.note, "accepts revision 2");
    EXPECT_EQ(now.sha256, sha256Hex("G00 X2\r\n"));
    EXPECT_EQ(byId(released).state, State::Superseded);
    EXPECT_EQ(byId(pending).state, State::Superseded);
    EXPECT_FALSE(writer.apply(action(Action::Reject, pending)).ok) << "decided already";

    add(writer, upload("P1", "G00 X9\r\n", true, 5));
    const std::int64_t another = writer.takeRevisionNotice()->id;
    const ActionResult rejected = writer.apply(action(Action::Reject, another, "carol"));
    ASSERT_TRUE(rejected.ok) << rejected.error;
    EXPECT_EQ(byId(another).state, State::Rejected);
    HistoryDatabase reader(db, HistoryDatabase::Access::Read);
    EXPECT_EQ(reader.program(byId(another).sha256), "G00 X9\r\n") << "a rejected one is kept";
    EXPECT_EQ(reader.released(1, 1, "P1")->id, accepted.revision) << "reject keeps the file";

    const ActionResult restored = writer.apply(action(Action::Restore, released));
    ASSERT_TRUE(restored.ok) << restored.error;
    now = byId(restored.revision);
    EXPECT_EQ(now.state, State::Released);
    EXPECT_EQ(now.source, Source::Restore);
    EXPECT_EQ(now.sha256, sha256Hex("G00 X1\r\n"));
    EXPECT_EQ(byId(accepted.revision).state, State::Superseded);
    EXPECT_TRUE(verify().intact);
}

// A removal by the unit or the operator: straight away, or held when the programs are protected.
TEST_F(Revisions, ARemovalIsARevisionThatSupersedesTheReleasedOneOrWaitsForApproval) {
    HistoryDatabase writer(db, HistoryDatabase::Access::Write);
    add(writer, upload("P1", "G00 X1\r\n", false, 0));
    const std::int64_t first = writer.takeRevisionNotice()->id;
    TransferRecord removal = transfer("P1", "G00 X1\r\n", 1);
    removal.deletion = true;
    add(writer, removal);
    const auto removed = writer.takeRevisionNotice();
    ASSERT_TRUE(removed);
    EXPECT_EQ(removed->state, State::Deleted);
    RevisionRow row = byId(removed->id);
    EXPECT_EQ(row.source, Source::Unit);
    EXPECT_EQ(row.user, "unit 1");
    EXPECT_EQ(row.sha256, sha256Hex("G00 X1\r\n"));
    EXPECT_EQ(row.size, 8);
    EXPECT_EQ(byId(first).state, State::Superseded);
    HistoryDatabase reader(db, HistoryDatabase::Access::Read);
    EXPECT_FALSE(reader.released(1, 1, "P1")) << "nothing is released once the file is gone";
    EXPECT_EQ(reader.query({})->size(), 1u) << "a removal is no transfer";

    // Restoring the removal brings back what the file held.
    const ActionResult restored = writer.apply(action(Action::Restore, removed->id));
    ASSERT_TRUE(restored.ok) << restored.error;
    EXPECT_EQ(byId(restored.revision).state, State::Released);
    EXPECT_EQ(byId(restored.revision).sha256, sha256Hex("G00 X1\r\n"));
    EXPECT_EQ(reader.program(sha256Hex("G00 X1\r\n")), "G00 X1\r\n");

    // An operator's removal that could not read the file takes the released revision's hash;
    // held, it waits beside the released one.
    TransferRecord held = transfer("P1", "", 2);
    held.content.reset();
    held.deletion = true;
    held.held = true;
    held.startedBy = StartedBy::Window;
    held.user = "bob";
    add(writer, held);
    const std::int64_t pending = writer.takeRevisionNotice()->id;
    row = byId(pending);
    EXPECT_EQ(row.state, State::Pending);
    EXPECT_EQ(row.source, Source::Operator);
    EXPECT_EQ(row.user, "bob");
    EXPECT_EQ(row.sha256, sha256Hex("G00 X1\r\n"));
    EXPECT_EQ(byId(restored.revision).state, State::Released) << "held: the file stays";

    const ActionResult accepted = writer.apply(action(Action::Accept, pending));
    ASSERT_TRUE(accepted.ok) << accepted.error;
    EXPECT_EQ(byId(accepted.revision).state, State::Deleted);
    EXPECT_EQ(byId(accepted.revision).source, Source::Accept);
    EXPECT_EQ(byId(restored.revision).state, State::Superseded);
    EXPECT_FALSE(writer.released(1, 1, "P1"));

    // A program never recorded whose file could not be read leaves nothing to restore.
    TransferRecord unknown = transfer("P9", "", 3);
    unknown.content.reset();
    unknown.deletion = true;
    add(writer, unknown);
    const std::int64_t gone = writer.takeRevisionNotice()->id;
    EXPECT_TRUE(byId(gone).sha256.empty());
    const ActionResult nothing = writer.apply(action(Action::Restore, gone));
    EXPECT_FALSE(nothing.ok);
    EXPECT_NE(nothing.error.find("no content to restore"), std::string::npos) << nothing.error;
    EXPECT_TRUE(verify().intact);
}

TEST_F(Revisions, RetentionNeverDropsTheContentOfAReleasedOrPendingRevision) {
    HistoryDatabase writer(db, HistoryDatabase::Access::Write);
    add(writer, upload("P1", "old", false, 0));
    add(writer, upload("P1", "released", false, 1));
    add(writer, upload("P1", "pending", true, 2));
    add(writer, upload("P2", "released too", false, 2));
    const auto later = at(0) + std::chrono::hours(24 * 400);
    ASSERT_TRUE(writer.applyRetention({30, 0}, later)) << writer.error();
    EXPECT_FALSE(writer.program(sha256Hex("old"))) << "a superseded one may go";
    EXPECT_TRUE(writer.program(sha256Hex("released")));
    EXPECT_TRUE(writer.program(sha256Hex("pending")));
    ASSERT_TRUE(writer.applyRetention({0, 1}, later)) << writer.error();
    ASSERT_TRUE(writer.applyRetention({1, 1}, later)) << writer.error();
    EXPECT_TRUE(writer.program(sha256Hex("released too")));
}

TEST_F(Revisions, TheChainFindsAChangedRemovedOrInsertedRecord) {
    fill();
    ChainCheck check = verify();
    EXPECT_TRUE(check.intact) << check.table << " " << check.id << " " << check.reason;
    EXPECT_EQ(check.records, 3 + 2 + 2);
    const std::filesystem::path pristine = dir / "pristine.db";
    std::filesystem::copy_file(db, pristine);
    auto fresh = [&] {
        std::filesystem::remove(db);
        std::filesystem::copy_file(pristine, db);
    };

    sql("UPDATE transfers SET name = 'P9' WHERE id = 2");
    check = verify();
    EXPECT_FALSE(check.intact);
    EXPECT_EQ(check.table, "transfers");
    EXPECT_EQ(check.id, 2);

    fresh();
    sql("DELETE FROM transfers WHERE id = 2");
    check = verify();
    EXPECT_FALSE(check.intact);
    EXPECT_EQ(check.table, "transfers");
    EXPECT_EQ(check.id, 2);
    EXPECT_NE(check.reason.find("missing"), std::string::npos);

    fresh();
    sql("CREATE TEMP TABLE copy AS SELECT * FROM transfers WHERE id = 3; "
        "UPDATE copy SET id = 4; INSERT INTO transfers SELECT * FROM copy");
    check = verify();
    EXPECT_FALSE(check.intact);
    EXPECT_EQ(check.id, 4);

    fresh();
    sql("UPDATE revisions SET sha256 = '" + sha256Hex("forged") + "' WHERE id = 2");
    check = verify();
    EXPECT_EQ(check.table, "revisions");
    EXPECT_EQ(check.id, 2);

    fresh();
    sql("UPDATE revisions SET state = 'released' WHERE id = 2");
    check = verify();
    EXPECT_FALSE(check.intact);
    EXPECT_EQ(check.table, "revisions");
    EXPECT_EQ(check.id, 2);
    EXPECT_NE(check.reason.find("state"), std::string::npos);

    fresh();
    sql("UPDATE revision_states SET user = 'mallory' WHERE id = 1");
    check = verify();
    EXPECT_EQ(check.table, "revision_states");
    EXPECT_EQ(check.id, 1);
}

TEST_F(Revisions, ADatabaseOfTheFirstSchemaIsUpgradedInPlaceAndItsChainBeginsThere) {
    std::filesystem::create_directories(db.parent_path());
    sql(R"sql(
CREATE TABLE transfers(id INTEGER PRIMARY KEY, time TEXT NOT NULL, subnet INTEGER NOT NULL,
    caption TEXT NOT NULL, unit INTEGER NOT NULL,
    direction TEXT NOT NULL CHECK(direction IN ('to-unit','from-unit','include','exclude')),
    started_by TEXT NOT NULL CHECK(started_by IN ('unit','operator','window')),
    name TEXT NOT NULL, path TEXT NOT NULL, size INTEGER, sha256 TEXT, stored INTEGER NOT NULL,
    outcome TEXT NOT NULL CHECK(outcome IN ('done','failed','stopped')), error TEXT NOT NULL);
CREATE INDEX transfers_by_time ON transfers(time);
CREATE TABLE programs(sha256 TEXT PRIMARY KEY, size INTEGER NOT NULL, content BLOB NOT NULL,
    kept TEXT NOT NULL, last_sent TEXT NOT NULL);
INSERT INTO transfers VALUES(1, '2026-01-01T00:00:00.000Z', 1, 'Hall', 1, 'to-unit', 'unit',
    'OLD', '/srv/OLD', 3, 'x', 0, 'done', '');
PRAGMA user_version = 1;
)sql");
    {
        HistoryDatabase reader(db, HistoryDatabase::Access::Read);
        EXPECT_TRUE(reader.revisions({})->empty()) << "an old database has no revisions";
    }
    {
        HistoryDatabase writer(db, HistoryDatabase::Access::Write);
        ASSERT_TRUE(writer.ok()) << writer.error();
        add(writer, upload("P1", "G00\n", true, 0));
    }
    HistoryDatabase reader(db, HistoryDatabase::Access::Read);
    const auto rows = reader.query({});
    ASSERT_EQ(rows->size(), 2u);
    EXPECT_EQ(rows->back().name, "OLD");
    EXPECT_EQ(all().size(), 1u);
    const ChainCheck check = verify();
    EXPECT_TRUE(check.intact) << check.reason;
    EXPECT_EQ(check.records, 1 + 1 + 1) << "the old record is before the chain";
    sql("UPDATE transfers SET name = 'OLDER' WHERE id = 1");
    EXPECT_TRUE(verify().intact) << "records before the upgrade carry no seal";
}

}  // namespace
