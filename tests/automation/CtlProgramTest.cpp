// ferixdncctl as a script uses it: against the headless service on the test's bus.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "tests/automation/BusFixture.h"

namespace {

using BusClient = BusTest;

struct CtlRun {
    int status;
    std::string output;
};

CtlRun ctl(std::vector<std::string> arguments) {
    ChildProgram program(FERIXDNCCTL_PROGRAM, std::move(arguments));
    const int status = program.exitCode(std::chrono::seconds(120));
    return {status, program.output()};
}

QJsonDocument parseJson(const std::string& text) {
    return QJsonDocument::fromJson(QByteArray::fromStdString(text));
}

TEST_F(BusClient, AScriptDrivesTheNetworkAlone) {
    CtlRun r = ctl({"--json", "list"});
    ASSERT_EQ(r.status, 0) << r.output;
    const QJsonArray rows = parseJson(r.output).array();
    ASSERT_EQ(rows.size(), 16) << r.output;
    EXPECT_EQ(rows[0].toObject()["caption"].toString(), "Hall A");
    EXPECT_TRUE(rows[0].toObject()["running"].toBool());
    EXPECT_FALSE(rows[1].toObject()["running"].toBool());

    r = ctl({"list"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.output.find("      1  Hall A                    yes      yes"), std::string::npos)
        << r.output;

    putFile(1, "PROG1.WTX", "%\nN10 G0 X0\nN20 M30\n%\n");
    r = ctl({"send", "1", "1", "PROG1.WTX"});
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(r.output, "PROG1.WTX sent to unit 1\n");

    r = ctl({"--json", "memlist", "1", "1"});
    ASSERT_EQ(r.status, 0) << r.output;
    const QJsonObject list = parseJson(r.output).object();
    EXPECT_EQ(list["count"].toInt(), 1) << r.output;
    EXPECT_EQ(list["section"].toInt(), 1);
    EXPECT_EQ(list["files"].toArray()[0].toObject()["name"].toString(), "PROG1");
    EXPECT_EQ(list["files"].toArray()[0].toObject()["size"].toInt(), 22);

    r = ctl({"memlist", "1", "1"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.output.find("Unit 1: 1 program(s)"), std::string::npos) << r.output;

    r = ctl({"receive", "1", "1", "PROG1"});
    EXPECT_EQ(r.status, 0) << r.output << unitHistory();
    EXPECT_EQ(readFile(1, "PROG1.WTX"), "%\nN10 G0 X0\nN20 M30\n%\n");
    r = ctl({"command", "1", "1", "select", "PROG1"});
    EXPECT_EQ(r.status, 0) << r.output << unitHistory();
    r = ctl({"--json", "remove", "1", "1", "PROG1"});
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_TRUE(parseJson(r.output).object()["done"].toBool()) << r.output;
    // A unit refuses to select what it no longer holds: the request fails.
    r = ctl({"command", "1", "1", "select", "PROG1"});
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_EQ(r.output,
              "ferixdncctl: Error while Transferring Command to Ferix (Block could not "
              "be Transferred to Ferix)\n");

    r = ctl({"start", "2"});
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(r.output, "Sub net 2 started.\n");
    r = ctl({"hide", "2"});
    EXPECT_EQ(r.status, 0) << r.output;
    r = ctl({"stop", "2"});
    EXPECT_EQ(r.status, 0) << r.output;
    r = ctl({"stop", "1"});
    EXPECT_EQ(r.status, 0) << r.output;
    r = ctl({"--json", "list"});
    EXPECT_FALSE(parseJson(r.output).array()[0].toObject()["running"].toBool());
}

TEST_F(BusClient, ExitStatusesTellWhatWentWrong) {
    // 1: the control's own text on standard error.
    putFile(3, "PROG1.WTX", "%\n%\n");
    CtlRun r = ctl({"send", "1", "3", "PROG1.WTX"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.output,
              "ferixdncctl: Error while Transferring Command to Ferix (Block could not be "
              "Transferred to Ferix (Ferix is not Connected to DNC Network))\n");
    r = ctl({"memlist", "5", "1"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.output, "ferixdncctl: sub net 5 is not running\n");
    r = ctl({"show", "1"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("has none to show"), std::string::npos) << r.output;

    // 2: the line, or arguments the service refused.
    for (const std::vector<std::string>& wrong : {std::vector<std::string>{},
                                                  {"frobnicate"},
                                                  {"send", "1", "11", "X.WTX"},
                                                  {"start", "0"},
                                                  {"command", "1", "1"}}) {
        r = ctl(wrong);
        EXPECT_EQ(r.status, 2) << r.output;
        EXPECT_NE(r.output.find("Usage: ferixdncctl"), std::string::npos);
    }
    r = ctl({"send", "1", "1", "../x.WTX"});
    EXPECT_EQ(r.status, 2) << r.output;
    EXPECT_EQ(r.output, "ferixdncctl: \"../x.WTX\" is a path, not a plain file name\n");
    r = ctl({"command", "1", "1", "format"});
    EXPECT_EQ(r.status, 2) << r.output;

    // 3: nobody there.
    r = ctl({"--instance", "1", "list"});
    EXPECT_EQ(r.status, 3) << r.output;
    EXPECT_EQ(r.output,
              "ferixdncctl: no FerixDNC running (nobody owns org.ferixdnc.DNC.instance1)\n");

    r = ctl({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.output.find("Exit status: 0 done"), std::string::npos);
}

TEST_F(BusClient, WatchPrintsTheEventsAsLines) {
    ChildProgram watch(FERIXDNCCTL_PROGRAM, {"--json", "watch", "1"});
    ASSERT_TRUE(watch.waitForOutput("\"signal\":\"Watching\"", std::chrono::seconds(20)));
    putFile(1, "PROG1.WTX", "%\nN10 G0 X0\nN20 M30\n%\n");
    EXPECT_EQ(ctl({"send", "1", "1", "PROG1.WTX"}).status, 0);
    ASSERT_TRUE(watch.waitForOutput("\"signal\":\"MemoryChanged\"", std::chrono::seconds(20)))
        << watch.output();
    watch.signal(SIGINT);
    EXPECT_EQ(watch.exitCode(std::chrono::seconds(20)), 0);
    QStringList signalsSeen;
    for (const QByteArray& l : QByteArray::fromStdString(watch.output()).split('\n')) {
        const QJsonObject o = QJsonDocument::fromJson(l).object();
        if (!o.isEmpty() && o["signal"].toString() != "Watching") {
            EXPECT_EQ(o["subnet"].toInt(), 1) << l.toStdString();
            signalsSeen << o["signal"].toString();
        }
    }
    const int started = signalsSeen.indexOf("TransferRunning");
    ASSERT_GE(started, 0) << watch.output();
    EXPECT_LT(started, signalsSeen.lastIndexOf("ProgressChanged"));
    EXPECT_LT(signalsSeen.lastIndexOf("ProgressChanged"), signalsSeen.lastIndexOf("MemoryChanged"));

    // Plain text, and the end of the service ends it with status 3.
    ChildProgram plain(FERIXDNCCTL_PROGRAM, {"watch"});
    ASSERT_TRUE(plain.waitForOutput("Watching every sub net", std::chrono::seconds(20)));
    EXPECT_EQ(ctl({"start", "2"}).status, 0);
    ASSERT_TRUE(plain.waitForOutput("sub net 2: started", std::chrono::seconds(20)))
        << plain.output();
    service->signal(SIGTERM);
    EXPECT_EQ(service->exitCode(std::chrono::seconds(30)), 0);
    service.reset();
    EXPECT_EQ(plain.exitCode(std::chrono::seconds(20)), 3) << plain.output();
    EXPECT_NE(plain.output().find("sub net 1: closed"), std::string::npos) << plain.output();
    EXPECT_NE(plain.output().find("ferixdncctl: FerixDNC has ended"), std::string::npos);
}

}  // namespace
