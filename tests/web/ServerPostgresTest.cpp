// The server over a PostgreSQL history that goes away and comes back: a clear 503 at once while
// it is away, the pages again once it is back, without a restart.
#include <gtest/gtest.h>
#include <httplib.h>

#include <thread>

#include "dnc/history/HistoryStore.h"
#include "tests/history/PostgresServer.h"
#include "web/Server.h"

namespace {

using namespace dnc::history;

TEST(ServerOnPostgres, ALostServerGives503AndItsReturnIsNoticed) {
    REQUIRE_POSTGRES();
    const std::string uri = PostgresServer::instance().freshDatabase();
    {
        const auto writer = openHistoryStore(uri, HistoryStore::Access::Write, "hall-a");
        ASSERT_TRUE(writer->ok()) << writer->error();
        TransferRecord r;
        r.time = std::chrono::system_clock::now();
        r.subNet = 1;
        r.unit = 1;
        r.name = "P1.H";
        r.path = "/srv/dnc/P1.H";
        r.content = "G01\n";
        ASSERT_TRUE(writer->add(prepare(r), false)) << writer->error();
    }
    web::Accounts accounts;
    std::string error;
    ASSERT_TRUE(accounts.set("bert", web::Role::Viewer, "pw", error));
    web::Options options;
    options.store = uri;
    options.port = 0;
    web::WebServer server(options, accounts);
    const int port = server.bind(error);
    ASSERT_GT(port, 0) << error;
    std::thread serving([&] { server.run(); });
    httplib::Client client("127.0.0.1", port);
    client.set_read_timeout(60, 0);
    const auto signIn =
        client.Post("/sign-in", httplib::Params{{"name", "bert"}, {"password", "pw"}});
    ASSERT_TRUE(signIn);
    const std::string set = signIn->get_header_value("Set-Cookie");
    const httplib::Headers session{{"Cookie", set.substr(0, set.find(';'))}};

    const auto before = client.Get("/api/v1/transfers", session);
    ASSERT_TRUE(before);
    EXPECT_EQ(before->status, 200);
    EXPECT_NE(before->body.find("P1.H"), std::string::npos);

    ASSERT_TRUE(PostgresServer::instance().stop());
    const auto away = client.Get("/transfers", session);
    ASSERT_TRUE(away);
    EXPECT_EQ(away->status, 503);
    EXPECT_EQ(away->get_header_value("Retry-After"), "10");
    const auto awayApi = client.Get("/api/v1/transfers", session);
    ASSERT_TRUE(awayApi);
    EXPECT_EQ(awayApi->status, 503);
    EXPECT_NE(awayApi->body.find("\"error\""), std::string::npos);

    ASSERT_TRUE(PostgresServer::instance().restart());
    const auto back = client.Get("/api/v1/transfers", session);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->status, 200) << back->body;
    EXPECT_NE(back->body.find("P1.H"), std::string::npos);

    server.stop();
    serving.join();
}

}  // namespace
