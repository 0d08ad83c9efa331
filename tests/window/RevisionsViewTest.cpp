// The Revisions and Pending programs views on the offscreen platform, against a database
// written by the recorder: what they list, the side-by-side comparison with its marks, and
// which decisions their buttons offer.
#include <unistd.h>

#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTreeWidget>
#include <filesystem>

#include "dnc/history/HistoryRecorder.h"
#include "dnc/manager/RevisionDesk.h"
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
        view.reload();
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
        other.reload();
        QVERIFY(other.rows().empty());
    }

    void compareMarksTheChangedLineAndNotesLineEndsAlone() {
        RevisionsView view(desk_.get(), nullptr, 1, QStringLiteral("Hall A"), false);
        view.resize(900, 560);
        view.show();
        view.setProgram(2, "P1.WTX");
        QCOMPARE(view.rows().size(), std::size_t{3});
        view.select(1);  // the first pending one, against the released one
        view.compareSelected();
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

        view.select(0);  // line ends only
        view.compareSelected();
        QVERIFY(field<QLabel>(&view, "lblCompare")
                    ->text()
                    .contains(QStringLiteral("Only the line ends differ")));
        QCOMPARE(table->item(1, 4)->text(), QString::fromUtf8("\xC2\xB6"));
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
