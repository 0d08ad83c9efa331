// The HTTP server of the browser view: pages, the JSON API, signing in and out. Every request
// borrows a store connection of its own; a store that cannot be read gives 503, never a hang.
#pragma once

#include <memory>
#include <string>

#include "web/Accounts.h"
#include "web/Options.h"
#include "web/Sessions.h"

namespace web {

class WebServer {
public:
    // `clock`: the sessions' and the sign-in limit's time (tests step it).
    WebServer(Options options, Accounts accounts, Clock clock = {});
    ~WebServer();
    WebServer(const WebServer&) = delete;
    WebServer& operator=(const WebServer&) = delete;

    // Binds the address of the options (port 0: any free one); the port, or -1 with `error`.
    // Refuses an address beyond the loopback without allowRemote.
    int bind(std::string& error);
    // Serves until stop(); false when the server could not run.
    bool run();
    void stop();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace web
