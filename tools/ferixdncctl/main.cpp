// ferixdncctl: drives a running FerixDNC over D-Bus, in the manner of systemctl, and reads its
// program history.
#include <QCoreApplication>
#include <QDBusConnection>
#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "dnc/automation/BusTypes.h"
#include "dnc/history/HistoryCommands.h"
#include "dnc/history/RevisionCommands.h"
#include "dnc/history/SiteCommands.h"
#include "tools/ferixdncctl/Client.h"
#include "tools/ferixdncctl/CtlArguments.h"

namespace {

// history and show-program read the database file: no application object, no bus, so they
// work where no FerixDNC runs and no bus exists. Their statuses match the client's (0 done,
// 1 nothing to show, 2 usage).
int runHistory(const ferixdncctl::CtlArguments& arguments, const std::string& program) {
    std::ostringstream err;
    using Verb = ferixdncctl::CtlArguments::Verb;
    const std::vector<std::string>& words = arguments.historyArguments;
    int status = 0;
    switch (arguments.verb) {
        case Verb::History:
            status = dnc::history::runHistoryCommand(words, std::cout, err);
            break;
        case Verb::Revisions:
            status = dnc::history::runRevisionsCommand(words, std::cout, err);
            break;
        case Verb::Diff:
            status = dnc::history::runDiffCommand(words, std::cout, err);
            break;
        case Verb::Sites:
            status = dnc::history::runSitesCommand(words, std::cout, err);
            break;
        case Verb::ShowRevision:
            status = dnc::history::runShowRevisionCommand(words, std::cout, err);
            break;
        default:
            status = dnc::history::runShowProgramCommand(words, std::cout, err);
            break;
    }
    std::cout.flush();
    if (!err.str().empty()) {
        std::cerr << program << ": " << err.str() << std::flush;
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> words(argv + 1, argv + argc);
    const std::string program = "ferixdncctl";
    const ferixdncctl::ParseResult parsed = ferixdncctl::parseArguments(words);
    if (!parsed.arguments) {
        std::fprintf(stderr, "%s: %s\n\n%s", program.c_str(), parsed.error.c_str(),
                     ferixdncctl::helpText(program).c_str());
        return ferixdncctl::kUsage;
    }
    if (parsed.arguments->verb == ferixdncctl::CtlArguments::Verb::Help) {
        std::fputs(ferixdncctl::helpText(program).c_str(), stdout);
        return ferixdncctl::kDone;
    }
    if (ferixdncctl::readsHistory(*parsed.arguments)) {
        return runHistory(*parsed.arguments, program);
    }
    QCoreApplication application(argc, argv);
    // Before the bus is reached: Qt's D-Bus thread hands answers over as queued values of these
    // types, and one that arrives before they are known cannot be built.
    dnc::bus::registerBusTypes();
    QDBusConnection connection =
        parsed.arguments->systemBus ? QDBusConnection::systemBus() : QDBusConnection::sessionBus();
    ferixdncctl::Client client(*parsed.arguments, connection);
    return client.run();
}
