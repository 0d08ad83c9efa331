// "Control Properties" of the sub-net window on the offscreen platform: the dialog against an
// access that a test answers, then inside a real window whose control runs on the sub net's
// own thread on a pseudo-terminal; and the window's own views closing with it.
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTest>
#include <filesystem>
#include <memory>

#include "FakeDialogs.h"
#include "comm/widgets/ppFerixComm.h"
#include "comm/widgets/ppFerixFerixes.h"
#include "dnc/config/SubNetConfiguration.h"
#include "dnc/window/ControlPropertiesDialog.h"
#include "dnc/window/HistoryView.h"
#include "dnc/window/frmDNC.h"
#include "localizing/lookup/ResourceStrings.h"
#include "sim/pty/PtyPair.h"

namespace fs = std::filesystem;
using dnc::window::ApplyOutcome;
using dnc::window::ControlPropertiesDialog;
using dnc::window::frmDNC;

namespace {

constexpr int kWait = 20000;  // ms: only a bound for a failing case

template <typename T>
T* element(QObject* parent, const char* name) {
    T* found = parent->findChild<T*>(QString::fromLatin1(name));
    if (found == nullptr) {
        qFatal("no element %s", name);
    }
    return found;
}

QPushButton* button(QObject* dialog, const char* name) {
    return element<QPushButton>(dialog, name);
}

void typeInto(QLineEdit* edit, const char* text) {
    edit->selectAll();
    QTest::keyClicks(edit, text);
}

// Answers the dialog from a copy of one control's values and notes every apply.
class FakeAccess : public dnc::window::ControlPropertiesAccess {
public:
    FakeAccess() {
        values.commSpeed = "4800";
        values.ferixHomeDir = "/srv/dnc/";
        values.f4copyTimeout = 8000;
        values.extensions = {"STX", "WTX", "FDI", "SMC", "WMC", "SDG", "WDG"};
        for (int n = 1; n <= comm::kUnitCount; ++n) {
            values.units[static_cast<std::size_t>(n - 1)] = {"Ferix" + std::to_string(n) + "/",
                                                             "PPG", n == 1};
        }
    }

    std::vector<comm::PageValues> read() override {
        ++reads;
        return {values};
    }
    ApplyOutcome apply(const comm::RecordedWrites& writes) override {
        applied.push_back(writes);
        return outcome;
    }

    comm::PageValues values;
    ApplyOutcome outcome;
    int reads = 0;
    std::vector<comm::RecordedWrites> applied;
};

// A store and a line for sub net 1 with two units on the addressed protocol.
class Line {
public:
    Line()
        : work_(fs::temp_directory_path() /
                ("ferix-properties-" + std::to_string(getpid()) + "-" + std::to_string(++count_))) {
        fs::remove_all(work_);
        fs::create_directories(work_ / "DNC1" / "Machine1");
        store_ = std::make_unique<dnc::ConfigStore>(work_ / "DNC.ini");
        store_->write("Ports", "1", pty_.devicePath());
        store_->write(dnc::subNetSection(1), {{"Caption", "Hall A"},
                                              {"Protocol", "3"},
                                              {"CommSpeed", "9600"},
                                              {"FerixHomeDir", (work_ / "DNC1").string() + "/"},
                                              {"FerixDir1", "Machine1/"},
                                              {"FerixDir2", "Machine2/"},
                                              {"Connected1", "True"},
                                              {"Connected2", "True"}});
    }
    ~Line() { fs::remove_all(work_); }
    dnc::ConfigStore& store() { return *store_; }
    fs::path root() const { return work_ / "DNC1"; }

private:
    static inline int count_ = 0;
    fs::path work_;
    sim::PtyPair pty_;
    std::unique_ptr<dnc::ConfigStore> store_;
};

// A window whose line has started and stopped again.
void startAndStop(frmDNC& window) {
    window.Initialize();
    window.show();
    QTRY_VERIFY_WITH_TIMEOUT(window.communicating(), kWait);
    window.StopCommunication();
    QTRY_VERIFY_WITH_TIMEOUT(!window.communicating(), kWait);
}

}  // namespace

class ControlPropertiesTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QStandardPaths::setTestModeEnabled(true);
        loc::selectLanguage(loc::kEnglish);
    }

    void theDialogShowsBothPagesAndAppliesOnlyWhatChangedInOneGo() {
        FakeAccess access;
        FakeDialogs dialogs;
        ControlPropertiesDialog dialog(access, dialogs, QStringLiteral("Hall A"), false);
        dialog.show();
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Control Properties - Hall A"));
        auto* tabs = element<QTabWidget>(&dialog, "tabPages");
        QCOMPARE(tabs->count(), 2);
        QCOMPARE(tabs->tabText(0), QStringLiteral("Common"));
        QCOMPARE(tabs->tabText(1), QStringLiteral("Ferixes"));
        QVERIFY(!button(&dialog, "cmdApply")->isEnabled());
        QVERIFY(!element<QLabel>(&dialog, "lblRunning")->isVisible());

        typeInto(element<QLineEdit>(dialog.unitsPage(), "txtPrefix2"), "ABCD");
        QVERIFY(button(&dialog, "cmdApply")->isEnabled());
        QTest::mouseClick(button(&dialog, "cmdApply"), Qt::LeftButton);
        // One message with the unit page's thirty writes; the unchanged page writes nothing.
        QCOMPARE(access.applied.size(), std::size_t{1});
        QCOMPARE(access.applied[0].size(), std::size_t{30});
        QVERIFY(!button(&dialog, "cmdApply")->isEnabled());
        QCOMPARE(access.reads, 2);  // the control's values are shown again after Apply
        QVERIFY(dialog.isVisible());

        // OK applies both changed pages together and closes.
        typeInto(element<QLineEdit>(dialog.commonPage(), "txtListExt"), "LST");
        element<QCheckBox>(dialog.unitsPage(), "chkConnected4")->click();
        QTest::mouseClick(button(&dialog, "cmdOK"), Qt::LeftButton);
        QCOMPARE(access.applied.size(), std::size_t{2});
        QCOMPARE(access.applied[1].size(), std::size_t{12 + 30});
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(dialogs.boxes.empty());
    }

    void cancelWritesNothing() {
        FakeAccess access;
        FakeDialogs dialogs;
        ControlPropertiesDialog dialog(access, dialogs, QString(), false);
        dialog.show();
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Control Properties"));
        typeInto(element<QLineEdit>(dialog.commonPage(), "txtFerixHomeDir"), "/elsewhere/");
        QTest::mouseClick(button(&dialog, "cmdCancel"), Qt::LeftButton);
        QVERIFY(access.applied.empty());
        QVERIFY(!dialog.isVisible());
    }

    void whatCannotBeAppliedIsSaidAndTheDialogStays() {
        FakeAccess access;
        FakeDialogs dialogs;
        ControlPropertiesDialog dialog(access, dialogs, QString(), false);
        dialog.show();
        // A pause that is no number: the operator is told, nothing is sent.
        dialog.unitsPage()->setFocus();
        auto* pause = element<QLineEdit>(dialog.commonPage(), "txtF4COPYTimeout");
        pause->selectAll();
        QTest::keyClick(pause, Qt::Key_Backspace);
        QVERIFY(dialog.commonPage()->changed());
        QTest::mouseClick(button(&dialog, "cmdOK"), Qt::LeftButton);
        QVERIFY(dialog.isVisible());
        QVERIFY(access.applied.empty());
        QCOMPARE(dialogs.boxes.size(), std::size_t{1});
        QCOMPARE(dialogs.boxes[0].title, QStringLiteral("Error..."));
        QVERIFY(dialogs.boxes[0].text.contains(QStringLiteral("F4COPY")));
        QCOMPARE(element<QTabWidget>(&dialog, "tabPages")->currentWidget(), dialog.commonPage());

        // A value the control refuses: named, the rest is shown as the control holds it.
        QTest::keyClicks(pause, "100");
        access.outcome.errors = {"Invalid line settings \"96OO,n,8,2\""};
        QTest::mouseClick(button(&dialog, "cmdOK"), Qt::LeftButton);
        QVERIFY(dialog.isVisible());
        QCOMPARE(access.applied.size(), std::size_t{1});
        QCOMPARE(dialogs.boxes.size(), std::size_t{2});
        QVERIFY(dialogs.boxes[1].text.startsWith(QStringLiteral("These values were not applied:")));
        QVERIFY(dialogs.boxes[1].text.contains(QStringLiteral("96OO")));

        // The line went on before the apply arrived: nothing was written, and the changes stay.
        access.outcome = {};
        access.outcome.refusedWhileRunning = true;
        typeInto(element<QLineEdit>(dialog.commonPage(), "txtListExt"), "LST");
        QTest::mouseClick(button(&dialog, "cmdApply"), Qt::LeftButton);
        QCOMPARE(dialogs.boxes.size(), std::size_t{3});
        QCOMPARE(dialogs.boxes[2].text,
                 QStringLiteral("Communication is running: the properties were not applied."));
        QVERIFY(dialog.commonPage()->changed());
    }

    void whileCommunicationRunsTheDialogAppliesNothing() {
        FakeAccess access;
        FakeDialogs dialogs;
        ControlPropertiesDialog dialog(access, dialogs, QString(), false);
        dialog.show();
        typeInto(element<QLineEdit>(dialog.commonPage(), "txtListExt"), "LST");
        dialog.setCommunicating(true);
        QVERIFY(element<QLabel>(&dialog, "lblRunning")->isVisible());
        QVERIFY(!element<QTabWidget>(&dialog, "tabPages")->isEnabled());
        QVERIFY(!button(&dialog, "cmdApply")->isEnabled());
        QVERIFY(!button(&dialog, "cmdOK")->isEnabled());
        QVERIFY(!dialog.applyChanges());
        QVERIFY(access.applied.empty());
        dialog.setCommunicating(false);
        QVERIFY(button(&dialog, "cmdApply")->isEnabled());  // the edit is still there
    }

    void theWindowOffersThePropertiesOnlyWhileTheLineIsOff() {
        Line line;
        FakeDialogs dialogs;
        frmDNC window(line.store(), 1, dialogs);
        window.Initialize();
        window.show();
        QTRY_VERIFY_WITH_TIMEOUT(window.communicating(), kWait);
        auto* item = element<QAction>(&window, "mnuSystemControlProperties");
        QCOMPARE(item->text(), QStringLiteral("Control &Properties..."));
        QVERIFY(!item->isEnabled());
        QVERIFY(item->toolTip().startsWith(QStringLiteral("Stop communication first")));
        window.showControlProperties();
        QVERIFY(window.controlPropertiesDialog() == nullptr);

        window.StopCommunication();
        QTRY_VERIFY_WITH_TIMEOUT(!window.communicating(), kWait);
        QVERIFY(item->isEnabled());
        QVERIFY(!item->toolTip().startsWith(QStringLiteral("Stop communication first")));
        item->trigger();
        ControlPropertiesDialog* dialog = window.controlPropertiesDialog();
        QVERIFY(dialog != nullptr);
        QVERIFY(dialog->isVisible());
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Control Properties - Hall A"));

        // Communication started meanwhile (by the automation, say): the dialog follows.
        window.StartCommunication();
        QTRY_VERIFY_WITH_TIMEOUT(window.communicating(), kWait);
        QVERIFY(!button(dialog, "cmdOK")->isEnabled());
        QVERIFY(!item->isEnabled());
        window.StopCommunication();
        QTRY_VERIFY_WITH_TIMEOUT(!window.communicating(), kWait);
        QVERIFY(button(dialog, "cmdOK")->isEnabled());
    }

    void applyReachesTheControlOnItsThreadAndTheWindowFollows() {
        Line line;
        FakeDialogs dialogs;
        frmDNC window(line.store(), 1, dialogs);
        startAndStop(window);
        window.showControlProperties();
        ControlPropertiesDialog* dialog = window.controlPropertiesDialog();
        QVERIFY(dialog != nullptr);
        QCOMPARE(element<QLineEdit>(dialog->unitsPage(), "txtFerixDir2")->text(),
                 QStringLiteral("Machine2/"));
        QCOMPARE(element<QComboBox>(dialog->commonPage(), "comboCommSpeed")->currentText(),
                 QStringLiteral("9600"));

        typeInto(element<QLineEdit>(dialog->unitsPage(), "txtFerixDir2"), "Lathe2/");
        typeInto(element<QLineEdit>(dialog->unitsPage(), "txtPrefix2"), "ABCD");
        element<QCheckBox>(dialog->unitsPage(), "chkConnected3")->click();
        typeInto(element<QLineEdit>(dialog->commonPage(), "txtWorkTextExt"), " NC ");
        QTest::mouseClick(button(dialog, "cmdOK"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(window.controlPropertiesDialog() == nullptr, kWait);
        QVERIFY(dialogs.boxes.empty());

        dnc::SubNet* subNet = window.subNet();
        QCOMPARE(
            subNet->call<std::string>([](comm::ctrlFerixComm& c) { return c.Prefix(2).value(); }),
            std::string("ABC"));
        QCOMPARE(subNet->call<std::string>([](comm::ctrlFerixComm& c) { return c.WorkTextExt(); }),
                 std::string("NC"));
        QVERIFY(subNet->call<bool>([](comm::ctrlFerixComm& c) { return c.Connected(3).value(); }));
        // The configuration's refresh: the unit selector and the masks show the new values.
        window.takeEvents();
        auto* selector = element<QComboBox>(&window, "comboFerixAdr");
        QTRY_COMPARE_WITH_TIMEOUT(selector->count(), 3, kWait);
        QCOMPARE(selector->itemText(1),
                 QString::fromStdString("Ferix 2   " + (line.root() / "Lathe2").string()));
        QCOMPARE(window.settings().extensions[1], std::string("NC"));
        auto* masks = element<QComboBox>(&window, "comboFerixDirPattern");
        QCOMPARE(masks->itemText(2), QStringLiteral("*.NC"));
    }

    void theWindowsViewsCloseWithIt() {
        Line line;
        FakeDialogs dialogs;
        auto window = std::make_unique<frmDNC>(line.store(), 1, dialogs);
        startAndStop(*window);
        window->showTransferHistory();
        window->showControlProperties();
        QPointer<dnc::window::HistoryView> history = window->historyView();
        QPointer<ControlPropertiesDialog> properties = window->controlPropertiesDialog();
        QVERIFY(history && history->isVisible());
        QVERIFY(properties && properties->isVisible());
        QVERIFY(window->close());
        QVERIFY(!history || !history->isVisible());
        QVERIFY(!properties || !properties->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(history.isNull() && properties.isNull(), kWait);
        QVERIFY(window->isHidden());
    }

    void theTitleNamesTheProgramOnce() {
        Line line;
        FakeDialogs dialogs;
        frmDNC window(line.store(), 1, dialogs);
        window.Initialize();
        QCOMPARE(window.windowTitle(), QStringLiteral("FerixDNC Hall A"));
        // The platform appends the display name unless the title already ends with it.
        QVERIFY(window.windowTitle().endsWith(QGuiApplication::applicationDisplayName()));
        window.close();
    }
};

QTEST_MAIN(ControlPropertiesTest)
#include "ControlPropertiesTest.moc"
