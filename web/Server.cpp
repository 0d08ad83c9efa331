#include "web/Server.h"

#include "web/ServerImpl.h"

namespace web {

void WebServer::Impl::routes() {
    server.Get("/static/refresh.js", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(kRefreshScript, "text/javascript; charset=utf-8");
    });
    server.Get("/static/style.css", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(kStyleSheet, "text/css; charset=utf-8");
    });

    const auto overview = [this](const httplib::Request& req, httplib::Response& res, bool api) {
        auto s = session(req);
        if (!s && !(options.publicOverview && !api) && !(s = required(req, res, api))) {
            return;
        }
        const Viewer viewer = viewerOf(req, s);
        withStore(viewer, res, api, [&](HistoryStore& store) {
            Overview data;
            if (!loadOverview(store, data)) {
                return false;
            }
            api ? json(res, 200, sitesJson(data)) : html(res, 200, overviewPage(viewer, data));
            return true;
        });
    };
    server.Get("/", [overview](const httplib::Request& req, httplib::Response& res) {
        overview(req, res, false);
    });
    server.Get("/api/v1/sites", [overview](const httplib::Request& req, httplib::Response& res) {
        overview(req, res, true);
    });

    const auto transfers = [this](const httplib::Request& req, httplib::Response& res, bool api) {
        const auto s = required(req, res, api);
        if (!s) {
            return;
        }
        const Viewer viewer = viewerOf(req, s);
        const TransferQuery query = readTransferQuery(
            [&](const char* key) { return req.get_param_value(key); }, viewer.language);
        if (api && !query.error.empty()) {
            json(res, 400, errorJson(query.error));
            return;
        }
        withStore(viewer, res, api, [&](HistoryStore& store) {
            std::vector<dnc::history::HistoryRow> rows;
            if (query.error.empty()) {
                auto found = store.query(query.filter);
                if (!found) {
                    return false;
                }
                rows = std::move(*found);
            }
            api ? json(res, 200, transfersJson(query, rows))
                : html(res, query.error.empty() ? 200 : 400, transfersPage(viewer, query, rows));
            return true;
        });
    };
    server.Get("/transfers", [transfers](const httplib::Request& req, httplib::Response& res) {
        transfers(req, res, false);
    });
    server.Get("/api/v1/transfers",
               [transfers](const httplib::Request& req, httplib::Response& res) {
                   transfers(req, res, true);
               });

    const auto pending = [this](const httplib::Request& req, httplib::Response& res, bool api) {
        const auto s = required(req, res, api);
        if (!s) {
            return;
        }
        const Viewer viewer = viewerOf(req, s);
        withStore(viewer, res, api, [&](HistoryStore& store) {
            dnc::history::RevisionFilter filter;
            filter.state = dnc::revisions::State::Pending;
            const auto rows = store.revisions(filter);
            if (!rows) {
                return false;
            }
            api ? json(res, 200, revisionsJson(*rows)) : html(res, 200, pendingPage(viewer, *rows));
            return true;
        });
    };
    server.Get("/revisions", [pending](const httplib::Request& req, httplib::Response& res) {
        pending(req, res, false);
    });
    server.Get("/api/v1/revisions", [pending](const httplib::Request& req, httplib::Response& res) {
        pending(req, res, true);
    });

    const auto revision = [this](const httplib::Request& req, httplib::Response& res, bool api) {
        const auto s = required(req, res, api);
        if (!s) {
            return;
        }
        const Viewer viewer = viewerOf(req, s);
        const std::string digits = req.matches[1];
        if (digits.size() > 18) {
            api ? json(res, 404, errorJson(tr(viewer.language, text::kNotFound)))
                : html(res, 404, errorPage(viewer, tr(viewer.language, text::kNotFound)));
            return;
        }
        const std::int64_t id = std::stoll(digits);
        withStore(viewer, res, api, [&](HistoryStore& store) {
            RevisionView view;
            bool found = false;
            if (!loadRevision(store, id, view, found)) {
                return false;
            }
            if (!found) {
                api ? json(res, 404, errorJson(tr(viewer.language, text::kNotFound)))
                    : html(res, 404, errorPage(viewer, tr(viewer.language, text::kNotFound)));
                return true;
            }
            addRequestOf(store, view);
            api ? json(res, 200, diffJson(view)) : html(res, 200, revisionPage(viewer, view));
            return true;
        });
    };
    server.Get(R"(/revisions/(\d+))",
               [revision](const httplib::Request& req, httplib::Response& res) {
                   revision(req, res, false);
               });
    server.Get(R"(/api/v1/revisions/(\d+)/diff)",
               [revision](const httplib::Request& req, httplib::Response& res) {
                   revision(req, res, true);
               });
}

void WebServer::Impl::signInRoutes() {
    server.Get("/sign-in", [this](const httplib::Request& req, httplib::Response& res) {
        const auto s = session(req);
        html(res, 200, signInPage(viewerOf(req, s), "", safeNext(req.get_param_value("next"))));
    });
    server.Post("/sign-in", [this](const httplib::Request& req, httplib::Response& res) {
        const Viewer viewer = viewerOf(req, std::nullopt);
        const std::string name = req.get_param_value("name").substr(0, 64);
        const std::string password = req.get_param_value("password");
        const std::string next = safeNext(req.get_param_value("next"));
        if (const int wait = limit.waitSeconds(req.remote_addr, name); wait > 0) {
            res.set_header("Retry-After", std::to_string(wait));
            html(res, 429,
                 signInPage(viewer, tr(viewer.language, text::kTooMany, {std::to_string(wait)}),
                            next));
            return;
        }
        const auto role = accounts.verify(name, password);
        if (!role) {
            limit.failed(req.remote_addr, name);
            html(res, 401, signInPage(viewer, tr(viewer.language, text::kWrongPassword), next));
            return;
        }
        limit.succeeded(name);
        const Session s = sessions.begin(name, *role);
        const bool secure =
            options.secureCookies || req.get_header_value("X-Forwarded-Proto") == "https";
        res.set_header("Set-Cookie", std::string(kCookie) + "=" + s.id +
                                         "; Path=/; HttpOnly; SameSite=Strict" +
                                         (secure ? "; Secure" : ""));
        res.set_redirect(next, 303);
    });
    server.Post("/sign-out", [this](const httplib::Request& req, httplib::Response& res) {
        const auto s = session(req);
        if (!s) {
            res.set_redirect("/sign-in", 303);
            return;
        }
        if (!Sessions::tokenMatches(*s, req.get_param_value("csrf"))) {
            const Viewer viewer = viewerOf(req, s);
            html(res, 403, errorPage(viewer, tr(viewer.language, text::kStaleForm)));
            return;
        }
        sessions.end(s->id);
        res.set_header("Set-Cookie",
                       std::string(kCookie) + "=; Path=/; HttpOnly; SameSite=Strict; Max-Age=0");
        res.set_redirect("/sign-in", 303);
    });
}

WebServer::WebServer(Options options, Accounts accounts, Clock clock)
    : impl_(std::make_unique<Impl>(std::move(options), std::move(accounts), std::move(clock))) {
    httplib::Server& s = impl_->server;
    s.set_default_headers(securityHeaders());
    s.set_payload_max_length(kMaxBody);
    s.set_read_timeout(10, 0);
    s.set_write_timeout(10, 0);
    s.set_keep_alive_timeout(5);
    s.set_exception_handler(
        [this](const httplib::Request& req, httplib::Response& res, std::exception_ptr) {
            const Viewer viewer = impl_->viewerOf(req, std::nullopt);
            impl_->html(res, 500, errorPage(viewer, tr(viewer.language, text::kError)));
        });
    s.set_error_handler([this](const httplib::Request& req, httplib::Response& res) {
        if (!res.body.empty()) {
            return;
        }
        const Viewer viewer = impl_->viewerOf(req, std::nullopt);
        const int id = res.status == 404 ? text::kNotFound : text::kBadRequest;
        impl_->html(res, res.status, errorPage(viewer, tr(viewer.language, id)));
    });
    impl_->routes();
    impl_->signInRoutes();
    impl_->decisionRoutes();
}

WebServer::~WebServer() {
    stop();
}

int WebServer::bind(std::string& error) {
    if (const auto refusal = listenRefusal(impl_->options.host, impl_->options.allowRemote)) {
        error = *refusal;
        return -1;
    }
    const std::string& host = impl_->options.host;
    if (impl_->options.port == 0) {
        const int port = impl_->server.bind_to_any_port(host);
        if (port <= 0) {
            error = "cannot listen on " + host;
            return -1;
        }
        return port;
    }
    if (!impl_->server.bind_to_port(host, impl_->options.port)) {
        error = "cannot listen on " + host + ":" + std::to_string(impl_->options.port) +
                " (in use, or not an address of this computer)";
        return -1;
    }
    return impl_->options.port;
}

bool WebServer::run() {
    return impl_->server.listen_after_bind();
}

void WebServer::stop() {
    impl_->server.stop();
}

}  // namespace web
