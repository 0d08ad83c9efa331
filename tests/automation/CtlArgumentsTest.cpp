// The command line of ferixdncctl, its exit statuses and its progress bar.
#include <gtest/gtest.h>

#include "tools/ferixdncctl/CtlArguments.h"
#include "tools/ferixdncctl/ExitStatus.h"
#include "tools/ferixdncctl/ProgressBar.h"

namespace c = ferixdncctl;
using Verb = c::CtlArguments::Verb;

namespace {

c::CtlArguments parsed(const std::vector<std::string>& words) {
    const c::ParseResult r = c::parseArguments(words);
    EXPECT_TRUE(r.arguments) << r.error;
    return r.arguments.value_or(c::CtlArguments{});
}

std::string refused(const std::vector<std::string>& words) {
    const c::ParseResult r = c::parseArguments(words);
    EXPECT_FALSE(r.arguments);
    return r.error;
}

}  // namespace

TEST(CtlArguments, EveryCommandWithItsOperands) {
    EXPECT_EQ(parsed({"list"}).verb, Verb::List);
    auto a = parsed({"start", "16"});
    EXPECT_EQ(a.verb, Verb::Start);
    EXPECT_EQ(a.subNet, 16);
    a = parsed({"--json", "receive", "2", "10", "PROG1", "4096"});
    EXPECT_EQ(a.verb, Verb::Receive);
    EXPECT_TRUE(a.json);
    EXPECT_EQ(a.subNet, 2);
    EXPECT_EQ(a.unit, 10);
    EXPECT_EQ(a.name, "PROG1");
    EXPECT_EQ(a.length, 4096);
    a = parsed({"command", "1", "3", "select", "PROG1", "--system"});
    EXPECT_EQ(a.verb, Verb::Command);
    EXPECT_EQ(a.name, "select");
    EXPECT_EQ(a.argument, "PROG1");
    EXPECT_TRUE(a.systemBus);
    a = parsed({"watch"});
    EXPECT_EQ(a.verb, Verb::Watch);
    EXPECT_EQ(a.subNet, 0);
    EXPECT_EQ(parsed({"watch", "4"}).subNet, 4);
    // A name that looks like an option goes after "--".
    EXPECT_EQ(parsed({"send", "1", "1", "--", "-X.WTX"}).name, "-X.WTX");
    EXPECT_EQ(parsed({"--help", "bogus"}).verb, Verb::Help);
    a = parsed({"--instance", "4242", "list"});
    EXPECT_EQ(c::destination(a), "org.ferixdnc.DNC.instance4242");
    EXPECT_EQ(c::destination(parsed({"list"})), "org.ferixdnc.DNC");
}

TEST(CtlArguments, WrongLinesAreRefusedWithTheReason) {
    EXPECT_EQ(refused({}), "a command is missing");
    EXPECT_EQ(refused({"frobnicate"}), "unknown command \"frobnicate\"");
    EXPECT_EQ(refused({"--verbose", "list"}), "unknown option \"--verbose\"");
    EXPECT_EQ(refused({"start"}), "wrong number of operands for \"start\"");
    EXPECT_EQ(refused({"list", "1"}), "wrong number of operands for \"list\"");
    EXPECT_EQ(refused({"send", "1", "1"}), "wrong number of operands for \"send\"");
    EXPECT_EQ(refused({"start", "17"}), "the sub net is a number from 1 to 16, not \"17\"");
    EXPECT_EQ(refused({"start", "1x"}), "the sub net is a number from 1 to 16, not \"1x\"");
    EXPECT_EQ(refused({"memlist", "1", "0"}), "the unit is a number from 1 to 10, not \"0\"");
    EXPECT_EQ(refused({"receive", "1", "1", "P", "3k"}),
              "the length is a number of bytes, not \"3k\"");
    EXPECT_EQ(refused({"receive", "1", "1", "P", "-3"}), "unknown option \"-3\"");
    EXPECT_EQ(refused({"--instance"}), "--instance needs the process identifier of a FerixDNC");
    EXPECT_EQ(refused({"--instance", "me", "list"}),
              "--instance needs a process identifier, not \"me\"");
}

TEST(CtlArguments, TheHistoryCommandsKeepTheirOwnOptions) {
    // Everything after the command goes to the history's parser, which checks it.
    auto a = parsed({"--json", "history", "--subnet", "3", "--name", "-X", "--since=2026-03-04"});
    EXPECT_EQ(a.verb, Verb::History);
    EXPECT_TRUE(c::readsHistory(a));
    EXPECT_EQ(a.historyArguments, (std::vector<std::string>{"--json", "--subnet", "3", "--name",
                                                            "-X", "--since=2026-03-04"}));
    a = parsed({"show-program", "0123abcd", "--history", "/var/lib/ferixdnc/history.db"});
    EXPECT_EQ(a.verb, Verb::ShowProgram);
    EXPECT_EQ(a.historyArguments,
              (std::vector<std::string>{"0123abcd", "--history", "/var/lib/ferixdnc/history.db"}));
    a = parsed({"--json", "sites", "--history", "postgresql://plant/dnc"});
    EXPECT_EQ(a.verb, Verb::Sites);
    EXPECT_TRUE(c::readsHistory(a));
    EXPECT_EQ(a.historyArguments,
              (std::vector<std::string>{"--json", "--history", "postgresql://plant/dnc"}));
    EXPECT_FALSE(c::readsHistory(parsed({"list"})));
    EXPECT_EQ(parsed({"history", "--unit", "2", "--help"}).verb, Verb::Help);
    // A file called "history" is still a name to send.
    EXPECT_EQ(parsed({"send", "1", "1", "history"}).name, "history");

    EXPECT_EQ(refused({"--system", "history"}),
              "history reads the history database, not a FerixDNC: --system and --instance do "
              "not apply (--history FILE names the database)");
    EXPECT_EQ(refused({"--instance", "7", "show-program", "0123abcd"}),
              "show-program reads the history database, not a FerixDNC: --system and "
              "--instance do not apply (--history FILE names the database)");
    EXPECT_EQ(refused({"--json", "show-program", "0123abcd"}),
              "show-program prints the program itself: --json does not apply");
}

TEST(CtlArguments, ExitStatusesFollowTheBusErrors) {
    EXPECT_EQ(c::statusForError("org.freedesktop.DBus.Error.ServiceUnknown"), c::kNotRunning);
    EXPECT_EQ(c::statusForError("org.freedesktop.DBus.Error.NameHasNoOwner"), c::kNotRunning);
    EXPECT_EQ(c::statusForError("org.freedesktop.DBus.Error.NoReply"), c::kNotRunning);
    EXPECT_EQ(c::statusForError("org.freedesktop.DBus.Error.InvalidArgs"), c::kUsage);
    EXPECT_EQ(c::statusForError("org.ferixdnc.DNC.Error.RequestFailed"), c::kFailed);
    EXPECT_EQ(c::statusForError("org.freedesktop.DBus.Error.NotSupported"), c::kFailed);
}

TEST(CtlArguments, TheProgressBarFillsWithThePercentage) {
    EXPECT_EQ(c::progressLine(0, 10), "[..........]   0 %");
    EXPECT_EQ(c::progressLine(45, 10), "[####......]  45 %");
    EXPECT_EQ(c::progressLine(100, 10), "[##########] 100 %");
    EXPECT_EQ(c::progressLine(250, 4), "[####] 100 %");
    EXPECT_EQ(c::progressLine(-1, 4), "[....]   0 %");
}

TEST(CtlArguments, TheHelpSaysWhereTheHistoryIs) {
    const std::string help = c::helpText("ferixdncctl");
    EXPECT_NE(help.find("  history [--subnet N] [--unit U]"), std::string::npos) << help;
    EXPECT_NE(help.find("  show-program SHA256 [--history FILE]"), std::string::npos);
    EXPECT_NE(
        help.find("--history FILE: the database, or postgresql://[USER@]HOST[:PORT]/DATABASE"),
        std::string::npos)
        << help;
    EXPECT_NE(help.find("without it $XDG_STATE_HOME/DNC/history.db,"), std::string::npos);
    EXPECT_NE(help.find("~/.local/state/DNC/history.db"), std::string::npos);
}
