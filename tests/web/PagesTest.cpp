// The pages and JSON documents as pure functions: hostile names from the field arrive escaped,
// the language follows the browser, the filters are checked and pages link to their
// neighbours.
#include <gtest/gtest.h>

#include "localizing/lookup/ResourceStrings.h"
#include "web/Api.h"
#include "web/Html.h"
#include "web/Language.h"
#include "web/pages/Pages.h"

namespace {

using namespace dnc::history;
using web::Overview;
using web::Viewer;

const std::string kHostile = "<script>alert('x')</script>\"&";

Viewer english() {
    Viewer v;
    v.language = loc::kEnglish;
    return v;
}

std::function<std::string(const char*)> params(std::map<std::string, std::string> values) {
    return [values](const char* key) {
        const auto it = values.find(key);
        return it == values.end() ? std::string() : it->second;
    };
}

void expectNoRawHostile(const std::string& page) {
    EXPECT_EQ(page.find("<script>alert"), std::string::npos) << page;
    EXPECT_EQ(page.find("'x'"), std::string::npos);
    EXPECT_NE(page.find("&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt;&quot;&amp;"),
              std::string::npos);
}

TEST(Escaping, EveryValueFromTheStoreArrivesAsText) {
    EXPECT_EQ(web::escape(kHostile), "&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt;&quot;&amp;");
    // Control characters go; bytes of an 8-bit code page become their Latin-1 letters.
    EXPECT_EQ(web::escape("a\x1b[2Jb\r\n"), "a?[2Jb??");
    EXPECT_EQ(web::escape("Gr\xFC"
                          "n \xC3\xBC"),
              "Gr\xC3\xBCn \xC3\xBC");

    Overview overview;
    overview.now = std::chrono::system_clock::now();
    Heartbeat beat;
    beat.site = kHostile;
    beat.time = overview.now;
    beat.subNets = {{1, kHostile, kHostile, kHostile}};
    overview.beats = {beat};
    const std::string page = web::overviewPage(english(), overview);
    expectNoRawHostile(page);
    // The state's class is a fixed word, whatever the beat said.
    EXPECT_NE(page.find("<td class=\"silent\">"), std::string::npos);

    HistoryRow row;
    row.site = row.name = row.caption = row.user = row.error = row.time = kHostile;
    web::TransferQuery query = web::readTransferQuery(params({{"name", kHostile}}), loc::kEnglish);
    expectNoRawHostile(web::transfersPage(english(), query, {row}));

    web::RevisionView view;
    view.revision.name = view.revision.site = view.revision.user = kHostile;
    view.diff = dnc::revisions::compare("G01 X1\n", "G01 X1\n" + kHostile + "\n");
    web::Viewer approver = english();
    approver.user = kHostile;
    approver.role = web::Role::Approver;
    approver.csrf = "\"><b>";
    const std::string revision = web::revisionPage(approver, view);
    expectNoRawHostile(revision);
    EXPECT_EQ(revision.find("\"><b>"), std::string::npos);
    expectNoRawHostile(web::pendingPage(english(), {view.revision}));
    expectNoRawHostile(web::errorPage(english(), kHostile));
    // Only a path of this server is a way back after signing in; and it is escaped too.
    expectNoRawHostile(web::signInPage(english(), kHostile, "/" + kHostile));
}

TEST(Language, TheBrowsersFirstLanguageWeHaveWinsByItsWeight) {
    EXPECT_EQ(web::chooseLanguage("de-DE,de;q=0.9,en;q=0.8", loc::kEnglish), loc::kGerman);
    EXPECT_EQ(web::chooseLanguage("fr-FR, cs;q=0.5, de;q=0.4", loc::kEnglish), loc::kCzech);
    EXPECT_EQ(web::chooseLanguage("en;q=0.2, CS-cz", loc::kGerman), loc::kCzech);
    EXPECT_EQ(web::chooseLanguage("fr, it", loc::kGerman), loc::kGerman);
    EXPECT_EQ(web::chooseLanguage("", loc::kCzech), loc::kCzech);
    EXPECT_EQ(web::chooseLanguage("de;q=0, en;q=0.1", loc::kCzech), loc::kEnglish);
    EXPECT_EQ(web::chooseLanguage("de;q=bogus, en;q=2", loc::kCzech), loc::kCzech);
    EXPECT_EQ(web::chooseLanguage("de;q=0.5, cs;q=0.5", loc::kEnglish), loc::kGerman);

    Viewer german = english();
    german.language = loc::kGerman;
    const std::string page = web::pendingPage(german, {});
    EXPECT_NE(page.find("<html lang=\"de\">"), std::string::npos);
    EXPECT_NE(page.find("Offene Revisionen"), std::string::npos) << page;
    Viewer czech = english();
    czech.language = loc::kCzech;
    EXPECT_NE(web::pendingPage(czech, {}).find("Čekající revize"), std::string::npos);

    // Where a revision came from is a word of the page's language, not the store's own.
    web::RevisionView view;
    view.revision.name = "P1.H";
    view.revision.source = dnc::revisions::Source::Operator;
    view.diff = dnc::revisions::compare("", "G01 X1\n");
    const std::string revision = web::revisionPage(german, view);
    EXPECT_NE(revision.find("<dd>Bediener</dd>"), std::string::npos) << revision;
    view.revision.source = dnc::revisions::Source::Unit;
    EXPECT_NE(web::pendingPage(czech, {view.revision}).find("<td>jednotka</td>"),
              std::string::npos);
}

TEST(TransferFilters, AreCheckedAndTurnedIntoAPageOfTheStore) {
    const auto q = web::readTransferQuery(params({{"site", "hall-a"},
                                                  {"subnet", "2"},
                                                  {"unit", "7"},
                                                  {"name", "P1"},
                                                  {"from", "2026-03-04"},
                                                  {"to", "2026-03-05"},
                                                  {"page", "3"}}),
                                          loc::kEnglish);
    EXPECT_TRUE(q.error.empty()) << q.error;
    EXPECT_EQ(q.filter.site, "hall-a");
    EXPECT_EQ(q.filter.subNet, 2);
    EXPECT_EQ(q.filter.unit, 7);
    EXPECT_EQ(q.filter.nameContains, "P1");
    EXPECT_EQ(q.filter.since, "2026-03-04T00:00:00.000Z");
    EXPECT_EQ(q.filter.until, "2026-03-05T23:59:59.999Z");
    EXPECT_EQ(q.filter.offset, 2 * web::kPageRows);
    EXPECT_EQ(q.filter.limit, web::kPageRows + 1);

    for (const auto& [key, value] :
         std::vector<std::pair<std::string, std::string>>{{"subnet", "x"},
                                                          {"unit", "-1"},
                                                          {"from", "yesterday"},
                                                          {"to", "2026-02-30"},
                                                          {"page", "0"},
                                                          {"page", "99999999999"}}) {
        const auto bad = web::readTransferQuery(params({{key, value}}), loc::kEnglish);
        EXPECT_NE(bad.error.find(value), std::string::npos) << key << "=" << value;
    }
}

TEST(TransferPages, LinkToTheirNeighboursKeepingTheFilter) {
    std::vector<HistoryRow> rows(web::kPageRows + 1);
    auto q = web::readTransferQuery(params({{"name", "a b&c"}, {"page", "2"}}), loc::kEnglish);
    const std::string page = web::transfersPage(english(), q, rows);
    EXPECT_NE(page.find("href=\"/transfers?name=a%20b%26c&amp;page=3\""), std::string::npos)
        << page;
    EXPECT_NE(page.find("href=\"/transfers?name=a%20b%26c\""), std::string::npos);
    // Fifty rows shown, the fifty-first only says that more follow.
    std::size_t count = 0;
    for (auto at = page.find("<tr><td>"); at != std::string::npos;
         at = page.find("<tr><td>", at + 1)) {
        ++count;
    }
    EXPECT_EQ(count, static_cast<std::size_t>(web::kPageRows));
    rows.resize(3);
    q.page = 1;
    const std::string last = web::transfersPage(english(), q, rows);
    EXPECT_EQ(last.find("rel=\"next\""), std::string::npos);
    EXPECT_EQ(last.find("rel=\"prev\""), std::string::npos);
}

TEST(Api, DocumentsHaveTheirDocumentedShape) {
    Overview overview;
    overview.now = std::chrono::system_clock::time_point(std::chrono::seconds(1'780'000'100));
    Heartbeat beat;
    beat.site = "hall-a";
    beat.time = std::chrono::system_clock::time_point(std::chrono::seconds(1'780'000'000));
    beat.pending = 2;
    beat.subNets = {{1, "Lathes", kSubNetRunning, ""}};
    overview.beats = {beat};
    overview.today = {{"hall-a", 17}};
    EXPECT_EQ(
        web::sitesJson(overview),
        "{\"time\": \"2026-05-28T20:28:20.000Z\", \"sites\": [\n"
        "  {\"site\": \"hall-a\", \"lastHeartbeat\": \"2026-05-28T20:26:40.000Z\", "
        "\"silent\": true, \"pending\": 2, \"transfersToday\": 17, \"subnets\": "
        "[{\"subnet\": 1, \"caption\": \"Lathes\", \"state\": \"silent\", \"error\": \"\"}]}\n"
        "]}\n");

    HistoryRow row;
    row.id = 5;
    row.time = "2026-03-04T05:06:07.000Z";
    row.site = "hall-a";
    row.subNet = 1;
    row.unit = 2;
    row.name = "P\xFC.H";
    row.size = 8;
    const auto q = web::readTransferQuery(params({}), loc::kEnglish);
    EXPECT_EQ(web::transfersJson(q, {row}),
              "{\"page\": 1, \"pageSize\": 50, \"more\": false, \"transfers\": [\n"
              "  {\"id\": 5, \"time\": \"2026-03-04T05:06:07.000Z\", \"site\": \"hall-a\", "
              "\"subnet\": 1, \"caption\": \"\", \"unit\": 2, \"direction\": \"to-unit\", "
              "\"startedBy\": \"unit\", \"user\": \"\", \"name\": \"P\\u00fc.H\", \"size\": 8, "
              "\"sha256\": null, \"outcome\": \"done\", \"error\": \"\"}\n]}\n");

    web::RevisionView view;
    view.revision.id = 9;
    view.diff = dnc::revisions::compare("A\nB\n", "A\nC\n");
    const std::string diff = web::diffJson(view);
    EXPECT_NE(diff.find("\"released\": null"), std::string::npos) << diff;
    EXPECT_NE(diff.find("\"linesChanged\": 2"), std::string::npos);
    EXPECT_NE(diff.find("{\"kind\": \"changed\", \"first\": 2, \"firstText\": \"B\", "
                        "\"second\": 2, \"secondText\": \"C\", \"endChanged\": false}"),
              std::string::npos)
        << diff;
    EXPECT_EQ(web::revisionsJson({}), "{\"revisions\": []}\n");
}

}  // namespace
