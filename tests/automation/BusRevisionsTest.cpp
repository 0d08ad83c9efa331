// The revisions over D-Bus: what a fetched program leaves in Revisions, the comparison, the
// restore of an earlier revision, and the refusals that change nothing; and another site's
// revision in the shared history, whose accept or reject is asked of that site.
#include <QDBusArgument>

#include "dnc/history/HistoryStore.h"

#include "dnc/automation/BusNames.h"
#include "dnc/automation/BusTypes.h"
#include "tests/automation/BusFixture.h"

namespace bus = dnc::bus;

namespace {

using BusRevisions = BusTest;

QVariant y(int value) {
    return QVariant::fromValue(static_cast<uchar>(value));
}

QVariant x(qlonglong value) {
    return QVariant::fromValue(value);
}

const std::string kFirst = "%\nN10 G0 X0 Y0\nN20 G1 X100 F200\nN30 M30\n%\n";
const std::string kSecond = "%\nN10 G0 X0 Y0\nN20 G1 X150 F200\nN30 M30\n%\n";

TEST_F(BusRevisions, FetchedProgramsAreRevisionsThatCanBeComparedAndRestored) {
    for (const std::string* content : {&kFirst, &kSecond}) {
        line->withUnits([content](sim::unit::UnitSimulator& u) {
            u.unit(2)->memory().store(sim::unit::MemoryFile{"PROG7", 1, *content});
        });
        const QDBusMessage reply = subNet("ReceiveFile", {y(2), "PROG7", 0});
        ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    }
    QList<bus::RevisionEntry> entries;
    ASSERT_TRUE(waitUntil([&] {
        const QDBusMessage reply = subNet("Revisions", {y(2), QStringLiteral("PROG7.WTX")});
        EXPECT_EQ(reply.signature(), QStringLiteral("a(xsyssxxsss)"));
        entries = qdbus_cast<QList<bus::RevisionEntry>>(
            reply.arguments().value(0).value<QDBusArgument>());
        return entries.size() == 2;
    }));
    EXPECT_EQ(entries[0].state, QStringLiteral("released"));
    EXPECT_EQ(entries[0].source, QStringLiteral("operator"));
    EXPECT_EQ(entries[1].state, QStringLiteral("superseded"));
    EXPECT_EQ(entries[0].size, static_cast<qint64>(kSecond.size()));
    EXPECT_FALSE(entries[0].user.isEmpty());

    QDBusMessage reply = subNet("CompareRevisions", {x(entries[0].id), x(entries[1].id)});
    ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    EXPECT_TRUE(reply.arguments().value(0).toString().contains(
        QStringLiteral("-N20 G1 X100 F200\n+N20 G1 X150 F200\n")))
        << reply.arguments().value(0).toString().toStdString();

    // Refused before anything changes.
    for (const auto& [method, id] : std::vector<std::pair<QString, qlonglong>>{
             {QStringLiteral("AcceptRevision"), entries[0].id},
             {QStringLiteral("RejectRevision"), entries[1].id},
             {QStringLiteral("RestoreRevision"), entries[0].id},
             {QStringLiteral("AcceptRevision"), 999}}) {
        reply = subNet(method, {x(id)});
        EXPECT_EQ(reply.errorName(), QString::fromLatin1(bus::kInvalidArgs))
            << method.toStdString() << " " << id;
    }
    EXPECT_EQ(readFile(2, "PROG7.WTX"), kSecond);

    reply = subNet("RestoreRevision", {x(entries[1].id)});
    ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    EXPECT_EQ(readFile(2, "PROG7.WTX"), kFirst);
}

TEST_F(BusRevisions, AnotherSitesRevisionIsAskedOfThatSiteAndNoFileHereChanges) {
    putFile(1, "PROG7.WTX", kFirst);
    const std::filesystem::path history = dir / "DNC.db";
    std::int64_t theirs[2] = {};
    {
        // Site hall-b's unit sent PROG7 and PROG8 to its sub net 1, held for approval there.
        const auto elsewhere = dnc::history::openHistoryStore(
            history.string(), dnc::history::HistoryStore::Access::Write, "hall-b");
        for (int i = 0; i < 2; ++i) {
            dnc::history::TransferRecord r;
            r.time = std::chrono::system_clock::now();
            r.subNet = 1;
            r.unit = 1;
            r.caption = "Hall B";
            r.direction = dnc::history::Direction::FromUnit;
            r.name = i == 0 ? "PROG7.WTX" : "PROG8.WTX";
            r.path = (dir / "home" / "Ferix1" / r.name).string();
            r.content = kSecond;
            r.held = true;
            ASSERT_TRUE(elsewhere->add(dnc::history::prepare(r), false)) << elsewhere->error();
            theirs[i] = elsewhere->takeRevisionNotice()->id;
        }
    }
    QDBusMessage reply = subNet("AcceptRevision", {x(theirs[0])});
    ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    EXPECT_EQ(
        reply.arguments().value(0).toString().toStdString(),
        "Asked site hall-b to accept revision " + std::to_string(theirs[0]) + " (request 1).");
    reply = subNet("RejectRevision", {x(theirs[0])});
    EXPECT_EQ(reply.errorName(), QString::fromLatin1(bus::kRequestFailed));
    EXPECT_TRUE(reply.errorMessage().contains(QStringLiteral("open already")))
        << reply.errorMessage().toStdString();

    // The client says so too, and lists what was asked.
    ChildProgram reject(FERIXDNCCTL_PROGRAM, {"reject", std::to_string(theirs[1])});
    EXPECT_EQ(reject.exitCode(std::chrono::seconds(60)), 0) << reject.output();
    EXPECT_NE(reject.output().find("Asked site hall-b to reject revision " +
                                   std::to_string(theirs[1]) + " (request 2)."),
              std::string::npos)
        << reject.output();
    ChildProgram listed(FERIXDNCCTL_PROGRAM, {"revisions", "requests", "--site", "hall-b",
                                              "--history", history.string()});
    EXPECT_EQ(listed.exitCode(std::chrono::seconds(60)), 0) << listed.output();
    EXPECT_NE(listed.output().find("reject"), std::string::npos) << listed.output();
    EXPECT_NE(listed.output().find("open"), std::string::npos) << listed.output();

    EXPECT_EQ(readFile(1, "PROG7.WTX"), kFirst) << "this site's file of the same name";
    EXPECT_TRUE(readFile(1, "PROG8.WTX").empty());
}

}  // namespace
