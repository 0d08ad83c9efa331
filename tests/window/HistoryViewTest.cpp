// The History view on the offscreen platform, against a database written by the recorder.
#include <unistd.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "FakeDialogs.h"
#include "dnc/history/HistoryRecorder.h"
#include "dnc/history/Sha256.h"
#include "dnc/window/HistoryView.h"
#include "dnc/window/rules/HistoryRows.h"
#include "localizing/lookup/ResourceStrings.h"

namespace fs = std::filesystem;
using namespace dnc::history;
using dnc::window::HistoryView;

namespace {

constexpr int kWait = 20000;  // ms: only a bound for a failing case

TransferRecord transfer(const std::string& name, long second, int subNet, int unit,
                        Direction direction = Direction::ToUnit) {
    TransferRecord r;
    r.time = std::chrono::system_clock::from_time_t(1772600767) + std::chrono::seconds(second);
    r.subNet = subNet;
    r.caption = "Hall A";
    r.unit = unit;
    r.direction = direction;
    r.startedBy = StartedBy::Operator;
    r.name = name;
    r.path = "/srv/dnc/Machine" + std::to_string(unit) + "/" + name;
    r.content = "%\r\n(" + name + ")\r\nM30\r\n%\r\n";
    return r;
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

QStringList column(QTreeWidget* list, dnc::window::HistoryColumn c) {
    QStringList texts;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        texts << list->topLevelItem(i)->text(static_cast<int>(c));
    }
    return texts;
}

// Waits for the view's next rows (they come from its own thread).
bool waitLoaded(HistoryView& view, QSignalSpy& spy) {
    if (spy.count() == 0 && !spy.wait(kWait)) {
        return false;
    }
    spy.clear();
    return !view.loading();
}

// A view of sub net 1 of `site` on show, filtered to `unit`, whose editor only collects the
// paths.
struct Shown {
    Shown(const fs::path& db, int unit, const std::string& site = "Hall A")
        : view(
              db, 1, QStringLiteral("Hall A"), dialogs,
              [this](const QString& path) { opened << path; }, nullptr, site),
          loaded(&view, &HistoryView::loaded) {
        view.setUnit(unit);
        view.show();
        view.reload();
    }
    FakeDialogs dialogs;
    QStringList opened;
    HistoryView view;
    QSignalSpy loaded;
};

}  // namespace

class HistoryViewTest : public QObject {
    Q_OBJECT

private:
    fs::path dir_;
    fs::path db_;

private slots:
    void init() {
        dir_ = fs::temp_directory_path() / ("ferix-history-view-" + std::to_string(getpid()));
        fs::remove_all(dir_);
        db_ = dir_ / "history.db";
        RecorderOptions options;
        options.database = db_;
        options.keepPrograms = true;
        options.site = "Hall A";
        {
            // Another site's sub net 1, as a history that several sites share holds it.
            RecorderOptions other = options;
            other.site = "Hall B";
            HistoryRecorder recorder(other);
            recorder.record(transfer("VALVE.WTX", 50, 1, 1));
            recorder.flush();
        }
        HistoryRecorder recorder(options);
        recorder.record(transfer("SHAFT.WTX", 0, 1, 1));
        recorder.record(transfer("GEAR.WTX", 10, 1, 2));
        auto failed = transfer("shaft-back.wtx", 20, 1, 1, Direction::FromUnit);
        failed.outcome = Outcome::Failed;
        failed.error = "the unit did not answer";
        failed.startedBy = StartedBy::Operator;
        failed.user = "anna";
        failed.content.reset();
        recorder.record(failed);
        recorder.record(transfer("BRACKET.WTX", 30, 1, 1));
        recorder.record(transfer("SHAFT.WTX", 40, 2, 1));  // another sub net: never shown
        recorder.flush();
        QCOMPARE(recorder.written(), std::uint64_t{5});
    }
    void cleanup() { fs::remove_all(dir_); }

    void theSelectedUnitNewestFirstAllUnitsAndSearch() {
        Shown shown(db_, 1);
        QVERIFY(waitLoaded(shown.view, shown.loaded));
        auto& [dialogs, opened, view, loaded] = shown;
        auto* list = view.findChild<QTreeWidget*>(QStringLiteral("tvHistory"));
        using C = dnc::window::HistoryColumn;
        QCOMPARE(column(list, C::Name),
                 (QStringList{"BRACKET.WTX", "shaft-back.wtx", "SHAFT.WTX"}));
        QCOMPARE(column(list, C::Unit), (QStringList{"1", "1", "1"}));
        QCOMPARE(column(list, C::Direction),
                 (QStringList{"to the unit", "from the unit", "to the unit"}));
        QCOMPARE(column(list, C::Outcome), (QStringList{"done", "failed", "done"}));
        QCOMPARE(list->topLevelItem(1)->text(static_cast<int>(C::Error)),
                 QStringLiteral("the unit did not answer"));
        QCOMPARE(list->topLevelItem(1)->text(static_cast<int>(C::Sha256)), QString());
        const std::string shaft = "%\r\n(SHAFT.WTX)\r\nM30\r\n%\r\n";
        QCOMPARE(list->topLevelItem(2)->text(static_cast<int>(C::Sha256)),
                 QString::fromStdString(sha256Hex(shaft).substr(0, 12)));
        QCOMPARE(list->topLevelItem(2)->toolTip(static_cast<int>(C::Sha256)),
                 QString::fromStdString(sha256Hex(shaft)));
        QCOMPARE(list->topLevelItem(2)->text(static_cast<int>(C::Size)),
                 QString::number(shaft.size()));
        QCOMPARE(view.statusText(), QStringLiteral("3 transfers"));
        QCOMPARE(list->headerItem()->text(static_cast<int>(C::StartedBy)),
                 QStringLiteral("Started by"));
        QCOMPARE(list->headerItem()->text(static_cast<int>(C::User)), QStringLiteral("User"));
        QCOMPARE(column(list, C::User), (QStringList{"", "anna", ""}));
        QVERIFY(view.windowTitle().endsWith(QStringLiteral("Hall A")));

        // The window's unit follows the window.
        view.setUnit(2);
        QVERIFY(waitLoaded(view, loaded));
        QCOMPARE(column(list, C::Name), (QStringList{"GEAR.WTX"}));

        // All units of this sub net.
        view.findChild<QCheckBox*>(QStringLiteral("chkHistoryAllUnits"))->setChecked(true);
        QVERIFY(waitLoaded(view, loaded));
        QCOMPARE(column(list, C::Name),
                 (QStringList{"BRACKET.WTX", "shaft-back.wtx", "GEAR.WTX", "SHAFT.WTX"}));

        // The search on the name, regardless of letter case, after a pause in the typing.
        view.findChild<QLineEdit*>(QStringLiteral("txtHistorySearch"))->setText("shaft");
        QVERIFY(waitLoaded(view, loaded));
        QCOMPARE(column(list, C::Name), (QStringList{"shaft-back.wtx", "SHAFT.WTX"}));
        QVERIFY(opened.isEmpty());
    }

    void aSharedHistoryShowsThisSitesRowsOnly() {
        Shown other(db_, 1, "Hall B");
        QVERIFY(waitLoaded(other.view, other.loaded));
        auto* list = other.view.findChild<QTreeWidget*>(QStringLiteral("tvHistory"));
        QCOMPARE(column(list, dnc::window::HistoryColumn::Name), (QStringList{"VALVE.WTX"}));
        // A history of the PC's own shows what it holds.
        Shown own(db_, 1, "");
        QVERIFY(waitLoaded(own.view, own.loaded));
        list = own.view.findChild<QTreeWidget*>(QStringLiteral("tvHistory"));
        QCOMPARE(column(list, dnc::window::HistoryColumn::Name),
                 (QStringList{"VALVE.WTX", "BRACKET.WTX", "shaft-back.wtx", "SHAFT.WTX"}));
    }

    void aKeptProgramOpensReadOnlyAnotherIsExplained() {
        Shown shown(db_, 1);
        QVERIFY(waitLoaded(shown.view, shown.loaded));
        auto& [dialogs, opened, view, loaded] = shown;
        QVERIFY(view.rows()[2].kept);
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        auto* list = view.findChild<QTreeWidget*>(QStringLiteral("tvHistory"));
        // The double click of the operator.
        const QRect cell = list->visualItemRect(list->topLevelItem(2));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, cell.center());
        QCOMPARE(opened.size(), 1);
        const fs::path copy = opened.front().toStdString();
        QCOMPARE(copy.parent_path(), HistoryView::copiesFolder());
        QCOMPARE(readFile(copy), std::string("%\r\n(SHAFT.WTX)\r\nM30\r\n%\r\n"));
        QVERIFY((fs::status(copy).permissions() & fs::perms::owner_write) == fs::perms::none);
        QVERIFY(dialogs.boxes.empty());
        // The keyboard's way: Return on the current row.
        list->setCurrentItem(list->topLevelItem(0));
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Return);
        QCOMPARE(opened.size(), 2);
        QVERIFY(opened.back().endsWith(QStringLiteral("-BRACKET.WTX")));
        fs::remove(opened.back().toStdString());

        // The failed transfer brought no program: the operator is told so, nothing opens.
        view.openRow(1);
        QCOMPARE(opened.size(), 2);
        QCOMPARE(dialogs.boxes.size(), std::size_t{1});
        QCOMPARE(dialogs.boxes.back().text,
                 QStringLiteral("The program shaft-back.wtx is not kept in the history."));
        fs::remove(copy);
    }

    void noDatabaseOrOneThatCannotBeReadIsSaid() {
        FakeDialogs dialogs;
        HistoryView none({}, 1, QStringLiteral("Hall A"), dialogs, [](const QString&) {});
        QSignalSpy noneLoaded(&none, &HistoryView::loaded);
        none.reload();
        QCOMPARE(noneLoaded.count(), 1);
        QCOMPARE(none.statusText(), QStringLiteral("This window records no history."));

        const fs::path broken = dir_ / "broken.db";
        std::ofstream(broken) << "this is no database, only text that came to be here";
        HistoryView view(broken, 1, QStringLiteral("Hall A"), dialogs, [](const QString&) {});
        QSignalSpy loaded(&view, &HistoryView::loaded);
        view.show();
        view.reload();
        QVERIFY(waitLoaded(view, loaded));
        QVERIFY(view.rows().empty());
        QVERIFY2(view.statusText().startsWith(QStringLiteral("The history cannot be read: ")),
                 qPrintable(view.statusText()));
    }

    void aLargeHistoryComesBoundedAndSaysSo() {
        {
            RecorderOptions options;
            options.database = db_;
            options.capacity = 2000;
            HistoryRecorder recorder(options);
            for (int n = 0; n < dnc::window::kHistoryViewLimit + 5; ++n) {
                recorder.record(transfer("P" + std::to_string(n), 100 + n, 1, 3));
            }
            recorder.flush();
        }
        FakeDialogs dialogs;
        HistoryView view(db_, 1, QStringLiteral("Hall A"), dialogs, [](const QString&) {});
        QSignalSpy loaded(&view, &HistoryView::loaded);
        view.setUnit(3);
        view.show();
        view.reload();
        // A second request while the first runs is answered once, with the newest filter.
        view.reload();
        QVERIFY(waitLoaded(view, loaded));
        QCOMPARE(view.rows().size(), std::size_t(dnc::window::kHistoryViewLimit));
        QCOMPARE(view.rows().front().name,
                 "P" + std::to_string(dnc::window::kHistoryViewLimit + 4));
        QVERIFY(view.statusText().startsWith(QStringLiteral("The newest 1000 transfers")));
    }
};

QTEST_MAIN(HistoryViewTest)
#include "HistoryViewTest.moc"
