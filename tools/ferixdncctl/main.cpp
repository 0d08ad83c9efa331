// ferixdncctl: drives a running FerixDNC over D-Bus, in the manner of systemctl.
#include <QCoreApplication>
#include <QDBusConnection>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/ferixdncctl/Client.h"
#include "tools/ferixdncctl/CtlArguments.h"

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
    QCoreApplication application(argc, argv);
    QDBusConnection connection =
        parsed.arguments->systemBus ? QDBusConnection::systemBus() : QDBusConnection::sessionBus();
    ferixdncctl::Client client(*parsed.arguments, connection);
    return client.run();
}
