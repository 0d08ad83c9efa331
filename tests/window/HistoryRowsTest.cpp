// The History view's rules without a window: the query it makes, the texts of its rows and
// the read-only copies of kept programs.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "dnc/window/rules/HistoryRows.h"
#include "localizing/lookup/ResourceStrings.h"

namespace fs = std::filesystem;
using namespace dnc::window;
using dnc::history::HistoryRow;

namespace {

std::string english(int id) {
    return loc::resString(id, loc::kEnglish);
}
std::string german(int id) {
    return loc::resString(id, loc::kGerman);
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Runs with the process's time zone set to `zone` (a POSIX TZ text, no zone files needed).
class TimeZone {
public:
    explicit TimeZone(const char* zone) {
        if (const char* old = std::getenv("TZ")) {
            old_ = old;
        }
        setenv("TZ", zone, 1);
        tzset();
    }
    ~TimeZone() {
        if (old_.empty()) {
            unsetenv("TZ");
        } else {
            setenv("TZ", old_.c_str(), 1);
        }
        tzset();
    }

private:
    std::string old_;
};

HistoryRow sampleRow() {
    HistoryRow row;
    row.time = "2026-07-01T10:15:30.250Z";
    row.subNet = 1;
    row.unit = 3;
    row.direction = dnc::history::Direction::FromUnit;
    row.startedBy = dnc::history::StartedBy::Operator;
    row.user = "anna";
    row.name = "SHAFT.WTX";
    row.size = 1234;
    row.sha256 = std::string(64, 'a').replace(0, 4, "0f3c");
    row.outcome = dnc::history::Outcome::Failed;
    row.error = "the unit did not answer";
    return row;
}

}  // namespace

TEST(HistoryViewFilter, TheSelectedUnitUnlessAllOrNoneAndAlwaysBounded) {
    auto filter = historyViewFilter(4, 2, false, "  shaft ");
    EXPECT_EQ(filter.subNet, 4);
    EXPECT_EQ(filter.unit, 2);
    EXPECT_EQ(filter.nameContains, "shaft");  // blanks typed around the name do not count
    EXPECT_EQ(filter.limit, kHistoryViewLimit);
    EXPECT_GT(filter.limit, 0);  // a large history never comes whole

    filter = historyViewFilter(4, 2, true, "");
    EXPECT_FALSE(filter.unit.has_value());
    EXPECT_TRUE(filter.nameContains.empty());

    filter = historyViewFilter(4, 0, false, " \t ");  // no unit selected: every unit
    EXPECT_FALSE(filter.unit.has_value());
    EXPECT_TRUE(filter.nameContains.empty());
    EXPECT_TRUE(filter.since.empty());
    EXPECT_TRUE(filter.until.empty());
    EXPECT_TRUE(filter.site.empty());
    EXPECT_EQ(historyViewFilter(4, 2, false, "", "Hall A").site, "Hall A");
}

TEST(HistoryRowTexts, LocalTimeFromTheStoredUtc) {
    {
        const TimeZone berlin("CET-1CEST,M3.5.0,M10.5.0/3");
        EXPECT_EQ(localTimeText("2026-07-01T10:15:30.250Z"), "2026-07-01 12:15:30");  // summer
        EXPECT_EQ(localTimeText("2026-01-01T23:30:00.000Z"), "2026-01-02 00:30:00");  // next day
    }
    {
        const TimeZone utc("UTC0");
        EXPECT_EQ(localTimeText("2026-03-04T05:06:07.089Z"), "2026-03-04 05:06:07");
    }
    // A text that is no stored time is shown as it stands rather than as a wrong time.
    EXPECT_EQ(localTimeText("yesterday"), "yesterday");
    EXPECT_EQ(localTimeText(""), "");
    EXPECT_EQ(localTimeText("2026-03-04"), "2026-03-04");
}

TEST(HistoryRowTexts, EveryColumnInTheProgramsLanguage) {
    const TimeZone utc("UTC0");
    const auto texts = historyRowTexts(sampleRow(), english);
    EXPECT_EQ(texts[static_cast<int>(HistoryColumn::Time)], "2026-07-01 10:15:30");
    EXPECT_EQ(texts[static_cast<int>(HistoryColumn::Unit)], "3");
    EXPECT_EQ(texts[static_cast<int>(HistoryColumn::Direction)], "from the unit");
    EXPECT_EQ(texts[static_cast<int>(HistoryColumn::StartedBy)], "operator");
    EXPECT_EQ(texts[static_cast<int>(HistoryColumn::User)], "anna");
    EXPECT_EQ(texts[static_cast<int>(HistoryColumn::Name)], "SHAFT.WTX");
    EXPECT_EQ(texts[static_cast<int>(HistoryColumn::Size)], "1234");
    EXPECT_EQ(texts[static_cast<int>(HistoryColumn::Outcome)], "failed");
    EXPECT_EQ(texts[static_cast<int>(HistoryColumn::Error)], "the unit did not answer");
    EXPECT_EQ(texts[static_cast<int>(HistoryColumn::Sha256)], "0f3caaaaaaaa");

    // A transfer that ended before any program bytes has neither size nor hash.
    HistoryRow empty = sampleRow();
    empty.size.reset();
    empty.sha256.reset();
    const auto none = historyRowTexts(empty, german);
    EXPECT_EQ(none[static_cast<int>(HistoryColumn::Size)], "");
    EXPECT_EQ(none[static_cast<int>(HistoryColumn::Sha256)], "");
    EXPECT_EQ(none[static_cast<int>(HistoryColumn::Direction)], "von der Einheit");
    EXPECT_EQ(none[static_cast<int>(HistoryColumn::Outcome)], "fehlgeschlagen");
}

TEST(HistoryRowTexts, EveryValueHasItsOwnTextInEachLanguage) {
    using namespace dnc::history;
    for (const auto lookup :
         {english, german, +[](int id) { return loc::resString(id, loc::kCzech); }}) {
        std::set<std::string> seen;
        for (Direction d :
             {Direction::ToUnit, Direction::FromUnit, Direction::Include, Direction::Exclude}) {
            seen.insert(directionText(d, lookup));
        }
        EXPECT_EQ(seen.size(), 4u);
        seen.clear();
        for (StartedBy b : {StartedBy::Unit, StartedBy::Operator, StartedBy::Window}) {
            seen.insert(startedByText(b, lookup));
        }
        EXPECT_EQ(seen.size(), 3u);
        seen.clear();
        for (Outcome o : {Outcome::Done, Outcome::Failed, Outcome::Stopped}) {
            seen.insert(outcomeText(o, lookup));
        }
        EXPECT_EQ(seen.size(), 3u);
        EXPECT_FALSE(seen.count(""));
    }
}

TEST(HistoryRowTexts, TheCountSaysWhenTheLimitCutTheList) {
    EXPECT_EQ(historyCountText(3, english), "3 transfers");
    EXPECT_EQ(historyCountText(kHistoryViewLimit, english),
              "The newest " + std::to_string(kHistoryViewLimit) +
                  " transfers are shown; search for a name to see older ones.");
}

TEST(KeptCopies, TheNameStaysInsideTheCopiesFolder) {
    HistoryRow row = sampleRow();
    EXPECT_EQ(keptCopyName(row), "0f3caaaaaaaa-SHAFT.WTX");
    row.name = "../../etc/passwd";
    EXPECT_EQ(keptCopyName(row), "0f3caaaaaaaa-passwd");
    row.name = "C:\\NC\\..\\O1000";
    EXPECT_EQ(keptCopyName(row), "0f3caaaaaaaa-O1000");
    row.name = "..";
    EXPECT_EQ(keptCopyName(row), "0f3caaaaaaaa");
    row.name = ".hidden";
    EXPECT_EQ(keptCopyName(row), "0f3caaaaaaaa-hidden");
    row.name = std::string("A\nB\x01", 4);
    EXPECT_EQ(keptCopyName(row), "0f3caaaaaaaa-A_B_");
}

class KeptCopyFolder : public ::testing::Test {
protected:
    KeptCopyFolder()
        : dir(fs::temp_directory_path() /
              ("ferix-kept-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name())) {
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    ~KeptCopyFolder() override {
        std::error_code ec;
        fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(dir);
    }
    fs::path dir;
};

TEST_F(KeptCopyFolder, ACopyIsReadOnlyAndAnEarlierOneIsReplacedWhole) {
    const fs::path copies = dir / "copies";
    ASSERT_EQ(writeReadOnlyCopy(copies, "P1", "first"), "");
    EXPECT_EQ(readFile(copies / "P1"), "first");
    EXPECT_EQ(fs::status(copies / "P1").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    // The folder is this user's alone: others must not read the programs.
    EXPECT_EQ(fs::status(copies).permissions() & fs::perms::all, fs::perms::owner_all);

    ASSERT_EQ(writeReadOnlyCopy(copies, "P1", "second, longer"), "");
    EXPECT_EQ(readFile(copies / "P1"), "second, longer");
    int files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(copies)) {
        ++files;  // no part file is left behind
    }
    EXPECT_EQ(files, 1);
}

TEST_F(KeptCopyFolder, AFolderThatCannotBeUsedIsNamedAndNothingIsWritten) {
    // A link planted in the place of the folder is not followed.
    fs::create_directories(dir / "elsewhere");
    fs::create_directory_symlink(dir / "elsewhere", dir / "copies");
    const std::string refused = writeReadOnlyCopy(dir / "copies", "P1", "text");
    EXPECT_NE(refused.find((dir / "copies").string()), std::string::npos) << refused;
    EXPECT_TRUE(fs::is_empty(dir / "elsewhere"));

    // A folder that cannot be written to.
    if (::geteuid() != 0) {
        fs::create_directories(dir / "locked");
        fs::permissions(dir / "locked", fs::perms::owner_read | fs::perms::owner_exec);
        EXPECT_NE(writeReadOnlyCopy(dir / "locked", "P1", "text"), "");
        EXPECT_FALSE(fs::exists(dir / "locked" / "P1"));
        fs::permissions(dir / "locked", fs::perms::owner_all);
    }
}
