// What the server's handlers share: the options, accounts, sessions, the sign-in limit and the
// store connections; for the files that add routes. Not for use beyond web/.
#pragma once

#include <httplib.h>

#include <cstring>

#include "dnc/history/IsoTime.h"
#include "localizing/lookup/ResourceStrings.h"
#include "web/Api.h"
#include "web/Html.h"
#include "web/Language.h"
#include "web/Server.h"
#include "web/StorePool.h"
#include "web/Texts.h"
#include "web/pages/Pages.h"

namespace web {

using dnc::history::HistoryStore;

inline constexpr const char* kCookie = "ferixdnc-session";
inline constexpr std::size_t kMaxBody = 16 * 1024;

inline const httplib::Headers& securityHeaders() {
    static const httplib::Headers headers{
        {"Content-Security-Policy",
         "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self'; "
         "form-action 'self'; frame-ancestors 'none'; base-uri 'none'"},
        {"X-Frame-Options", "DENY"},
        {"X-Content-Type-Options", "nosniff"},
        // Not "no-referrer": under it a browser names the origin of its own pages' forms as
        // "null", which the origin check must refuse. Other sites still learn nothing.
        {"Referrer-Policy", "same-origin"},
        {"Cache-Control", "no-store"},
    };
    return headers;
}

// The value of cookie `name` in the request's Cookie header.
inline std::string cookie(const httplib::Request& req, const std::string& name) {
    const std::string header = req.get_header_value("Cookie");
    std::size_t pos = 0;
    while (pos < header.size()) {
        const auto end = std::min(header.find(';', pos), header.size());
        std::string part = header.substr(pos, end - pos);
        while (!part.empty() && part.front() == ' ') {
            part.erase(0, 1);
        }
        if (part.rfind(name + "=", 0) == 0) {
            return part.substr(name.size() + 1);
        }
        pos = end + 1;
    }
    return {};
}

// Where a sign-in may lead back to: a path of this server only.
inline std::string safeNext(const std::string& next) {
    if (next.size() > 1 && next.size() < 512 && next[0] == '/' && next[1] != '/' &&
        next.find('\\') == std::string::npos && next.find_first_of("\r\n") == std::string::npos) {
        return next;
    }
    return "/";
}

// Whether a POST came from a page of another site: browsers name the page's origin on every
// cross-site POST, so one that names another host than the request's is refused (signing in
// included, where no session token exists yet). Clients that send no Origin are not browsers.
inline bool foreignOrigin(const httplib::Request& req) {
    if (!req.has_header("Origin")) {
        return false;
    }
    std::string origin = req.get_header_value("Origin");
    for (const char* scheme : {"http://", "https://"}) {
        if (origin.rfind(scheme, 0) == 0) {
            return origin.substr(std::strlen(scheme)) != req.get_header_value("Host");
        }
    }
    return true;  // "null" and anything else
}

inline std::string midnightToday(std::chrono::system_clock::time_point now) {
    return dnc::history::isoUtc(std::chrono::floor<std::chrono::days>(now));
}

struct WebServer::Impl {
    Impl(Options o, Accounts a, Clock clock)
        : options(std::move(o)),
          accounts(std::move(a)),
          sessions(std::chrono::minutes(30), std::chrono::hours(12), clock),
          limit(5, std::chrono::minutes(1), clock),
          reading(options.store, HistoryStore::Access::Read, "web"),
          writing(options.store, HistoryStore::Access::Write, "web") {}

    Options options;
    Accounts accounts;
    Sessions sessions;
    SignInLimit limit;
    StorePool reading;
    StorePool writing;  // for filing requests only
    httplib::Server server;

    std::uint16_t language(const httplib::Request& req) const {
        return chooseLanguage(req.get_header_value("Accept-Language").substr(0, 512),
                              options.language == 0 ? loc::kEnglish : options.language);
    }

    std::optional<Session> session(const httplib::Request& req) {
        const std::string id = cookie(req, kCookie);
        return id.empty() ? std::nullopt : sessions.find(id);
    }

    Viewer viewerOf(const httplib::Request& req, const std::optional<Session>& s) const {
        Viewer viewer;
        viewer.language = language(req);
        if (s) {
            viewer.user = s->user;
            viewer.role = s->role;
            viewer.csrf = s->csrf;
        }
        return viewer;
    }

    void html(httplib::Response& res, int status, const std::string& page) {
        res.status = status;
        res.set_content(page, "text/html; charset=utf-8");
    }

    void json(httplib::Response& res, int status, const std::string& body) {
        res.status = status;
        res.set_content(body, "application/json");
    }

    // The session, or an answer sent: JSON 401, else a way to the sign-in form.
    std::optional<Session> required(const httplib::Request& req, httplib::Response& res, bool api) {
        auto s = session(req);
        if (s) {
            return s;
        }
        const Viewer viewer = viewerOf(req, std::nullopt);
        if (api) {
            json(res, 401, errorJson(tr(viewer.language, text::kSignInFirst)));
            res.set_header("WWW-Authenticate", "Cookie");
        } else {
            std::string next = req.path;
            if (!req.params.empty() && req.target.find('?') != std::string::npos) {
                next = req.target;
            }
            res.set_redirect("/sign-in?next=" + percentEncoded(next), 303);
        }
        return std::nullopt;
    }

    // Runs `read` with a store; a store that cannot be opened or fails gives 503.
    template <typename F>
    void withStore(const Viewer& viewer, httplib::Response& res, bool api, F read) {
        std::string error;
        auto lease = reading.borrow(error);
        if (lease && read(**lease)) {
            return;
        }
        if (lease) {
            error = (*lease)->error();
            lease->discard();
        }
        const std::string message = tr(viewer.language, text::kStoreAway, {error});
        if (api) {
            json(res, 503, errorJson(message));
        } else {
            html(res, 503, errorPage(viewer, message));
        }
        res.set_header("Retry-After", "10");
    }

    bool loadOverview(HistoryStore& store, Overview& overview) {
        overview.now = std::chrono::system_clock::now();
        auto beats = store.heartbeats();
        auto today = beats ? store.transferCounts(midnightToday(overview.now)) : std::nullopt;
        if (!beats || !today) {
            return false;
        }
        overview.beats = std::move(*beats);
        overview.today = std::move(*today);
        return true;
    }

    // The revision with its released version and their difference; false on a store failure,
    // `found` false when there is no such revision.
    bool loadRevision(HistoryStore& store, std::int64_t id, RevisionView& view, bool& found) {
        auto row = store.revision(id);
        if (!row) {
            found = false;
            return store.error().rfind("there is no revision", 0) == 0;
        }
        found = true;
        view.revision = *row;
        dnc::history::RevisionFilter filter;
        filter.subNet = row->subNet;
        filter.unit = row->unit;
        filter.name = row->name;
        filter.site = row->site;
        filter.state = dnc::revisions::State::Released;
        const auto released = store.revisions(filter);
        if (!released) {
            return false;
        }
        std::string before;
        if (!released->empty() && released->front().id != id) {
            view.released = released->front();
            const auto content = store.program(view.released->sha256);
            before = content.value_or("");
        }
        const auto after = row->sha256.empty() ? std::nullopt : store.program(row->sha256);
        view.contentKept = after.has_value();
        view.diff = dnc::revisions::compare(before, after.value_or(""));
        return true;
    }

    void routes();
    void signInRoutes();
    // Accept and reject, filed as requests the owning site carries out.
    void decisionRoutes();
    // The last request filed for the revision, if any.
    void addRequestOf(dnc::history::HistoryStore& store, RevisionView& view);
    // A store to file a request with.
    std::optional<StorePool::Lease> writer(std::string& error);
};

}  // namespace web
