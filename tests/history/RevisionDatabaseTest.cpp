// The revisions in the history database: what a transfer makes of a program, the operator's
// decisions, the retention that spares what is in use, the hash chain that finds a changed,
// removed or inserted record, and the upgrade of a database of the first schema.
#include <sqlite3.h>

#include <sstream>

#include "dnc/history/ChainHash.h"
#include "dnc/history/HistoryCommands.h"
#include "dnc/history/HistoryCopy.h"
#include "dnc/history/HistoryDatabase.h"
#include "dnc/history/Sha256.h"
#include "tests/history/StoreFixture.h"

namespace {

using namespace dnc::history;
using dnc::revisions::Action;
using dnc::revisions::Source;
using dnc::revisions::State;

class Revision : public StoreFolder {
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

public:
    void run(const std::string& statements) { sql(statements); }

protected:
    void add(HistoryStore& writer, TransferRecord r) {
        ASSERT_TRUE(writer.add(prepare(std::move(r)), false)) << writer.error();
    }
    std::vector<RevisionRow> all() {
        const auto readerStore = open(HistoryStore::Access::Read);
        HistoryStore& reader = *readerStore;
        auto rows = reader.revisions({});
        EXPECT_TRUE(rows) << reader.error();
        return rows.value_or(std::vector<RevisionRow>{});
    }
    RevisionRow byId(std::int64_t id) {
        const auto readerStore = open(HistoryStore::Access::Read);
        HistoryStore& reader = *readerStore;
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
    ChainCheck verify() {
        const auto readerStore = open(HistoryStore::Access::Read);
        HistoryStore& reader = *readerStore;
        const auto check = reader.verifyChain();
        EXPECT_TRUE(check) << reader.error();
        return check.value_or(ChainCheck{false, "", 0, "unreadable", 0});
    }
    // Three transfers, two revisions and their states.
    void fill() {
        const auto writerStore = open(HistoryStore::Access::Write);
        HistoryStore& writer = *writerStore;
        add(writer, upload("P1", "G00 X1\r\n", false, 0));
        add(writer, transfer("P1", "G00 X1\r\n", 1));
        add(writer, upload("P1", "G00 X2\r\n", true, 2));
    }
};

// The same on either back end.
using Revisions = OnEachStore<Revision>;
INSTANTIATE_ON_EACH_STORE(Revisions);

TEST_P(Revisions, AStoredUploadIsReleasedAndAHeldOneWaitsBesideIt) {
    const auto writerStore = open(HistoryStore::Access::Write);
    HistoryStore& writer = *writerStore;
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
    const auto readerStore = open(HistoryStore::Access::Read);
    HistoryStore& reader = *readerStore;
    EXPECT_EQ(reader.released(1, 1, "P1", "hall-a")->id, first->id);
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

TEST_P(Revisions, AcceptRejectAndRestoreAreNewRecordsAndRefusedWhereTheStateForbids) {
    fill();
    const auto writerStore = open(HistoryStore::Access::Write);
    HistoryStore& writer = *writerStore;
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
    const auto readerStore = open(HistoryStore::Access::Read);
    HistoryStore& reader = *readerStore;
    EXPECT_EQ(reader.program(byId(another).sha256), "G00 X9\r\n") << "a rejected one is kept";
    EXPECT_EQ(reader.released(1, 1, "P1", "hall-a")->id, accepted.revision)
        << "reject keeps the file";

    const ActionResult restored = writer.apply(action(Action::Restore, released));
    ASSERT_TRUE(restored.ok) << restored.error;
    now = byId(restored.revision);
    EXPECT_EQ(now.state, State::Released);
    EXPECT_EQ(now.source, Source::Restore);
    EXPECT_EQ(now.sha256, sha256Hex("G00 X1\r\n"));
    EXPECT_EQ(byId(accepted.revision).state, State::Superseded);
    EXPECT_TRUE(verify().intact);
}

// Two sites of one plant may both have a sub net 1 with a unit 1 holding a P1: each site's
// programs are its own, and one site's release never supersedes the other's.
TEST_P(Revisions, EachSiteReleasesOnlyItsOwnPrograms) {
    const auto a = open(HistoryStore::Access::Write, "hall-a");
    const auto b = open(HistoryStore::Access::Write, "hall-b");
    add(*a, upload("P1", "G00 X1\r\n", false, 0));
    const std::int64_t atA = a->takeRevisionNotice()->id;
    add(*b, upload("P1", "G00 Y1\r\n", false, 1));
    const std::int64_t atB = b->takeRevisionNotice()->id;
    add(*b, upload("P1", "G00 Y2\r\n", true, 2));
    const ActionResult accepted = b->apply(action(Action::Accept, b->takeRevisionNotice()->id));
    ASSERT_TRUE(accepted.ok) << accepted.error;
    TransferRecord removal = upload("P1", "G00 Y2\r\n", false, 3);
    removal.deletion = true;
    add(*b, removal);

    EXPECT_EQ(byId(atA).state, State::Released) << "hall-b's changes leave hall-a's P1 alone";
    EXPECT_EQ(byId(atB).state, State::Superseded);
    EXPECT_EQ(byId(accepted.revision).state, State::Superseded);
    const auto reader = open(HistoryStore::Access::Read, "office");
    EXPECT_EQ(reader->released(1, 1, "P1", "hall-a")->id, atA);
    EXPECT_FALSE(reader->released(1, 1, "P1", "hall-b")) << "removed at hall-b";
    EXPECT_TRUE(verify().intact);
}

// A removal by the unit or the operator: straight away, or held when the programs are protected.
TEST_P(Revisions, ARemovalIsARevisionThatSupersedesTheReleasedOneOrWaitsForApproval) {
    const auto writerStore = open(HistoryStore::Access::Write);
    HistoryStore& writer = *writerStore;
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
    const auto readerStore = open(HistoryStore::Access::Read);
    HistoryStore& reader = *readerStore;
    EXPECT_FALSE(reader.released(1, 1, "P1", "hall-a"))
        << "nothing is released once the file is gone";
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
    EXPECT_FALSE(writer.released(1, 1, "P1", "hall-a"));

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

TEST_P(Revisions, RetentionNeverDropsTheContentOfAReleasedOrPendingRevision) {
    const auto writerStore = open(HistoryStore::Access::Write);
    HistoryStore& writer = *writerStore;
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

TEST_P(Revisions, TheChainFindsAChangedRemovedOrInsertedRecord) {
    fill();
    ChainCheck check = verify();
    EXPECT_TRUE(check.intact) << check.table << " " << check.id << " " << check.reason;
    EXPECT_EQ(check.records, 3 + 2 + 2);
    auto fresh = [&] {
        reset();
        fill();
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
    if (backend == Backend::Sqlite) {
        EXPECT_EQ(check.id, 2);
        EXPECT_NE(check.reason.find("missing"), std::string::npos);
    } else {
        // A server's numbers have gaps (a write rolled back): the next record shows it.
        EXPECT_EQ(check.id, 3);
    }

    if (backend == Backend::Postgres) {
        // The chain's head knows its last record.
        fresh();
        sql("DELETE FROM transfers WHERE id = 3");
        check = verify();
        EXPECT_FALSE(check.intact);
        EXPECT_EQ(check.table, "transfers");
        EXPECT_EQ(check.id, 3);
        EXPECT_NE(check.reason.find("missing"), std::string::npos);
    }

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
    sql("UPDATE revision_states SET \"user\" = 'mallory' WHERE id = 1");
    check = verify();
    EXPECT_EQ(check.table, "revision_states");
    EXPECT_EQ(check.id, 1);
}

TEST_F(Revision, ADatabaseOfTheFirstSchemaIsUpgradedInPlaceAndItsChainBeginsThere) {
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
        const auto readerStore = open(HistoryStore::Access::Read);
        HistoryStore& reader = *readerStore;
        EXPECT_TRUE(reader.revisions({})->empty()) << "an old database has no revisions";
    }
    {
        const auto writerStore = open(HistoryStore::Access::Write);
        HistoryStore& writer = *writerStore;
        ASSERT_TRUE(writer.ok()) << writer.error();
        add(writer, upload("P1", "G00\n", true, 0));
    }
    const auto readerStore = open(HistoryStore::Access::Read);
    HistoryStore& reader = *readerStore;
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

// A file of the second schema: one upload, its revision and its state, sealed as that schema
// sealed them (without a site).
void writeVersion2(Revision& test, const std::filesystem::path& file) {
    std::filesystem::create_directories(file.parent_path());
    const std::string hash = sha256Hex("G00\n");
    ChainFields transfer;
    transfer.number(1);
    transfer.text("2026-01-01T00:00:00.000Z");
    transfer.number(1);
    transfer.text("Hall");
    transfer.number(1);
    transfer.text("from-unit");
    transfer.text("unit");
    transfer.text("OLD");
    transfer.text("/srv/OLD");
    transfer.number(4);
    transfer.text(hash);
    transfer.number(1);
    transfer.text("done");
    transfer.text("");
    transfer.text("unit 1");
    ChainFields revision;
    revision.number(1);
    revision.number(1767225600000000);
    revision.number(1);
    revision.number(1);
    revision.text("OLD");
    revision.text("/srv/OLD");
    revision.text("unit");
    revision.text(hash);
    revision.number(4);
    revision.text("unit 1");
    revision.text("");
    ChainFields state;
    state.number(1);
    state.number(1);
    state.number(1767225600000000);
    state.text("released");
    state.text("unit 1");
    const std::string sql = R"sql(
CREATE TABLE transfers(id INTEGER PRIMARY KEY, time TEXT NOT NULL, subnet INTEGER NOT NULL,
    caption TEXT NOT NULL, unit INTEGER NOT NULL, direction TEXT NOT NULL,
    started_by TEXT NOT NULL, name TEXT NOT NULL, path TEXT NOT NULL, size INTEGER, sha256 TEXT,
    stored INTEGER NOT NULL, outcome TEXT NOT NULL, error TEXT NOT NULL,
    user TEXT NOT NULL DEFAULT '', chain TEXT);
CREATE TABLE programs(sha256 TEXT PRIMARY KEY, size INTEGER NOT NULL, content BLOB NOT NULL,
    kept TEXT NOT NULL, last_sent TEXT NOT NULL);
CREATE TABLE revisions(id INTEGER PRIMARY KEY, time INTEGER NOT NULL, subnet INTEGER NOT NULL,
    unit INTEGER NOT NULL, name TEXT NOT NULL, path TEXT NOT NULL, source TEXT NOT NULL,
    sha256 TEXT NOT NULL, size INTEGER NOT NULL, user TEXT NOT NULL, note TEXT NOT NULL,
    state TEXT NOT NULL, chain TEXT);
CREATE TABLE revision_states(id INTEGER PRIMARY KEY, revision INTEGER NOT NULL,
    time INTEGER NOT NULL, state TEXT NOT NULL, user TEXT NOT NULL, chain TEXT);
CREATE TABLE chain_start(tbl TEXT PRIMARY KEY, first INTEGER NOT NULL);
INSERT INTO chain_start VALUES('transfers', 1), ('revisions', 1), ('revision_states', 1);
INSERT INTO programs VALUES(')sql" +
                            hash + R"sql(', 4, X'4730300A', '2026-01-01T00:00:00.000Z',
    '2026-01-01T00:00:00.000Z');
INSERT INTO transfers VALUES(1, '2026-01-01T00:00:00.000Z', 1, 'Hall', 1, 'from-unit', 'unit',
    'OLD', '/srv/OLD', 4, ')sql" +
                            hash + "', 1, 'done', '', 'unit 1', '" + transfer.seal("") +
                            R"sql(');
INSERT INTO revisions VALUES(1, 1767225600000000, 1, 1, 'OLD', '/srv/OLD', 'unit', ')sql" +
                            hash + "', 4, 'unit 1', '', 'released', '" + revision.seal("") +
                            R"sql(');
INSERT INTO revision_states VALUES(1, 1, 1767225600000000, 'released', 'unit 1', ')sql" +
                            state.seal("") + R"sql(');
PRAGMA user_version = 2;
)sql";
    test.run(sql);
}

TEST_F(Revision, ADatabaseOfTheSecondSchemaTakesTheSiteAndItsSealsHoldAsTheyWere) {
    writeVersion2(*this, db);
    {
        const auto reader = open(HistoryStore::Access::Read);
        EXPECT_TRUE(reader->verifyChain()->intact) << "read as it is";
        EXPECT_EQ(reader->query({})->front().site, "") << "no site recorded yet";
    }
    {
        const auto writer = open(HistoryStore::Access::Write, "hall-a");
        ASSERT_TRUE(writer->ok()) << writer->error();
        add(*writer, upload("OLD", "G01\n", false, 10));
    }
    const auto reader = open(HistoryStore::Access::Read);
    const auto rows = reader->query({});
    ASSERT_EQ(rows->size(), 2u);
    EXPECT_EQ(rows->back().site, "hall-a") << "the records there are the upgrading site's";
    EXPECT_EQ(byId(1).site, "hall-a");
    EXPECT_EQ(byId(1).state, State::Superseded);
    ChainCheck check = verify();
    EXPECT_TRUE(check.intact) << check.table << " " << check.id << ": " << check.reason;
    EXPECT_EQ(check.records, 2 + 2 + 3);

    // The old seals still cover what they covered, the new ones the site too.
    sql("UPDATE transfers SET name = 'OLDER' WHERE id = 1");
    check = verify();
    EXPECT_FALSE(check.intact);
    EXPECT_EQ(check.table, "transfers");
    EXPECT_EQ(check.id, 1);
    sql("UPDATE transfers SET name = 'OLD' WHERE id = 1; "
        "UPDATE transfers SET site = 'hall-b' WHERE id = 2");
    check = verify();
    EXPECT_FALSE(check.intact);
    EXPECT_EQ(check.id, 2);
}

TEST_F(Revision, AFileIsCopiedOntoAServerWithItsChainIntact) {
    REQUIRE_POSTGRES();
    // An upgraded file of the second schema, written to by two sites since.
    writeVersion2(*this, db);
    {
        const auto a = open(HistoryStore::Access::Write, "hall-a");
        add(*a, upload("OLD", "G01\n", false, 10));
        ASSERT_TRUE(a->add(prepare(transfer("P2", "sent", 11)), true)) << a->error();
        const auto b = open(HistoryStore::Access::Write, "hall-b");
        add(*b, upload("B1", "G02\n", true, 12));
    }
    DecisionRequest asked;  // hall-a asks hall-b to accept its pending revision
    asked.revision = 3;
    asked.user = "carol";
    asked.from = "hall-a";
    const auto filed = open(HistoryStore::Access::Write, "hall-a")->fileRequest(asked);
    ASSERT_TRUE(filed);
    const ChainCheck inFile = verify();
    ASSERT_TRUE(inFile.intact);
    const std::string server = PostgresServer::instance().freshDatabase();
    const std::string withPassword =
        "postgresql://ferix:s3cret@" + server.substr(std::string("postgresql://").size());

    std::ostringstream out, err;
    ASSERT_EQ(runHistoryCommand({"--history", db.string(), "--copy-to", withPassword}, out, err), 0)
        << err.str();
    EXPECT_NE(out.str().find("the chain of " + std::to_string(inFile.records) +
                             " record(s) is intact there"),
              std::string::npos)
        << out.str();
    EXPECT_EQ(out.str().find("s3cret"), std::string::npos) << out.str();

    const auto there = openHistoryStore(server, HistoryStore::Access::Read);
    ChainCheck check = there->verifyChain().value_or(ChainCheck{false, "", 0, "unreadable", 0});
    EXPECT_TRUE(check.intact) << check.table << " " << check.id << ": " << check.reason;
    EXPECT_EQ(check.records, inFile.records);
    const auto fileReader = open(HistoryStore::Access::Read);
    const auto rowsThere = there->query({});
    const auto rowsHere = fileReader->query({});
    ASSERT_EQ(rowsThere->size(), rowsHere->size());
    for (std::size_t i = 0; i < rowsHere->size(); ++i) {
        EXPECT_EQ((*rowsThere)[i].id, (*rowsHere)[i].id);
        EXPECT_EQ((*rowsThere)[i].site, (*rowsHere)[i].site);
        EXPECT_EQ((*rowsThere)[i].kept, (*rowsHere)[i].kept);
    }
    EXPECT_EQ(there->revisions({})->size(), 3u);
    EXPECT_EQ(there->program(sha256Hex("sent")), "sent");

    // The sites write on, each onto its chain where the file left it.
    {
        const auto a = openHistoryStore(server, HistoryStore::Access::Write, "hall-a");
        ASSERT_TRUE(a->add(prepare(upload("OLD", "G03\n", false, 20)), false)) << a->error();
        const auto b = openHistoryStore(server, HistoryStore::Access::Write, "hall-b");
        RevisionAction carried = action(Action::Accept, 3);
        carried.request = *filed;
        const ActionResult accepted = b->apply(carried);
        EXPECT_TRUE(accepted.ok) << accepted.error;
    }
    const auto requests = openHistoryStore(server, HistoryStore::Access::Read)->requests({});
    ASSERT_TRUE(requests && requests->size() == 1u);
    EXPECT_EQ(requests->front().user, "carol");
    EXPECT_EQ(requests->front().status, DecisionRequest::Status::Done);
    check = openHistoryStore(server, HistoryStore::Access::Read)
                ->verifyChain()
                .value_or(ChainCheck{false, "", 0, "unreadable", 0});
    EXPECT_TRUE(check.intact) << check.table << " " << check.id << ": " << check.reason;

    // Only into an empty history, and only what verifies.
    std::string error;
    EXPECT_EQ(copyHistory(db, server, error), -1);
    EXPECT_NE(error.find("holds records already"), std::string::npos) << error;
    sql("UPDATE transfers SET name = 'FORGED' WHERE id = 2");
    EXPECT_EQ(copyHistory(db, PostgresServer::instance().freshDatabase(), error), -1);
    EXPECT_NE(error.find("does not verify"), std::string::npos) << error;
}

}  // namespace
