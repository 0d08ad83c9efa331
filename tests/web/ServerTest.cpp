// The server over a real loopback socket with an SQLite history made by the test: who may see
// what, signing in and out, tokens, the sign-in limit, the listen refusal and a history that
// cannot be read.
#include <gtest/gtest.h>
#include <httplib.h>
#include <unistd.h>

#include <filesystem>
#include <thread>

#include "dnc/history/HistoryStore.h"
#include "web/Server.h"

namespace {

using namespace dnc::history;
using web::Role;

class Served : public ::testing::Test {
protected:
    Served() {
        dir = std::filesystem::temp_directory_path() /
              ("ferix-web-server-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        store = (dir / "history.db").string();
        std::string error;
        EXPECT_TRUE(accounts.set("anna", Role::Approver, "anna-pw", error)) << error;
        EXPECT_TRUE(accounts.set("bert", Role::Viewer, "bert-pw", error)) << error;
    }
    ~Served() override {
        if (server) {
            server->stop();
        }
        if (thread.joinable()) {
            thread.join();
        }
        std::filesystem::remove_all(dir);
    }

    void fill(int transfers, bool revisions = false) {
        const auto writer = openHistoryStore(store, HistoryStore::Access::Write, "hall-a");
        ASSERT_TRUE(writer->ok()) << writer->error();
        for (int i = 0; i < transfers; ++i) {
            TransferRecord r;
            r.time = std::chrono::system_clock::now() - std::chrono::seconds(transfers - i);
            r.subNet = 1;
            r.unit = 1 + i % 3;
            r.name = "P" + std::to_string(i) + ".H";
            r.path = "/srv/dnc/" + r.name;
            r.content = "G01 X" + std::to_string(i) + "\n";
            ASSERT_TRUE(writer->add(prepare(r), false)) << writer->error();
        }
        // A program released, then a change of it held for approval.
        for (const bool held : {false, true}) {
            if (!revisions) {
                break;
            }
            TransferRecord r;
            r.time = std::chrono::system_clock::now();
            r.subNet = 1;
            r.unit = 1;
            r.name = "<b>O1.H";
            r.path = "/srv/dnc/O1.H";
            r.direction = Direction::FromUnit;
            r.content = held ? "G01 X1\nG01 Y2\n" : "G01 X1\nG01 Y1\n";
            r.stored = !held;
            r.held = held;
            ASSERT_TRUE(writer->add(prepare(r), true)) << writer->error();
            if (const auto notice = writer->takeRevisionNotice()) {
                (held ? pendingId : releasedId) = notice->id;
            }
        }
        Heartbeat beat;
        beat.time = std::chrono::system_clock::now();
        beat.subNets = {{1, "Lathes", kSubNetRunning, ""}};
        ASSERT_TRUE(writer->writeHeartbeat(beat)) << writer->error();
    }

    void start(web::Options options = {}) {
        options.store = store;
        options.port = 0;
        server = std::make_unique<web::WebServer>(options, accounts, [this] { return now; });
        std::string error;
        port = server->bind(error);
        ASSERT_GT(port, 0) << error;
        thread = std::thread([this] { server->run(); });
        client = std::make_unique<httplib::Client>("127.0.0.1", port);
        client->set_read_timeout(30, 0);
    }

    // Signs in; the session's cookie header, or "" when refused.
    std::string signIn(const std::string& name, const std::string& password,
                       std::optional<httplib::Result>* out = nullptr) {
        auto res =
            client->Post("/sign-in", httplib::Params{{"name", name}, {"password", password}});
        EXPECT_TRUE(res);
        std::string cookie;
        if (res && res->status == 303) {
            const std::string set = res->get_header_value("Set-Cookie");
            cookie = set.substr(0, set.find(';'));
        }
        if (out != nullptr) {
            *out = std::move(res);
        }
        return cookie;
    }

    // The form token of the signed-in page at `path`.
    std::string csrfOf(const std::string& cookie, const std::string& path = "/") {
        const auto res = client->Get(path.c_str(), {{"Cookie", cookie}});
        EXPECT_TRUE(res);
        const std::string key = "name=\"csrf\" value=\"";
        const auto at = res->body.find(key);
        return at == std::string::npos ? "" : res->body.substr(at + key.size(), 64);
    }

    std::filesystem::path dir;
    std::string store;
    web::Accounts accounts;
    std::chrono::steady_clock::time_point now{std::chrono::hours(1000)};
    std::unique_ptr<web::WebServer> server;
    std::thread thread;
    int port = 0;
    std::unique_ptr<httplib::Client> client;
    std::int64_t releasedId = 0;
    std::int64_t pendingId = 0;
};

TEST_F(Served, WithoutASessionPagesLeadToSignInAndTheApiAnswers401) {
    fill(3);
    start();
    for (const char* path : {"/", "/transfers?name=P1", "/revisions", "/revisions/1"}) {
        const auto res = client->Get(path);
        ASSERT_TRUE(res) << path;
        EXPECT_EQ(res->status, 303) << path;
        // (the client hands the Location back decoded)
        EXPECT_EQ(res->get_header_value("Location"), std::string("/sign-in?next=") + path);
    }
    for (const char* path :
         {"/api/v1/sites", "/api/v1/transfers", "/api/v1/revisions", "/api/v1/revisions/1/diff"}) {
        const auto res = client->Get(path);
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, 401) << path;
        EXPECT_EQ(res->get_header_value("Content-Type"), "application/json");
    }
    const auto form = client->Get("/sign-in");
    ASSERT_TRUE(form);
    EXPECT_EQ(form->status, 200);
    EXPECT_NE(form->body.find("<label for=\"password\">"), std::string::npos);
    // Every answer forbids framing, sniffing and inline script.
    EXPECT_EQ(form->get_header_value("X-Frame-Options"), "DENY");
    EXPECT_EQ(form->get_header_value("X-Content-Type-Options"), "nosniff");
    EXPECT_NE(form->get_header_value("Content-Security-Policy").find("script-src 'self'"),
              std::string::npos);
    EXPECT_EQ(form->get_header_value("Content-Security-Policy").find("unsafe-inline"),
              std::string::npos);
}

TEST_F(Served, APublicOverviewShowsTheSitesToAnyoneButNothingElse) {
    fill(4);
    web::Options options;
    options.publicOverview = true;
    start(options);
    const auto res = client->Get("/", {{"Accept-Language", "cs-CZ,cs;q=0.9"}});
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200) << res->body;
    EXPECT_NE(res->body.find("id=\"sites\""), std::string::npos);
    EXPECT_NE(res->body.find("<html lang=\"cs\">"), std::string::npos);
    EXPECT_NE(res->body.find("hall-a"), std::string::npos);
    EXPECT_NE(res->body.find("<td>4</td>"), std::string::npos) << "transfers today";
    EXPECT_NE(res->body.find("/static/refresh.js"), std::string::npos);
    EXPECT_EQ(client->Get("/transfers")->status, 303);
    EXPECT_EQ(client->Get("/api/v1/sites")->status, 401);
    const auto script = client->Get("/static/refresh.js");
    EXPECT_EQ(script->status, 200);
    EXPECT_EQ(script->get_header_value("Content-Type"), "text/javascript; charset=utf-8");
}

TEST_F(Served, ASignedInViewerReadsEverythingButCannotDecideNorSignOutWithoutItsToken) {
    fill(120);
    start();
    std::optional<httplib::Result> answer;
    const std::string cookie = signIn("bert", "bert-pw", &answer);
    ASSERT_FALSE(cookie.empty());
    const std::string set = (*answer)->get_header_value("Set-Cookie");
    EXPECT_NE(set.find("; HttpOnly"), std::string::npos) << set;
    EXPECT_NE(set.find("; SameSite=Strict"), std::string::npos);
    EXPECT_NE(set.find("; Path=/"), std::string::npos);
    EXPECT_EQ(set.find("Secure"), std::string::npos);
    const httplib::Headers session{{"Cookie", cookie}};

    const auto overview = client->Get("/", session);
    EXPECT_EQ(overview->status, 200);
    EXPECT_NE(overview->body.find("id=\"signed-in-as\">Signed in as bert (viewer)"),
              std::string::npos);

    // Pages of 50, newest first, without gap or overlap; a filter narrows them.
    std::vector<std::string> names;
    for (int page = 1; page <= 3; ++page) {
        const auto res =
            client->Get(("/api/v1/transfers?page=" + std::to_string(page)).c_str(), session);
        ASSERT_EQ(res->status, 200) << res->body;
        EXPECT_NE(res->body.find(page < 3 ? "\"more\": true" : "\"more\": false"),
                  std::string::npos);
        for (auto at = res->body.find("\"name\": \""); at != std::string::npos;
             at = res->body.find("\"name\": \"", at + 1)) {
            names.push_back(res->body.substr(at + 9, res->body.find('"', at + 9) - at - 9));
        }
    }
    ASSERT_EQ(names.size(), 120u);
    EXPECT_EQ(names.front(), "P119.H");
    EXPECT_EQ(names.back(), "P0.H");
    const auto filtered = client->Get("/transfers?unit=2&name=P1", session);
    EXPECT_EQ(filtered->status, 200);
    EXPECT_NE(filtered->body.find("id=\"transfers\""), std::string::npos);
    EXPECT_NE(filtered->body.find("P13.H"), std::string::npos);
    EXPECT_EQ(filtered->body.find("P11.H"), std::string::npos);  // unit 3
    EXPECT_EQ(client->Get("/transfers?from=yesterday", session)->status, 400);
    EXPECT_EQ(client->Get("/api/v1/transfers?subnet=x", session)->status, 400);
    EXPECT_EQ(client->Get("/revisions/999999", session)->status, 404);
    EXPECT_EQ(client->Get("/api/v1/revisions/99999999999999999999/diff", session)->status, 404);

    // Signing out needs the page's token.
    EXPECT_EQ(client->Post("/sign-out", session, httplib::Params{})->status, 403);
    EXPECT_EQ(
        client->Post("/sign-out", session, httplib::Params{{"csrf", std::string(64, '0')}})->status,
        403);
    EXPECT_EQ(client->Get("/transfers", session)->status, 200);
    const std::string token = csrfOf(cookie);
    ASSERT_EQ(token.size(), 64u);
    const auto out = client->Post("/sign-out", session, httplib::Params{{"csrf", token}});
    EXPECT_EQ(out->status, 303);
    EXPECT_EQ(client->Get("/transfers", session)->status, 303);
}

TEST_F(Served, ARevisionShowsBesideTheReleasedVersionAndOnlyApproversGetTheDecision) {
    fill(0, true);
    ASSERT_GT(pendingId, 0);
    start();
    const httplib::Headers viewer{{"Cookie", signIn("bert", "bert-pw")}};
    const httplib::Headers approver{{"Cookie", signIn("anna", "anna-pw")}};
    const auto list = client->Get("/revisions", viewer);
    ASSERT_EQ(list->status, 200);
    EXPECT_NE(list->body.find("id=\"pending\""), std::string::npos);
    EXPECT_NE(list->body.find("href=\"/revisions/" + std::to_string(pendingId) + "\""),
              std::string::npos);
    EXPECT_NE(list->body.find("&lt;b&gt;O1.H"), std::string::npos);

    const std::string path = "/revisions/" + std::to_string(pendingId);
    const auto seen = client->Get(path.c_str(), viewer);
    ASSERT_EQ(seen->status, 200) << seen->body;
    EXPECT_NE(seen->body.find("<table id=\"diff\""), std::string::npos);
    EXPECT_NE(seen->body.find("<tr class=\"changed\"><td>2</td><td class=\"text first\">G01 "
                              "Y1</td><td>2</td><td class=\"text second\">G01 Y2</td>"),
              std::string::npos)
        << seen->body;
    EXPECT_EQ(seen->body.find("id=\"accept\""), std::string::npos);
    const auto decided = client->Get(path.c_str(), approver);
    EXPECT_NE(decided->body.find("id=\"accept\""), std::string::npos);
    EXPECT_NE(decided->body.find("id=\"reject\""), std::string::npos);

    const auto api =
        client->Get(("/api/v1/revisions/" + std::to_string(pendingId) + "/diff").c_str(), viewer);
    ASSERT_EQ(api->status, 200);
    EXPECT_NE(api->body.find("\"released\": {\"id\": " + std::to_string(releasedId)),
              std::string::npos)
        << api->body;
    const auto all = client->Get("/api/v1/revisions", viewer);
    EXPECT_NE(all->body.find("\"state\": \"pending\""), std::string::npos);
}

TEST_F(Served, AnApproversDecisionIsFiledAsARequestTheOwningSiteSettles) {
    fill(0, true);
    start();
    const std::string annaCookie = signIn("anna", "anna-pw");
    const std::string bertCookie = signIn("bert", "bert-pw");
    const httplib::Headers anna{{"Cookie", annaCookie}};
    const httplib::Headers bert{{"Cookie", bertCookie}};
    const std::string page = "/revisions/" + std::to_string(pendingId);
    const std::string accept = page + "/accept";
    const std::string annaToken = csrfOf(annaCookie, page);
    const std::string bertToken = csrfOf(bertCookie, page);

    // Without a session, without the token, or as a viewer: nothing is filed.
    EXPECT_EQ(client->Post(accept.c_str(), httplib::Params{{"csrf", annaToken}})->status, 303);
    EXPECT_EQ(client->Post(accept.c_str(), anna, httplib::Params{})->status, 403);
    EXPECT_EQ(client->Post(accept.c_str(), anna, httplib::Params{{"csrf", bertToken}})->status,
              403);
    EXPECT_EQ(client->Post(accept.c_str(), bert, httplib::Params{{"csrf", bertToken}})->status,
              403);
    {
        const auto reader = openHistoryStore(store, HistoryStore::Access::Read);
        ASSERT_TRUE(reader->requests({}));
        EXPECT_TRUE(reader->requests({})->empty());
    }

    const auto filed = client->Post(accept.c_str(), anna, httplib::Params{{"csrf", annaToken}});
    ASSERT_EQ(filed->status, 303) << filed->body;
    EXPECT_EQ(filed->get_header_value("Location"), page);
    const auto open = client->Get(page.c_str(), anna);
    EXPECT_NE(open->body.find("<span id=\"request-status\">Accept (anna): open: waiting for site "
                              "hall-a</span>"),
              std::string::npos)
        << open->body;
    EXPECT_EQ(open->body.find("id=\"accept\""), std::string::npos);  // one open at a time

    // A second one while the first is open is refused, and says why.
    const auto again =
        client->Post((page + "/reject").c_str(), anna, httplib::Params{{"csrf", annaToken}});
    EXPECT_EQ(again->status, 409);
    EXPECT_NE(again->body.find("open already"), std::string::npos) << again->body;

    std::int64_t requestId = 0;
    {
        const auto site = openHistoryStore(store, HistoryStore::Access::Write, "hall-a");
        const auto requests = site->requests({});
        ASSERT_TRUE(requests && requests->size() == 1u);
        const auto& request = requests->front();
        EXPECT_EQ(request.user, "anna");
        EXPECT_EQ(request.from, "web");
        EXPECT_EQ(request.site, "hall-a");
        EXPECT_EQ(request.action, dnc::revisions::Action::Accept);
        requestId = request.id;
        ASSERT_TRUE(site->settleRequest(requestId, false, "the unit directory is gone", 1));
    }
    const auto failed = client->Get(page.c_str(), bert);
    EXPECT_NE(failed->body.find("failed: the unit directory is gone"), std::string::npos)
        << failed->body;
    const auto list =
        client->Get(("/api/v1/revisions/" + std::to_string(pendingId) + "/diff").c_str(), bert);
    EXPECT_EQ(list->status, 200);
}

TEST_F(Served, WrongPasswordsAreRefusedAndTooManyWaitWithRetryAfter) {
    fill(1);
    start();
    std::optional<httplib::Result> answer;
    EXPECT_TRUE(signIn("anna", "wrong", &answer).empty());
    EXPECT_EQ((*answer)->status, 401);
    EXPECT_TRUE(signIn("nobody", "anna-pw", &answer).empty());
    EXPECT_EQ((*answer)->status, 401);
    for (int i = 0; i < 3; ++i) {
        signIn("anna", "wrong");
    }
    // Five failures from this address: even the right password waits.
    EXPECT_TRUE(signIn("anna", "anna-pw", &answer).empty());
    EXPECT_EQ((*answer)->status, 429);
    EXPECT_EQ((*answer)->get_header_value("Retry-After"), "60");
    now += std::chrono::seconds(61);
    EXPECT_FALSE(signIn("anna", "anna-pw").empty());

    // Behind a TLS proxy the cookie is marked Secure; a way back leads only into this server.
    httplib::Client behindProxy("127.0.0.1", port);
    const auto res = behindProxy.Post(
        "/sign-in", {{"X-Forwarded-Proto", "https"}},
        httplib::Params{{"name", "anna"}, {"password", "anna-pw"}, {"next", "//evil.example/"}});
    ASSERT_TRUE(res);
    EXPECT_NE(res->get_header_value("Set-Cookie").find("; Secure"), std::string::npos);
    EXPECT_EQ(res->get_header_value("Location"), "/");
}

TEST_F(Served, AnAddressBeyondTheLoopbackNeedsAllowRemote) {
    fill(1);
    for (const char* host : {"0.0.0.0", "::", "192.0.2.1"}) {
        web::Options options;
        options.store = store;
        options.host = host;
        options.port = 0;
        web::WebServer refused(options, accounts);
        std::string error;
        EXPECT_EQ(refused.bind(error), -1) << host;
        EXPECT_NE(error.find("--allow-remote"), std::string::npos) << error;
    }
    web::Options options;
    options.store = store;
    options.host = "0.0.0.0";
    options.port = 0;
    options.allowRemote = true;
    web::WebServer allowed(options, accounts);
    std::string error;
    EXPECT_GT(allowed.bind(error), 0) << error;
    EXPECT_TRUE(web::isLoopback("127.0.0.1"));
    EXPECT_TRUE(web::isLoopback("127.1.2.3"));
    EXPECT_TRUE(web::isLoopback("::1"));
    EXPECT_FALSE(web::isLoopback("128.0.0.1"));
    EXPECT_FALSE(web::isLoopback("::ffff:10.0.0.1"));
}

TEST_F(Served, AHistoryThatCannotBeReadGives503AndIsReadAgainOnceBack) {
    start();  // no history file yet
    const std::string cookie = signIn("bert", "bert-pw");
    ASSERT_FALSE(cookie.empty());
    const httplib::Headers session{{"Cookie", cookie}};
    const auto page = client->Get("/transfers", session);
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 503);
    EXPECT_NE(page->body.find("role=\"alert\""), std::string::npos);
    EXPECT_EQ(client->Get("/api/v1/sites", session)->status, 503);
    fill(2);
    EXPECT_EQ(client->Get("/transfers", session)->status, 200);
}

TEST_F(Served, OversizedRequestsAreRefused) {
    fill(1);
    start();
    const auto res =
        client->Post("/sign-in", std::string(64 * 1024, 'x'), "application/x-www-form-urlencoded");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 413);
}

}  // namespace
