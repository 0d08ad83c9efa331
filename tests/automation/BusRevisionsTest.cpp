// The revisions over D-Bus: what a fetched program leaves in Revisions, the comparison, the
// restore of an earlier revision, and the refusals that change nothing.
#include <QDBusArgument>

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

}  // namespace
