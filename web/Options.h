// The command line of ferixdnc-web.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "web/Accounts.h"

namespace web {

inline constexpr int kDefaultPort = 8470;

struct Options {
    std::string store;  // as --history takes it: a postgresql:// URI or an SQLite file
    std::string users;  // the accounts file ("": no one can sign in)
    std::string host = "127.0.0.1";
    int port = kDefaultPort;
    bool publicOverview = false;
    bool allowRemote = false;
    bool secureCookies = false;
    std::uint16_t language = 0;  // 0: English
    // --add-user NAME --role ROLE: writes an account instead of serving.
    std::optional<std::string> addUser;
    Role role = Role::Viewer;
    bool help = false;
};

// nullopt with `error` set when the arguments cannot be read.
std::optional<Options> parseOptions(const std::vector<std::string>& args, std::string& error);
std::string usage();

// Whether `host` is a loopback address (127.0.0.0/8, ::1, localhost).
bool isLoopback(const std::string& host);
// Why the server must not listen on `host`, or nullopt when it may.
std::optional<std::string> listenRefusal(const std::string& host, bool allowRemote);

}  // namespace web
