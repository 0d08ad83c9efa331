#include "web/Options.h"

#include <arpa/inet.h>

#include <charconv>

#include "web/Language.h"

namespace web {

std::string usage() {
    return "Usage: ferixdnc-web --store FILE|URI [--users FILE] [--listen ADDR:PORT]\n"
           "                    [--public-overview] [--allow-remote] [--secure-cookies]\n"
           "                    [--language en|de|cs]\n"
           "       ferixdnc-web --users FILE --add-user NAME [--role viewer|approver]\n"
           "Serves the plant's shared history to browsers and as JSON under /api/v1/ on\n"
           "127.0.0.1:8470 unless --listen says otherwise. --add-user reads the password from\n"
           "standard input.\n";
}

bool isLoopback(const std::string& host) {
    if (host == "localhost") {
        return true;
    }
    in_addr v4{};
    if (inet_pton(AF_INET, host.c_str(), &v4) == 1) {
        return (ntohl(v4.s_addr) >> 24) == 127;
    }
    in6_addr v6{};
    return inet_pton(AF_INET6, host.c_str(), &v6) == 1 && IN6_IS_ADDR_LOOPBACK(&v6);
}

std::optional<std::string> listenRefusal(const std::string& host, bool allowRemote) {
    if (allowRemote || isLoopback(host)) {
        return std::nullopt;
    }
    return "will not listen on " + host +
           ", beyond this computer, without --allow-remote (put a TLS reverse proxy in front)";
}

namespace {

// "ADDR:PORT", "[V6]:PORT" or ":PORT".
bool parseListen(const std::string& text, Options& options, std::string& error) {
    const auto colon = text.rfind(':');
    std::string host = colon == std::string::npos ? text : text.substr(0, colon);
    const std::string port = colon == std::string::npos ? "" : text.substr(colon + 1);
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
        host = host.substr(1, host.size() - 2);
    }
    int number = 0;
    const auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), number);
    if (port.empty() || ec != std::errc() || end != port.data() + port.size() || number < 0 ||
        number > 65535) {
        error = "--listen needs ADDR:PORT, not \"" + text + "\"";
        return false;
    }
    options.host = host.empty() ? "127.0.0.1" : host;
    options.port = number;
    return true;
}

}  // namespace

std::optional<Options> parseOptions(const std::vector<std::string>& args, std::string& error) {
    Options options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        std::string name = arg;
        std::optional<std::string> inlineValue;
        if (const auto eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            name = arg.substr(0, eq);
            inlineValue = arg.substr(eq + 1);
        }
        const auto value = [&]() -> std::optional<std::string> {
            if (inlineValue) {
                return inlineValue;
            }
            if (i + 1 >= args.size()) {
                error = name + " needs a value";
                return std::nullopt;
            }
            return args[++i];
        };
        if (name == "--store" || name == "--history") {
            const auto v = value();
            if (!v) {
                return std::nullopt;
            }
            options.store = *v;
        } else if (name == "--users") {
            const auto v = value();
            if (!v) {
                return std::nullopt;
            }
            options.users = *v;
        } else if (name == "--listen") {
            const auto v = value();
            if (!v || !parseListen(*v, options, error)) {
                return std::nullopt;
            }
        } else if (name == "--language") {
            const auto v = value();
            if (!v) {
                return std::nullopt;
            }
            const auto code = languageCode(*v);
            if (!code || v->size() != 2) {
                error = "--language is en, de or cs";
                return std::nullopt;
            }
            options.language = *code;
        } else if (name == "--add-user") {
            const auto v = value();
            if (!v) {
                return std::nullopt;
            }
            if (!validUserName(*v)) {
                error = "a user name is 1 to 64 letters, digits, '.', '_', '-' or '@'";
                return std::nullopt;
            }
            options.addUser = *v;
        } else if (name == "--role") {
            const auto v = value();
            if (!v) {
                return std::nullopt;
            }
            const auto role = roleFromName(*v);
            if (!role) {
                error = "--role is viewer or approver";
                return std::nullopt;
            }
            options.role = *role;
        } else if (arg == "--public-overview") {
            options.publicOverview = true;
        } else if (arg == "--allow-remote") {
            options.allowRemote = true;
        } else if (arg == "--secure-cookies") {
            options.secureCookies = true;
        } else if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else {
            error = "unknown argument \"" + arg + "\"";
            return std::nullopt;
        }
    }
    if (options.help) {
        return options;
    }
    if (options.addUser && options.users.empty()) {
        error = "--add-user needs --users FILE";
        return std::nullopt;
    }
    if (!options.addUser && options.store.empty()) {
        error = "--store FILE|URI is needed";
        return std::nullopt;
    }
    return options;
}

}  // namespace web
