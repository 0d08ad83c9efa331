// Include, exclude and delete in the sub-net window on the offscreen platform: the confirmation
// it shows, the files it writes through the unit's chains (stand-in conversion libraries beside
// the test program), the boxes of failures and the lists afterwards.
#include <unistd.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

#include "FakeDialogs.h"
#include "FormElements.h"
#include "dnc/config/ChainFile.h"
#include "dnc/config/SubNetConfiguration.h"
#include "dnc/history/TransferRecord.h"
#include "dnc/window/frmConfirmConversion.h"
#include "dnc/window/frmDNC.h"
#include "sim/pty/PtyPair.h"
#include "tests/conversion/TempDirectory.h"

namespace fs = std::filesystem;
using dnc::window::frmConfirmConversion;
using dnc::window::frmDNC;
using testing_support::readFile;
using testing_support::writeFile;

namespace {

// A plain-protocol sub net (unit 1 selected from the start) with its directories.
class Site {
public:
    Site() {
        fs::create_directories(unit());
        fs::create_directories(programs());
        store_ = std::make_unique<dnc::ConfigStore>(work_.path() / "DNC.ini");
        store_->write("Ports", "1", pty_.devicePath());
        store_->write(dnc::subNetSection(1), {{"Caption", "Hall B"},
                                              {"Protocol", "4"},
                                              {"FerixHomeDir", work_.path().string() + "/"},
                                              {"FerixDir1", "Lathe/"},
                                              {"Connected1", "True"},
                                              {"WorkTextExt", "WTX"},
                                              {"SourceTextExt", "STX"},
                                              {"listDirPath1", programs().string()}});
    }
    fs::path unit() const { return work_.path() / "Lathe"; }
    fs::path programs() const { return work_.path() / "Programs"; }
    dnc::ConfigStore& store() { return *store_; }
    void chain(std::string_view name, const std::vector<std::string>& steps) {
        dnc::ConversionChain chain;
        QVERIFY(dnc::ConversionChain::fromSteps(steps, chain));
        QVERIFY(dnc::saveChainFile(unit() / std::string(name), chain).ok());
    }

private:
    testing_support::TempDirectory work_;
    sim::PtyPair pty_;
    std::unique_ptr<dnc::ConfigStore> store_;
};

// Keeps what the window records.
class Journal : public dnc::history::TransferJournal {
public:
    void record(dnc::history::TransferRecord record) override {
        records.push_back(std::move(record));
    }
    std::vector<dnc::history::TransferRecord> records;
};

QStringList texts(const QListWidget* list) {
    QStringList t;
    for (int i = 0; i < list->count(); ++i) {
        t << list->item(i)->text();
    }
    return t;
}

QStringList comboItems(const QComboBox* box) {
    QStringList t;
    for (int i = 0; i < box->count(); ++i) {
        t << box->itemText(i);
    }
    return t;
}

void select(QListWidget* list, const QStringList& names) {
    list->clearSelection();
    for (const QString& name : names) {
        const auto found = list->findItems(name, Qt::MatchExactly);
        QVERIFY2(!found.isEmpty(), qPrintable(name));
        found.first()->setSelected(true);
    }
}

// Answers the confirmation once it is shown: `look` sees (and may change) it, then OK or Cancel.
void answerConfirmation(frmDNC& window, const std::function<void(frmConfirmConversion&)>& look,
                        bool ok, bool* shown) {
    *shown = false;
    QTimer::singleShot(0, &window, [&window, look, ok, shown] {
        frmConfirmConversion* dialog = window.confirmConversion();
        if (dialog == nullptr || !dialog->isVisible()) {
            return;
        }
        *shown = true;
        look(*dialog);
        QTest::mouseClick(element<QPushButton>(dialog, ok ? "cmdOK" : "cmdCancel"), Qt::LeftButton);
    });
}

}  // namespace

class ConversionWindowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<frmDNC> open(Site& site, FakeDialogs& dialogs,
                                 const std::string& userLibrary = "libFakeUserConversion.so",
                                 dnc::history::TransferJournal* journal = nullptr) {
        frmDNC::Options options;
        options.journal = journal;
        options.conversionLibraries.standardName = "libFakeStandardConversion.so";
        options.conversionLibraries.userName = userLibrary;
        auto window = std::make_unique<frmDNC>(site.store(), 1, dialogs, options);
        window->Initialize();
        window->show();
        return window;
    }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void oneFileIsProposedByItsFirstDotAndTakesTheChosenKind() {
        Site site;
        writeFile((site.programs() / "part.1.txt").string(), "G01");
        site.chain("In.cnv", {"U  /P", "S TXT>ISO"});
        FakeDialogs dialogs;
        auto window = open(site, dialogs);
        QCOMPARE(window->selectedUnit(), 1);
        select(element<QListWidget>(window.get(), "listDir"), {"part.1.txt"});
        bool shown = false;
        answerConfirmation(
            *window,
            [](frmConfirmConversion& d) {
                QCOMPARE(d.windowTitle(), QStringLiteral("Confirm Conversion"));
                QVERIFY(element<QLabel>(&d, "lblInclude")->isVisible());
                QVERIFY(!element<QLabel>(&d, "lblExclude")->isVisible());
                QVERIFY(!element<QComboBox>(&d, "comboExtensionOut")->isVisible());
                auto* name = element<QLineEdit>(&d, "txtName");
                QCOMPARE(name->text(), QStringLiteral("PART"));
                QVERIFY(name->isEnabled());
                auto* kinds = element<QComboBox>(&d, "comboExtensionIn");
                QCOMPARE(kinds->count(), 6);
                QCOMPARE(kinds->currentIndex(), 0);
                QCOMPARE(kinds->itemText(0), QStringLiteral("Source Text STX"));
                kinds->setCurrentIndex(1);  // Work Text WTX
                QVERIFY(!element<QCheckBox>(&d, "chkWithOutConversion")->isChecked());
            },
            true, &shown);
        QTest::mouseClick(element<QPushButton>(window.get(), "cmdConversionIn"), Qt::LeftButton);
        QVERIFY(shown);
        QCOMPARE(readFile((site.unit() / "PART.WTX").string()),
                 std::string("G01[U: /P][S:TXT>ISO]"));
        // The unit directory shows the new program, never its chain file.
        QCOMPARE(texts(element<QListWidget>(window.get(), "listFerixDir")),
                 QStringList{"PART.WTX"});
        QVERIFY(dialogs.boxes.empty());
    }

    void severalFilesAreCutAtTheirLastDotAndAFailingStepLetsTheChainGoOn() {
        Site site;
        writeFile((site.programs() / "a.b.txt").string(), "1");
        writeFile((site.programs() / "c.txt").string(), "2");
        site.chain("In.cnv", {"U  fail now", "S TXT>TXT"});
        FakeDialogs dialogs;
        auto window = open(site, dialogs);
        select(element<QListWidget>(window.get(), "listDir"), {"a.b.txt", "c.txt"});
        bool shown = false;
        answerConfirmation(
            *window,
            [](frmConfirmConversion& d) {
                QCOMPARE(element<QLineEdit>(&d, "txtName")->text(), QStringLiteral("*"));
                QVERIFY(!element<QLineEdit>(&d, "txtName")->isEnabled());
                element<QComboBox>(&d, "comboExtensionIn")->setCurrentIndex(1);
            },
            true, &shown);
        window->actConversionIn();
        QVERIFY(shown);
        QCOMPARE(readFile((site.unit() / "A.B.WTX").string()), std::string("1[S:TXT>TXT]"));
        QCOMPARE(readFile((site.unit() / "C.WTX").string()), std::string("2[S:TXT>TXT]"));
        QCOMPARE(dialogs.boxes.size(), std::size_t{2});
        for (const ShownBox& box : dialogs.boxes) {
            QCOMPARE(box.title, QStringLiteral("Conversion Error..."));
            QCOMPARE(box.text, QStringLiteral("U refused  fail now"));  // the library's own text
            QCOMPARE(box.helpFile, QStringLiteral("U.hlp"));
        }
        QCOMPARE(texts(element<QListWidget>(window.get(), "listFerixDir")),
                 (QStringList{"A.B.WTX", "C.WTX"}));
    }

    void aMissingUserLibraryStopsEachFilesChainWithAnError() {
        Site site;
        writeFile((site.programs() / "a.txt").string(), "A");
        writeFile((site.programs() / "b.txt").string(), "B");
        site.chain("In.cnv", {"S first", "U  /P", "S last"});
        FakeDialogs dialogs;
        auto window = open(site, dialogs, "libNoSuchUserConversion.so");
        select(element<QListWidget>(window.get(), "listDir"), {"a.txt", "b.txt"});
        bool shown = false;
        answerConfirmation(
            *window, [](frmConfirmConversion&) {}, true, &shown);
        window->actConversionIn();
        QVERIFY(shown);
        QCOMPARE(readFile((site.unit() / "A.STX").string()), std::string("A[S:first]"));
        QCOMPARE(readFile((site.unit() / "B.STX").string()), std::string("B[S:first]"));
        QCOMPARE(dialogs.boxes.size(), std::size_t{2});
        for (const ShownBox& box : dialogs.boxes) {
            QCOMPARE(box.title, QStringLiteral("Error..."));
            QVERIFY2(box.text.contains(QStringLiteral("libNoSuchUserConversion.so")),
                     qPrintable(box.text));
        }
    }

    void withoutConversionOnlyCopiesAndACreatedChainStaysHidden() {
        Site site;
        writeFile((site.programs() / "p.txt").string(), "P");
        FakeDialogs dialogs;
        auto window = open(site, dialogs);
        element<QComboBox>(window.get(), "comboFerixDirPattern")->setCurrentText("*.*");
        select(element<QListWidget>(window.get(), "listDir"), {"p.txt"});
        bool shown = false;
        answerConfirmation(
            *window,
            [](frmConfirmConversion& d) {
                element<QCheckBox>(&d, "chkWithOutConversion")->setChecked(true);
            },
            true, &shown);
        window->actConversionIn();
        QVERIFY(shown);
        QCOMPARE(readFile((site.unit() / "P.STX").string()), std::string("P"));
        QVERIFY(fs::exists(site.unit() / "In.cnv"));  // created empty by the run
        QCOMPARE(texts(element<QListWidget>(window.get(), "listFerixDir")), QStringList{"P.STX"});
    }

    void aPcProgramDroppedOnTheUnitDirectoryIsIncluded() {
        Site site;
        writeFile((site.programs() / "p.txt").string(), "P");
        FakeDialogs dialogs;
        auto window = open(site, dialogs);
        element<QComboBox>(window.get(), "comboFerixDirPattern")->setCurrentText("*.*");
        select(element<QListWidget>(window.get(), "listDir"), {"p.txt"});
        // The confirmation comes after the drop has ended: it is answered when it shows.
        QTimer answer;
        bool shown = false;
        QObject::connect(&answer, &QTimer::timeout, window.get(), [&window, &shown, &answer] {
            frmConfirmConversion* dialog = window->confirmConversion();
            if (dialog == nullptr || !dialog->isVisible()) {
                return;
            }
            answer.stop();
            shown = true;
            element<QCheckBox>(dialog, "chkWithOutConversion")->setChecked(true);
            QTest::mouseClick(element<QPushButton>(dialog, "cmdOK"), Qt::LeftButton);
        });
        answer.start(10);
        auto* target = element<QListWidget>(window.get(), "listFerixDir");
        const auto drop = [target](const char* from) {
            QMimeData data;
            data.setData(QString::fromLatin1(dnc::window::kListDragFormat), from);
            const QPoint at = target->viewport()->rect().center();
            QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(target->viewport(), &enter);
            QDropEvent dropped(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(target->viewport(), &dropped);
            return dropped.isAccepted();
        };
        QVERIFY(!drop("listFerixLst"));  // the unit's memory is fetched, not included
        QVERIFY(drop("listDir"));
        QTRY_VERIFY(shown);
        QTRY_COMPARE(texts(target), QStringList{"P.STX"});
        QCOMPARE(readFile((site.unit() / "P.STX").string()), std::string("P"));
    }

    void excludeOffersTheMaskExtensionsAndKeepsTheCase() {
        Site site;
        writeFile((site.unit() / "Part.WTX").string(), "W");
        site.chain("Out.cnv", {"S ISO>TXT"});
        FakeDialogs dialogs;
        auto window = open(site, dialogs);
        element<QComboBox>(window.get(), "comboDirPattern")->setCurrentText("*.*");
        select(element<QListWidget>(window.get(), "listFerixDir"), {"Part.WTX"});
        bool shown = false;
        answerConfirmation(
            *window,
            [](frmConfirmConversion& d) {
                QVERIFY(element<QLabel>(&d, "lblExclude")->isVisible());
                QVERIFY(!element<QComboBox>(&d, "comboExtensionIn")->isVisible());
                QCOMPARE(element<QLineEdit>(&d, "txtName")->text(), QStringLiteral("Part"));
                auto* extensions = element<QComboBox>(&d, "comboExtensionOut");
                QCOMPARE(extensions->currentText(), QString());  // "*.*" presets nothing
                QCOMPARE(comboItems(extensions), (QStringList{"txt", "ncp"}));
                extensions->setEditText(QStringLiteral("txt"));
            },
            true, &shown);
        window->actConversionOut();
        QVERIFY(shown);
        QCOMPARE(readFile((site.programs() / "Part.txt").string()), std::string("W[S:ISO>TXT]"));
        QCOMPARE(texts(element<QListWidget>(window.get(), "listDir")), QStringList{"Part.txt"});
        // A fixed mask presets its extension.
        element<QComboBox>(window.get(), "comboDirPattern")->setCurrentText("*.ncp");
        answerConfirmation(
            *window,
            [](frmConfirmConversion& d) {
                QCOMPARE(element<QComboBox>(&d, "comboExtensionOut")->currentText(),
                         QStringLiteral("ncp"));
            },
            false, &shown);
        window->actConversionOut();
        QVERIFY(shown);
        QVERIFY(!fs::exists(site.programs() / "Part.ncp"));  // cancelled: nothing written
    }

    void nothingSelectedOrACopyThatFailsIsTold() {
        Site site;
        writeFile((site.programs() / "gone.txt").string(), "G");
        writeFile((site.programs() / "kept.txt").string(), "K");
        site.chain("In.cnv", {"U  /P"});
        FakeDialogs dialogs;
        auto window = open(site, dialogs);
        element<QListWidget>(window.get(), "listDir")->clearSelection();
        window->actConversionIn();
        QVERIFY(window->confirmConversion() == nullptr);  // not even shown
        QCOMPARE(dialogs.boxes.size(), std::size_t{1});
        QCOMPARE(dialogs.boxes[0].text, QStringLiteral("No File Selected"));

        select(element<QListWidget>(window.get(), "listDir"), {"gone.txt", "kept.txt"});
        fs::remove(site.programs() / "gone.txt");  // vanishes after the list was shown
        bool shown = false;
        answerConfirmation(
            *window, [](frmConfirmConversion&) {}, true, &shown);
        window->actConversionIn();
        QVERIFY(shown);
        QCOMPARE(dialogs.boxes.size(), std::size_t{2});
        QCOMPARE(dialogs.boxes[1].title, QStringLiteral("Error..."));
        QVERIFY2(dialogs.boxes[1].text.contains(QStringLiteral("could not be copied")),
                 qPrintable(dialogs.boxes[1].text));
        QVERIFY(!fs::exists(site.unit() / "GONE.STX"));
        QCOMPARE(readFile((site.unit() / "KEPT.STX").string()), std::string("K[U: /P]"));
    }

    void deletingFromTheUnitDirectoryAsksFirst() {
        Site site;
        for (const char* name : {"A.WTX", "B.WTX", "C.WTX"}) {
            writeFile((site.unit() / name).string(), name);
        }
        FakeDialogs dialogs;
        Journal journal;
        auto window = open(site, dialogs, "libFakeUserConversion.so", &journal);
        auto* list = element<QListWidget>(window.get(), "listFerixDir");
        select(list, {"A.WTX", "B.WTX"});
        dialogs.answers = {false};
        QTest::mouseClick(element<QPushButton>(window.get(), "cmdFerixDirRemove"), Qt::LeftButton);
        QCOMPARE(dialogs.questions.size(), std::size_t{1});
        QCOMPARE(dialogs.questions[0], QStringLiteral("Do You Really Want to Delete the Selected "
                                                      "Files from Ferix Directory?"));
        QCOMPARE(texts(list).size(), 3);

        select(list, {"A.WTX", "B.WTX"});
        fs::remove(site.unit() / "A.WTX");  // one of them is gone already: told, the next goes
        dialogs.answers = {true};
        element<QAction>(window.get(), "mnuConversionRemove")->trigger();
        QCOMPARE(dialogs.boxes.size(), std::size_t{1});
        QCOMPARE(dialogs.boxes[0].title, QStringLiteral("Error..."));
        QVERIFY(dialogs.boxes[0].text.contains(QStringLiteral("A.WTX")));
        QVERIFY(!fs::exists(site.unit() / "B.WTX"));
        QCOMPARE(texts(list), QStringList{"C.WTX"});
        // What went is a revision, with what it held; what was gone already is none.
        QCOMPARE(journal.records.size(), std::size_t{1});
        const dnc::history::TransferRecord& removal = journal.records[0];
        QVERIFY(removal.deletion);
        QVERIFY(!removal.held);
        QCOMPARE(removal.name, std::string("B.WTX"));
        QCOMPARE(removal.content.value_or(""), std::string("B.WTX"));
        QCOMPARE(removal.subNet, 1);
        QCOMPARE(removal.unit, 1);
        QVERIFY(removal.startedBy == dnc::history::StartedBy::Window);
    }

    void theConversionsMenuHasItsThreeItems() {
        Site site;
        FakeDialogs dialogs;
        auto window = open(site, dialogs);
        QCOMPARE(element<QAction>(window.get(), "mnuConversionIn")->text(),
                 QStringLiteral("&Include File"));
        QCOMPARE(element<QAction>(window.get(), "mnuConversionOut")->text(),
                 QStringLiteral("&Exclude File"));
        QCOMPARE(element<QAction>(window.get(), "mnuConversionRemove")->text(),
                 QStringLiteral("&Delete File from Ferix Directory"));
        QCOMPARE(element<QPushButton>(window.get(), "cmdConversionIn")->toolTip(),
                 QStringLiteral("Include Files into the Ferix Directory"));
        QCOMPARE(element<QPushButton>(window.get(), "cmdConversionOut")->text(),
                 QStringLiteral("Exclude File"));  // no access key beside the menu bar's
        QCOMPARE(element<QPushButton>(window.get(), "cmdFerixDirRemove")->accessibleName(),
                 QStringLiteral("Delete Files from the Ferix Directory"));
    }
};

QTEST_MAIN(ConversionWindowTest)
#include "ConversionWindowTest.moc"
