// The Revisions and Pending programs views on the offscreen platform, against a database
// written by the recorder: what they list, the side-by-side comparison with its marks, and
// which decisions their buttons offer.
#include <sqlite3.h>
#include <unistd.h>

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "dnc/config/ConfigStore.h"
#include "dnc/history/HistoryRecorder.h"
#include "dnc/manager/RevisionDesk.h"
#include "dnc/manager/SubNet.h"
#include "dnc/window/RevisionsView.h"
#include "dnc/window/rules/RevisionRows.h"
#include "localizing/lookup/ResourceStrings.h"

namespace fs = std::filesystem;
using namespace dnc::history;
using dnc::window::RevisionsView;

namespace {

TransferRecord upload(const std::string& name, const std::string& content, bool held, long second) {
    TransferRecord r;
    r.time = std::chrono::system_clock::from_time_t(1772600767) + std::chrono::seconds(second);
    r.subNet = 1;
    r.caption = "Hall A";
    r.unit = 2;
    r.direction = Direction::FromUnit;
    r.name = name;
    r.path = "/srv/dnc/Machine2/" + name;
    r.content = content;
    r.stored = !held;
    r.held = held;
    return r;
}

const std::string kReleased = "%\r\nN10 G00 X0\r\nN20 G01 X5\r\nN30 M30\r\n%\r\n";
const std::string kPending = "%\r\nN10 G00 X0\r\nN20 G01 X7\r\nN30 M30\r\n%\r\n";
const std::string kEndsOnly = "%\nN10 G00 X0\nN20 G01 X5\nN30 M30\n%\n";

// A sub net's events go nowhere.
class NoOwner : public dnc::SubNetOwner {
public:
    void deliver(const dnc::SubNetEvent&) override {}
    void confirm(int, const std::string&, const std::string&) override {}
};

void writeFile(const fs::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

std::string readFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

class RevisionsViewTest : public QObject {
    Q_OBJECT

private:
    fs::path dir_;
    fs::path db_;
    std::unique_ptr<HistoryRecorder> recorder_;
    std::unique_ptr<dnc::RevisionDesk> desk_;

    template <typename T>
    T* field(QWidget* parent, const char* name) {
        return parent->findChild<T*>(QString::fromLatin1(name));
    }
    // The view reads off the window's thread: each of these returns once the result is shown.
    static bool listed(RevisionsView& view, const std::function<void()>& ask) {
        QSignalSpy shown(&view, &RevisionsView::listed);
        ask();
        return shown.wait(10000);
    }
    static bool compared(RevisionsView& view) {
        QSignalSpy shown(&view, &RevisionsView::compared);
        view.compareSelected();
        return shown.wait(10000);
    }

private slots:
    void initTestCase() {
        loc::selectLanguage(loc::kEnglish);
        dir_ = fs::temp_directory_path() / ("ferix-revisions-view-" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        db_ = dir_ / "history.db";
        RecorderOptions options;
        options.database = db_;
        recorder_ = std::make_unique<HistoryRecorder>(options);
        recorder_->record(upload("P1.WTX", kReleased, false, 0));
        recorder_->record(upload("P1.WTX", kPending, true, 10));
        recorder_->record(upload("P1.WTX", kEndsOnly, true, 20));
        recorder_->record(upload("P2.WTX", kReleased, false, 30));
        recorder_->flush();
        desk_ = std::make_unique<dnc::RevisionDesk>(db_, *recorder_);
    }
    void cleanupTestCase() {
        desk_.reset();
        recorder_.reset();
        fs::remove_all(dir_);
    }

    void thePendingViewListsTheWaitingProgramsOfTheSubNet() {
        RevisionsView view(desk_.get(), nullptr, 1, QStringLiteral("Hall A"), true);
        view.show();
        QVERIFY(listed(view, [&] { view.reload(); }));
        QCOMPARE(view.rows().size(), std::size_t{2});
        auto* list = field<QTreeWidget>(&view, "tvRevisions");
        QCOMPARE(list->topLevelItem(0)->text(static_cast<int>(dnc::window::RevisionColumn::State)),
                 QStringLiteral("pending"));
        QCOMPARE(list->topLevelItem(0)->text(static_cast<int>(dnc::window::RevisionColumn::User)),
                 QStringLiteral("unit 2"));
        view.select(0);
        // Without a running sub net nothing can be decided, but everything can be compared.
        QVERIFY(field<QPushButton>(&view, "cmdCompare")->isEnabled());
        QVERIFY(!field<QPushButton>(&view, "cmdAccept")->isEnabled());

        RevisionsView other(desk_.get(), nullptr, 2, QStringLiteral("Hall B"), true);
        QVERIFY(listed(other, [&] { other.reload(); }));
        QVERIFY(other.rows().empty());
    }

    void compareMarksTheChangedLineAndNotesLineEndsAlone() {
        RevisionsView view(desk_.get(), nullptr, 1, QStringLiteral("Hall A"), false);
        view.resize(900, 560);
        view.show();
        QVERIFY(listed(view, [&] { view.setProgram(2, "P1.WTX"); }));
        QCOMPARE(view.rows().size(), std::size_t{3});
        view.select(1);  // the first pending one, against the released one
        QVERIFY(compared(view));
        QTableWidget* table = view.comparison();
        QCOMPARE(table->rowCount(), 5);
        QCOMPARE(table->item(2, 1)->text(), QStringLiteral("N20 G01 X5"));
        QCOMPARE(table->item(2, 3)->text(), QStringLiteral("N20 G01 X7"));
        QCOMPARE(table->item(2, 4)->text(), QStringLiteral("~"));
        QCOMPARE(table->item(1, 4)->text(), QString());
        QVERIFY(table->item(2, 1)->background() != table->item(1, 1)->background());
        const QString folder = qEnvironmentVariable("FERIX_SCREENSHOT_DIR");
        if (!folder.isEmpty()) {
            QCoreApplication::processEvents();
            QVERIFY(view.grab().save(folder + QStringLiteral("/revisions-compare.png")));
        }

        // Each side is headed by its revision and state.
        QCOMPARE(table->horizontalHeaderItem(1)->text(), QStringLiteral("Revision 1 (released)"));
        QCOMPARE(table->horizontalHeaderItem(3)->text(), QStringLiteral("Revision 2 (pending)"));
        QCOMPARE(table->horizontalHeaderItem(4)->text(), QStringLiteral("Mark"));

        view.select(0);  // line ends only
        QVERIFY(compared(view));
        QVERIFY(field<QLabel>(&view, "lblCompare")
                    ->text()
                    .contains(QStringLiteral("Only the line ends differ")));
        QCOMPARE(table->item(1, 4)->text(), QString::fromUtf8("\xC2\xB6"));
    }

    void aProgramWithoutRevisionsSaysWhy() {
        RevisionsView view(desk_.get(), nullptr, 1, QStringLiteral("Hall A"), false);
        QVERIFY(listed(view, [&] { view.setProgram(2, "OLD.WTX"); }));
        QVERIFY(view.rows().empty());
        QVERIFY2(view.statusText().contains(QStringLiteral("before the history began")),
                 qPrintable(view.statusText()));
    }

    // Another process holds the database: the window goes on handling its events while the
    // view reads, and shows the list once the database is free.
    void aHeldDatabaseDoesNotStopTheWindow() {
        const fs::path held = dir_ / "held.db";
        {
            RecorderOptions options;
            options.database = held;
            HistoryRecorder recorder(options);
            recorder.record(upload("P1.WTX", kPending, true, 0));
            recorder.record(upload("P2.WTX", kPending, true, 1));
        }
        dnc::RevisionDesk desk(held, *recorder_);
        sqlite3* holder = nullptr;
        QCOMPARE(sqlite3_open(held.c_str(), &holder), SQLITE_OK);
        QCOMPARE(sqlite3_exec(holder,
                              "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE; "
                              "UPDATE revisions SET note = note WHERE id = 1;",
                              nullptr, nullptr, nullptr),
                 SQLITE_OK);
        RevisionsView view(&desk, nullptr, 1, QStringLiteral("Hall A"), true);
        bool turnedWhileReading = false;
        QSignalSpy shown(&view, &RevisionsView::listed);
        view.reload();
        QVERIFY(view.reading());
        QCOMPARE(view.statusText(), QStringLiteral("Reading the revisions..."));
        QTimer::singleShot(0, &view, [&] {
            turnedWhileReading = shown.isEmpty() && view.reading();
            sqlite3_exec(holder, "COMMIT", nullptr, nullptr, nullptr);
            sqlite3_close(holder);
            holder = nullptr;
        });
        QVERIFY(shown.wait(10000));
        QVERIFY(turnedWhileReading);
        QVERIFY(!view.reading());
        QCOMPARE(view.rows().size(), std::size_t{2});
        QVERIFY(holder == nullptr);
    }

    // Accept through the view: the file in the unit directory takes the pending content, and
    // the list read afterwards shows the new released revision.
    void acceptInTheViewReplacesTheFile() {
        const fs::path home = dir_ / "home";
        const fs::path file = home / "Machine2" / "P5.WTX";
        fs::create_directories(file.parent_path());
        writeFile(file, kReleased);
        TransferRecord pending = upload("P5.WTX", kPending, true, 40);
        pending.path = file.string();
        recorder_->record(pending);
        recorder_->flush();

        dnc::ConfigStore store(dir_ / "DNC.ini");
        QVERIFY(store.write("Ports", "1", (dir_ / "no-such-port").string()));
        QVERIFY(store.write("Config1", {{"Caption", "Hall A"},
                                        {"Protocol", "3"},
                                        {"FerixHomeDir", home.string() + "/"},
                                        {"FerixDir2", "Machine2/"},
                                        {"Connected2", "True"}}));
        NoOwner owner;
        dnc::SubNet subNet(1, store, owner);
        subNet.Initialize();
        RevisionsView view(desk_.get(), &subNet, 1, QStringLiteral("Hall A"), false);
        QVERIFY(listed(view, [&] { view.setProgram(2, "P5.WTX"); }));
        QCOMPARE(view.rows().size(), std::size_t{1});
        view.select(0);
        QVERIFY(field<QPushButton>(&view, "cmdAccept")->isEnabled());
        QSignalSpy decided(&view, &RevisionsView::decided);
        QTest::mouseClick(field<QPushButton>(&view, "cmdAccept"), Qt::LeftButton);
        QVERIFY(decided.wait(10000));
        QVERIFY2(view.statusText().isEmpty(), qPrintable(view.statusText()));
        QCOMPARE(readFile(file), kPending);
        QCOMPARE(view.rows().size(), std::size_t{2});
        QCOMPARE(view.rows()[0].state, dnc::revisions::State::Released);
        subNet.CloseIt();
    }

    void withoutAHistoryTheViewSaysSo() {
        RevisionsView view(nullptr, nullptr, 1, QStringLiteral("Hall A"), true);
        view.reload();
        QVERIFY(view.statusText().contains(QStringLiteral("no history")));
        QVERIFY(!field<QPushButton>(&view, "cmdCompare")->isEnabled());
    }
};

QTEST_MAIN(RevisionsViewTest)
#include "RevisionsViewTest.moc"
