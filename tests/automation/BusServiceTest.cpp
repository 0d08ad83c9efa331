// The headless FerixDNC driven over D-Bus: the manager's methods, every request of a running
// sub net against simulated units on a pseudo-terminal, the signals in their order, every way
// a request fails, requests waiting their turn, and two processes side by side.
#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusPendingCallWatcher>
#include <QDBusReply>
#include <fstream>

#include "dnc/automation/BusNames.h"
#include "dnc/automation/BusTypes.h"
#include "tests/automation/BusFixture.h"

namespace bus = dnc::bus;

namespace {

const QString kInvalidArgs = QString::fromLatin1(bus::kInvalidArgs);
const QString kRequestFailed = QString::fromLatin1(bus::kRequestFailed);

QVariant y(int value) {
    return QVariant::fromValue(static_cast<uchar>(value));
}

QVariant n(int value) {
    return QVariant::fromValue(static_cast<qint16>(value));
}

const std::string kProgram = "%\nN10 G0 X0 Y0\nN20 G1 X100 F200\nN30 M30\n%\n";

using BusManager = BusTest;
using BusRequests = BusTest;
using BusFailures = BusTest;
using BusQueue = BusTest;
using BusProcesses = BusTest;

TEST_F(BusManager, ListsStartsStopsAndRefusesWhatItCannotDo) {
    QDBusMessage reply = manager("SubNets");
    ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    EXPECT_EQ(reply.signature(), "a(nsbb)");
    auto rows = qdbus_cast<bus::SubNetRows>(reply.arguments().value(0).value<QDBusArgument>());
    ASSERT_EQ(rows.size(), 16);
    EXPECT_EQ(rows[0].number, 1);
    EXPECT_EQ(rows[0].caption, "Hall A");
    EXPECT_TRUE(rows[0].running);
    EXPECT_TRUE(rows[0].startUp);
    EXPECT_EQ(rows[1].caption, "Plain line");
    EXPECT_FALSE(rows[1].running);
    EXPECT_EQ(rows[15].caption, "Sub Net 16");

    // Start shows the sub net's object; a second Start does nothing.
    EXPECT_EQ(manager("Start", {n(2)}).type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(manager("Start", {n(2)}).type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(signals_->with("SubNetStarted"), QStringList{"SubNetStarted 2"});
    EXPECT_EQ(property(2, "Caption").toString(), "Plain line");
    EXPECT_EQ(property(2, "Protocol").toInt(), 4);
    ASSERT_TRUE(waitUntil([&] { return property(2, "Active").toBool(); }));
    rows =
        qdbus_cast<bus::SubNetRows>(manager("SubNets").arguments().value(0).value<QDBusArgument>());
    EXPECT_TRUE(rows[1].running);

    // Headless: nothing to show, nothing shown.
    reply = manager("Show", {n(2)});
    EXPECT_EQ(reply.errorName().toStdString(), bus::kNotSupported);
    EXPECT_EQ(manager("Hide", {n(2)}).type(), QDBusMessage::ReplyMessage);

    // Stop closes it (its object goes) and a second Stop does nothing.
    EXPECT_EQ(manager("Stop", {n(2)}).type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(manager("Stop", {n(2)}).type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(signals_->with("SubNetClosed"), QStringList{"SubNetClosed 2"});
    EXPECT_FALSE(property(2, "Caption").isValid());
    EXPECT_TRUE(service->waitForOutput("[Plain line]: closed, configuration stored",
                                       std::chrono::seconds(10)));

    for (const int wrong : {0, 17, -1}) {
        for (const char* method : {"Start", "Stop", "Show", "Hide"}) {
            EXPECT_EQ(manager(method, {n(wrong)}).errorName(), kInvalidArgs) << method << wrong;
        }
    }
}

TEST_F(BusRequests, SendFileRaisesItsSignalsInOrderBeforeItsAnswer) {
    EXPECT_EQ(property(1, "Caption").toString(), "Hall A");
    EXPECT_EQ(property(1, "Protocol").toInt(), 3);
    EXPECT_TRUE(property(1, "Active").toBool());
    EXPECT_FALSE(property(1, "Busy").toBool());
    EXPECT_EQ(property(1, "LastError").toString(), "");

    putFile(1, "PROG1.WTX", kProgram);
    signals_->lines.clear();
    const QDBusMessage reply = subNet("SendFile", {y(1), "PROG1.WTX"});
    ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();

    // Everything of the transfer came before the answer, in this order.
    const QStringList& l = signals_->lines;
    const auto at = [&](const QString& text) { return l.indexOf(text); };
    ASSERT_GE(at("1 TransferRunning 1 0"), 0) << l.join('\n').toStdString();
    EXPECT_LT(at("1 TransferRunning 1 0"), at("1 ProgressChanged 100"));
    EXPECT_LT(at("1 ProgressChanged 100"), at("1 TransferRunning 0 0"));
    EXPECT_LT(at("1 TransferRunning 0 0"), at("1 MemoryChanged 1"));
    EXPECT_LT(at("1 MemoryChanged 1"), at("reply SendFile"));
    EXPECT_EQ(at("reply SendFile"), l.size() - 1);
    int last = -1;
    for (const QString& p : signals_->with("1 ProgressChanged")) {
        const int value = p.section(' ', -1).toInt();
        EXPECT_GE(value, last) << "progress goes forward";
        last = value;
    }
    EXPECT_TRUE(signals_->with("1 Error").isEmpty());
    EXPECT_EQ(property(1, "Progress").toInt(), 100);
    EXPECT_FALSE(property(1, "Busy").toBool());

    const std::string stored = line->withUnits([](sim::unit::UnitSimulator& u) {
        const auto* file = u.unit(1)->memory().find("PROG1");
        return file != nullptr ? file->data : std::string("(missing)");
    });
    EXPECT_EQ(stored, kProgram);
}

TEST_F(BusRequests, ReceiveListRemoveAndCommandsReachTheUnit) {
    line->withUnits([](sim::unit::UnitSimulator& u) {
        u.unit(2)->memory().store(sim::unit::MemoryFile{"PROG7", 1, kProgram});
        u.unit(2)->memory().store(sim::unit::MemoryFile{"PROG8", 1, "%\nN1 M30\n%\n"});
    });

    QDBusMessage reply = subNet("ReceiveFile", {y(2), "PROG7", 0});
    ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    EXPECT_EQ(readFile(2, "PROG7.WTX"), kProgram);
    EXPECT_LT(signals_->lines.indexOf("1 DirectoryChanged 2"),
              signals_->lines.indexOf("reply ReceiveFile"));
    EXPECT_GE(signals_->lines.indexOf("1 DirectoryChanged 2"), 0);

    reply = subNet("MemoryList", {y(2)});
    ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    EXPECT_EQ(reply.signature(), "iiia(si)");
    const QVariantList values = reply.arguments();
    EXPECT_EQ(values.value(0).toInt(), 2);
    const int freeBytes = static_cast<int>(line->withUnits(
        [](sim::unit::UnitSimulator& u) { return u.unit(2)->memory().freeBytes(); }));
    EXPECT_EQ(values.value(1).toInt(), freeBytes);
    EXPECT_EQ(values.value(2).toInt(), 1);
    const auto files = qdbus_cast<bus::MemoryFiles>(values.value(3).value<QDBusArgument>());
    ASSERT_EQ(files.size(), 2);
    EXPECT_EQ(files[0].name, "PROG7");
    EXPECT_EQ(files[0].size, static_cast<int>(kProgram.size()));

    reply = subNet("RemoveFile", {y(2), "PROG8"});
    ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    EXPECT_GE(signals_->lines.indexOf("1 MemoryChanged 2"), 0);
    EXPECT_TRUE(line->withUnits(
        [](sim::unit::UnitSimulator& u) { return u.unit(2)->memory().find("PROG8") == nullptr; }));

    reply = subNet("UnitCommand", {y(2), "select", "PROG7"});
    ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    EXPECT_EQ(
        line->withUnits([](sim::unit::UnitSimulator& u) { return u.unit(2)->selectedProgram(); }),
        "PROG7");

    // Purge: its progress in fifths, then the memory is empty.
    signals_->lines.clear();
    reply = subNet("UnitCommand", {y(2), "purge", ""});
    ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    EXPECT_EQ(
        signals_->with("1 ProgressChanged"),
        (QStringList{"1 ProgressChanged 0", "1 ProgressChanged 20", "1 ProgressChanged 40",
                     "1 ProgressChanged 60", "1 ProgressChanged 80", "1 ProgressChanged 100"}));
    EXPECT_TRUE(line->withUnits(
        [](sim::unit::UnitSimulator& u) { return u.unit(2)->memory().visibleFiles().empty(); }));

    reply = subNet("UnitCommand", {y(2), "reader", ""});
    ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    EXPECT_EQ(line->withUnits([](sim::unit::UnitSimulator& u) { return u.unit(2)->activity(); }),
              sim::unit::Activity::ReaderSimulation);
}

TEST_F(BusFailures, BadArgumentsAreRefusedBeforeAnythingReachesTheLine) {
    putFile(1, "PROG1.WTX", kProgram);
    const std::size_t before = unitEvents();
    const struct {
        const char* method;
        QVariantList arguments;
    } refused[] = {
        {"SendFile", {y(0), "PROG1.WTX"}},
        {"SendFile", {y(11), "PROG1.WTX"}},
        {"SendFile", {y(1), "../PROG1.WTX"}},
        {"SendFile", {y(1), "Ferix1/PROG1.WTX"}},
        {"SendFile", {y(1), ""}},
        {"SendFile", {y(1), "PROG1"}},          // a DNC unit needs the kind's extension
        {"SendFile", {y(1), "LONGNAME9.WTX"}},  // and a name of at most 8 characters
        {"SendFile", {y(1), QString("PR\nOG.WTX")}},
        {"ReceiveFile", {y(1), "..", 0}},
        {"ReceiveFile", {y(1), "PROG1", -5}},
        {"ReceiveFile", {y(200), "PROG1", 0}},
        {"RemoveFile", {y(1), "/etc/passwd"}},
        {"MemoryList", {y(0)}},
        {"UnitCommand", {y(1), "format", ""}},
        {"UnitCommand", {y(1), "reader", "PROG1"}},
        {"UnitCommand", {y(1), "select", ""}},
        {"UnitCommand", {y(1), "select", "../x"}},
        {"UnitCommand", {y(12), "reset", ""}},
    };
    for (const auto& r : refused) {
        const QDBusMessage reply = subNet(r.method, r.arguments);
        EXPECT_EQ(reply.errorName(), kInvalidArgs)
            << r.method << " " << reply.errorMessage().toStdString();
        EXPECT_FALSE(reply.errorMessage().isEmpty());
    }
    // The first thing the units hear of is the memory list asked for now.
    EXPECT_EQ(subNet("MemoryList", {y(1)}).type(), QDBusMessage::ReplyMessage);
    const auto events = line->withUnits([](sim::unit::UnitSimulator& u) { return u.events(); });
    ASSERT_GT(events.size(), before);
    for (std::size_t i = before; i < events.size(); ++i) {
        EXPECT_EQ(events[i].name, "$$$$$DIR") << events[i].describe();
    }
}

TEST_F(BusFailures, ControlErrorsFailTheRequestWithTheControlsText) {
    // A unit that is not connected.
    signals_->lines.clear();
    putFile(3, "PROG1.WTX", kProgram);
    QDBusMessage reply = subNet("SendFile", {y(3), "PROG1.WTX"});
    EXPECT_EQ(reply.errorName(), kRequestFailed);
    EXPECT_EQ(reply.errorMessage().toStdString(),
              "Error while Transferring Command to Ferix (Block could not be Transferred to "
              "Ferix (Ferix is not Connected to DNC Network))");
    EXPECT_EQ(signals_->with("1 Error"), QStringList{"1 Error 1 " + reply.errorMessage()});
    EXPECT_EQ(property(1, "LastError").toString(), reply.errorMessage());

    // A file that is not in the unit directory.
    reply = subNet("SendFile", {y(1), "NOFILE.WTX"});
    EXPECT_EQ(reply.errorName(), kRequestFailed);
    EXPECT_TRUE(
        reply.errorMessage().startsWith("There is no file NOFILE.WTX in the unit "
                                        "directory of unit 1"))
        << reply.errorMessage().toStdString();

    // A memory list of a unit that is not connected.
    reply = subNet("MemoryList", {y(3)});
    EXPECT_EQ(reply.errorName(), kRequestFailed);
    EXPECT_TRUE(reply.errorMessage().contains("Connected")) << reply.errorMessage().toStdString();

    // A unit that is connected but absent.
    reply = subNet("UnitCommand", {y(4), "reset", ""});
    EXPECT_EQ(reply.errorName(), kRequestFailed);

    // The line switched off: the control refuses, and the line comes back.
    reply = subNet("StopCommunication");
    EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    EXPECT_FALSE(property(1, "Active").toBool());
    EXPECT_GE(signals_->lines.indexOf("1 CommunicationChanged 0"), 0);
    putFile(1, "PROG1.WTX", kProgram);
    reply = subNet("SendFile", {y(1), "PROG1.WTX"});
    EXPECT_EQ(reply.errorName(), kRequestFailed);
    EXPECT_EQ(reply.errorMessage().toStdString(),
              "Error while Processing PC Request (Communication is not Activated)");
    reply = subNet("StartCommunication");
    EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    EXPECT_TRUE(property(1, "Active").toBool());
    reply = subNet("SendFile", {y(1), "PROG1.WTX"});
    EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();

    // A sub net that does not run has no object.
    reply = call(path(5), QString::fromLatin1(bus::kSubNetInterface), "MemoryList", {y(1)});
    EXPECT_EQ(reply.errorName(), "org.freedesktop.DBus.Error.UnknownObject");
}

TEST_F(BusQueue, ARequestMadeWhileAnotherRunsWaitsItsTurn) {
    std::string big;
    for (int i = 0; i < 60; ++i) {
        big += "N" + std::to_string(i * 10) + " G1 X" + std::to_string(i) + " Y10 F500\n";
    }
    putFile(1, "BIG.WTX", big);
    putFile(2, "PROG2.WTX", kProgram);
    const QString iface = QString::fromLatin1(bus::kSubNetInterface);
    QStringList finished;
    std::vector<std::unique_ptr<QDBusPendingCallWatcher>> watchers;
    const auto send = [&](const QString& method, const QVariantList& arguments,
                          const QString& tag) {
        watchers.push_back(std::make_unique<QDBusPendingCallWatcher>(
            callAsync(path(1), iface, method, arguments)));
        QObject::connect(
            watchers.back().get(), &QDBusPendingCallWatcher::finished,
            [&finished, tag](QDBusPendingCallWatcher* w) {
                finished << tag + (w->isError() ? " failed: " + w->error().message() : QString());
            });
    };
    send("SendFile", {y(1), "BIG.WTX"}, "send 1");
    send("SendFile", {y(2), "PROG2.WTX"}, "send 2");
    send("MemoryList", {y(1)}, "list 1");
    // While the first runs, the sub net says it is busy.
    ASSERT_TRUE(waitUntil([&] { return !signals_->with("1 TransferRunning 1").isEmpty(); }));
    EXPECT_TRUE(property(1, "Busy").toBool());
    ASSERT_TRUE(waitUntil([&] { return finished.size() == 3; }, std::chrono::seconds(120)));
    EXPECT_EQ(finished, (QStringList{"send 1", "send 2", "list 1"}));
    // Each transfer ran whole before the next began.
    EXPECT_EQ(
        signals_->with("1 TransferRunning"),
        (QStringList{"1 TransferRunning 1 0", "1 TransferRunning 0 0", "1 TransferRunning 1 0",
                     "1 TransferRunning 0 0", "1 TransferRunning 1 1", "1 TransferRunning 0 1"}));
    const auto list = qdbus_cast<bus::MemoryFiles>(
        watchers[2]->reply().arguments().value(3).value<QDBusArgument>());
    ASSERT_EQ(list.size(), 1);
    EXPECT_EQ(list[0].name, "BIG");
    EXPECT_FALSE(property(1, "Busy").toBool());
}

TEST_F(BusQueue, StopTransferEndsARunningSendAndStopEndsWaitingCalls) {
    std::string big;
    for (int i = 0; i < 400; ++i) {
        big += "N" + std::to_string(i * 10) + " G1 X" + std::to_string(i) + " Y10 F500\n";
    }
    putFile(1, "BIG.WTX", big);
    const QString iface = QString::fromLatin1(bus::kSubNetInterface);
    QDBusPendingCallWatcher first(callAsync(path(1), iface, "SendFile", {y(1), "BIG.WTX"}));
    QDBusPendingCallWatcher waiting(callAsync(path(1), iface, "MemoryList", {y(1)}));
    ASSERT_TRUE(waitUntil([&] { return !signals_->with("1 ProgressChanged").isEmpty(); }));
    EXPECT_EQ(subNet("StopTransfer").type(), QDBusMessage::ReplyMessage);
    ASSERT_TRUE(waitUntil([&] { return first.isFinished(); }));
    // A stopped transfer is no transfer done.
    EXPECT_EQ(first.error().name(), kRequestFailed);
    EXPECT_EQ(first.error().message(), "The transfer was stopped");
    EXPECT_GE(signals_->lines.indexOf("1 TransferRunning 0 0"), 0);
    // The unit got the closing block: no program of that name is in its memory.
    EXPECT_TRUE(line->withUnits(
        [](sim::unit::UnitSimulator& u) { return u.unit(1)->memory().find("BIG") == nullptr; }));

    // Stopping the sub net ends every call that still waits.
    QDBusPendingCallWatcher third(callAsync(path(1), iface, "SendFile", {y(1), "BIG.WTX"}));
    QDBusPendingCallWatcher fourth(callAsync(path(1), iface, "MemoryList", {y(2)}));
    ASSERT_TRUE(waitUntil([&] { return !signals_->with("1 TransferRunning 1").isEmpty(); }));
    EXPECT_EQ(manager("Stop", {n(1)}).type(), QDBusMessage::ReplyMessage);
    ASSERT_TRUE(waitUntil([&] { return third.isFinished() && fourth.isFinished(); }));
    EXPECT_EQ(fourth.error().name(), kRequestFailed);
    EXPECT_EQ(fourth.error().message(), "Sub net 1 was closed");
    EXPECT_TRUE(waiting.isFinished());
    EXPECT_GE(signals_->lines.indexOf("SubNetClosed 1"), 0);
}

TEST_F(BusProcesses, TwoProcessesRunSideBySide) {
    sim::PtyPair otherLine;
    sim::PtyPair otherPlain;
    sim::unit::UnitSimulator otherUnits;
    otherUnits.addUnit(1);
    sim::unit::FdUnitLine otherDriver(otherUnits, otherLine.masterFd(),
                                      sim::unit::characterTime(kSpeed, 11));
    otherDriver.preferPromptAnswers(true);
    otherDriver.start();
    std::filesystem::create_directories(dir / "other" / "Ferix1");
    writeSettings(dir / "Other.ini", dir / "other", otherLine, otherPlain, "Hall B");
    auto second = startService(dir / "Other.ini");
    ASSERT_TRUE(second);
    EXPECT_TRUE(second->waitForOutput("org.ferixdnc.DNC is owned by another process",
                                      std::chrono::seconds(10)))
        << second->output();
    const QString secondName =
        QString::fromLatin1(bus::kInstancePrefix) + QString::number(second->pid());

    QDBusConnectionInterface* names = bus.interface();
    const QString firstOwner = names->serviceOwner(instance).value();
    const QString secondOwner = names->serviceOwner(secondName).value();
    EXPECT_NE(firstOwner, secondOwner);
    EXPECT_EQ(names->serviceOwner(QString::fromLatin1(bus::kService)).value(), firstOwner);

    // Each answers for its own network.
    const auto captionOf = [&](const QString& service) {
        const QDBusMessage reply =
            call(QString::fromLatin1(bus::kManagerPath),
                 QString::fromLatin1(bus::kManagerInterface), "SubNets", {}, service);
        return qdbus_cast<bus::SubNetRows>(reply.arguments().value(0).value<QDBusArgument>())
            .value(0)
            .caption;
    };
    EXPECT_EQ(captionOf(instance), "Hall A");
    EXPECT_EQ(captionOf(secondName), "Hall B");
    putFile(1, "PROG1.WTX", kProgram);
    std::ofstream(dir / "other" / "Ferix1" / "PROG9.WTX") << kProgram;
    const QDBusMessage sent = call(path(1), QString::fromLatin1(bus::kSubNetInterface), "SendFile",
                                   {y(1), "PROG9.WTX"}, secondName);
    EXPECT_EQ(sent.type(), QDBusMessage::ReplyMessage) << sent.errorMessage().toStdString();
    EXPECT_TRUE(otherDriver.withUnits(
        [](sim::unit::UnitSimulator& u) { return u.unit(1)->memory().find("PROG9") != nullptr; }));
    EXPECT_TRUE(line->withUnits(
        [](sim::unit::UnitSimulator& u) { return u.unit(1)->memory().find("PROG9") == nullptr; }));

    // When the first ends, the second takes the common name over.
    service->signal(SIGTERM);
    EXPECT_EQ(service->exitCode(std::chrono::seconds(30)), 0);
    EXPECT_NE(service->output().find("[Hall A]: closed, configuration stored"), std::string::npos);
    service.reset();
    EXPECT_TRUE(waitUntil([&] {
        return names->serviceOwner(QString::fromLatin1(bus::kService)).value() == secondOwner;
    }));
    EXPECT_TRUE(
        second->waitForOutput("D-Bus: now owns org.ferixdnc.DNC", std::chrono::seconds(10)));
    second->signal(SIGTERM);
    EXPECT_EQ(second->exitCode(std::chrono::seconds(30)), 0);
    otherDriver.stop();
}

}  // namespace
