// The sub-net window on the offscreen platform, against a real sub net: its control runs on the
// sub net's own thread on a pseudo-terminal, with simulated units on the other end where the
// case needs them.
#include <pwd.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDropEvent>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <thread>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <vector>

#include "FakeDialogs.h"
#include "comm/link/PosixSerialPort.h"
#include "comm/widgets/AboutBox.h"
#include "dnc/config/SubNetConfiguration.h"
#include "dnc/history/HistoryRecorder.h"
#include "dnc/history/Sha256.h"
#include "dnc/window/HelpPages.h"
#include "dnc/window/HistoryView.h"
#include "dnc/window/LoadResStrings.h"
#include "dnc/window/config/frmConfigDNC.h"
#include "dnc/window/frmAboutDNC.h"
#include "dnc/window/frmDNC.h"
#include "localizing/lookup/ResourceStrings.h"
#include "sim/heidenhain/HeidenhainMachine.h"
#include "sim/heidenhain/link/FdPeerLink.h"
#include "sim/pty/PtyPair.h"
#include "sim/unit/FdUnitLine.h"
#include "sim/unit/UnitSimulator.h"

namespace fs = std::filesystem;
using dnc::window::frmDNC;

namespace {

constexpr int kWait = 30000;  // ms: a whole DNC transfer at 9600 bit/s fits easily

std::string program(const std::string& name, int lines) {
    std::string text = "%\r\n(" + name + ")\r\n";
    for (int n = 1; n <= lines; ++n) {
        text += "N" + std::to_string(n * 10) + " G01 X" + std::to_string(n) + "\r\n";
    }
    return text + "M30\r\n%\r\n";
}

// A store, unit directories and a line for one sub net.
class Line {
public:
    explicit Line(const std::string& protocol, bool units = false)
        : work_(fs::temp_directory_path() /
                ("ferix-window-" + std::to_string(getpid()) + "-" + std::to_string(++count_))) {
        fs::remove_all(work_);
        fs::create_directories(root() / "Machine1");
        fs::create_directories(root() / "Machine2");
        fs::create_directories(programs());
        write(root() / "Machine1" / "SHAFT.WTX", program("SHAFT", 20));
        write(root() / "Machine1" / "BRACKET.WTX", program("BRACKET", 8));
        write(programs() / "A.ncp", std::string(1000, 'a'));
        write(programs() / "B.ncp", std::string(24, 'b'));
        write(programs() / "My Part.ncp", "x");
        store_ = std::make_unique<dnc::ConfigStore>(work_ / "DNC.ini");
        store_->write("Ports", "1", pty_.devicePath());
        store_->write(dnc::subNetSection(1), {{"Caption", "Hall A"},
                                              {"Protocol", protocol},
                                              {"CommSpeed", "9600"},
                                              {"FerixHomeDir", root().string() + "/"},
                                              {"FerixDir1", "Machine1/"},
                                              {"FerixDir2", "Machine2/"},
                                              {"Connected1", "True"},
                                              {"Connected2", "True"},
                                              {"listDirPath1", programs().string()},
                                              {"listDirPath2", programs().string()}});
        if (units) {
            units_.addUnit(1);
            units_.addUnit(2).memory().store({"GEAR", 1, program("GEAR", 10)});
            line_ = std::make_unique<sim::unit::FdUnitLine>(units_, pty_.masterFd(),
                                                            sim::unit::characterTime(9600, 11));
            line_->preferPromptAnswers(true);
            line_->start();
        }
    }
    ~Line() {
        if (line_) {
            line_->stop();
        }
        fs::remove_all(work_);
    }

    fs::path root() const { return work_ / "DNC1"; }
    fs::path programs() const { return work_ / "Programs"; }
    dnc::ConfigStore& store() { return *store_; }
    void set(const std::string& key, const std::string& value) {
        store_->write(dnc::subNetSection(1), key, value);
    }
    // Runs `f` on the simulated units while their line keeps off them.
    template <typename F>
    decltype(auto) withUnits(F&& f) {
        return line_->withUnits(std::forward<F>(f));
    }
    // The unit's events of `kind` for the program `name` (the memory list is "$$$$$DIR").
    std::vector<sim::unit::UnitEvent> eventsOf(sim::unit::UnitEvent::Kind kind,
                                               const std::string& name) {
        return withUnits([kind, &name](sim::unit::UnitSimulator& u) {
            std::vector<sim::unit::UnitEvent> found;
            for (const sim::unit::UnitEvent& e : u.eventsOf(kind)) {
                if (e.name == name) {
                    found.push_back(e);
                }
            }
            return found;
        });
    }
    std::size_t listingsFetched() {
        return eventsOf(sim::unit::UnitEvent::ProgramSent, "$$$$$DIR").size();
    }
    bool unitHolds(int unit, const std::string& name) {
        return line_->withUnits([unit, &name](sim::unit::UnitSimulator& u) {
            return u.unit(static_cast<std::uint8_t>(unit))->memory().find(name) != nullptr;
        });
    }

private:
    static void write(const fs::path& path, const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
    }
    static inline int count_ = 0;
    fs::path work_;
    sim::PtyPair pty_;
    std::unique_ptr<dnc::ConfigStore> store_;
    sim::unit::UnitSimulator units_;
    std::unique_ptr<sim::unit::FdUnitLine> line_;
};

template <typename T>
T* element(QObject* window, const char* name) {
    T* found = window->findChild<T*>(QString::fromLatin1(name));
    if (found == nullptr) {
        qFatal("no element %s", name);
    }
    return found;
}

bool enabled(QObject* window, const char* name) {
    if (auto* action = window->findChild<QAction*>(QString::fromLatin1(name))) {
        return action->isEnabled();
    }
    return element<QWidget>(window, name)->isEnabled();
}

void selectRows(QListWidget* list, std::initializer_list<int> rows) {
    list->clearSelection();
    for (int row : rows) {
        list->item(row)->setSelected(true);
    }
    list->setCurrentRow(*rows.begin(), QItemSelectionModel::NoUpdate);
}

QStringList texts(const QListWidget* list) {
    QStringList t;
    for (int i = 0; i < list->count(); ++i) {
        t << list->item(i)->text();
    }
    return t;
}

// A history server that takes records only while it is up.
class SwitchedWriter : public dnc::history::HistoryWriter {
public:
    explicit SwitchedWriter(const std::atomic<bool>& up) : up_(up) {}
    bool write(const dnc::history::PreparedRecord&) override { return up_; }
    std::string error() const override { return "the server is away"; }

private:
    const std::atomic<bool>& up_;
};

// Starts the window's line, selects `unit` and waits for its first memory list.
bool showUnitWithItsMemory(frmDNC& window, int unit) {
    window.Initialize();
    window.show();
    if (!QTest::qWaitFor([&window] { return window.communicating(); }, kWait)) {
        return false;
    }
    QSignalSpy shown(&window, &frmDNC::memoryListShown);
    window.selectUnit(unit);
    return QTest::qWaitFor([&shown] { return shown.count() >= 1; }, kWait);
}

}  // namespace

class SubNetWindowTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QStandardPaths::setTestModeEnabled(true);  // the help page goes to a test folder
    }

    void dncStartsWithoutAUnitAndShowsNotSelected() {
        Line line("3", true);
        FakeDialogs dialogs;
        frmDNC window(line.store(), 1, dialogs);
        window.Initialize();
        window.show();
        auto* selector = element<QComboBox>(&window, "comboFerixAdr");
        QCOMPARE(selector->count(), 2);
        QCOMPARE(selector->currentIndex(), -1);
        QCOMPARE(selector->itemText(0),
                 QString::fromStdString("Ferix 1   " + (line.root() / "Machine1").string()));
        QVERIFY(element<QLabel>(&window, "lblFerixNotSelected")->isVisible());
        QVERIFY(!element<QLabel>(&window, "lblFree")->isVisible());
        QCOMPARE(window.windowTitle(), QStringLiteral("FerixDNC Hall A"));
        QTRY_VERIFY_WITH_TIMEOUT(window.communicating(), kWait);
        // The mask list comes from the control's extensions.
        auto* masks = element<QComboBox>(&window, "comboFerixDirPattern");
        QCOMPARE(masks->itemText(0), QStringLiteral("*.*"));
        QCOMPARE(masks->count(), 8);
        QVERIFY(dialogs.boxes.empty());
        // Only the command that changes the line is offered; the status bar says how it is.
        QVERIFY(!enabled(&window, "mnuSystemStart"));
        QVERIFY(enabled(&window, "mnuSystemStop"));
        QCOMPARE(element<QLabel>(&window, "LineState")->text(), QStringLiteral("Line running"));
        // Every size has its number before anything is selected.
        QCOMPARE(element<QLabel>(&window, "lblDirSelFile")->text(), QStringLiteral("Select None"));
        QCOMPARE(element<QLabel>(&window, "lblDirSelSize")->text(), QStringLiteral("0"));
        window.StopCommunication();
        QTRY_VERIFY_WITH_TIMEOUT(!window.communicating(), kWait);
        QVERIFY(enabled(&window, "mnuSystemStart"));
        QVERIFY(!enabled(&window, "mnuSystemStop"));
        QCOMPARE(element<QLabel>(&window, "LineState")->text(), QStringLiteral("Line stopped"));
    }

    void aProgramDraggedOntoTheMemoryListIsSentToTheUnit() {
        Line line("3", true);
        FakeDialogs dialogs;
        frmDNC window(line.store(), 1, dialogs);
        QVERIFY(showUnitWithItsMemory(window, 1));
        auto* directory = element<QListWidget>(&window, "listFerixDir");
        auto* memory = element<QListWidget>(&window, "listFerixLst");
        selectRows(directory, {0});  // BRACKET.WTX
        const auto drop = [&](QListWidget* target, const char* from) {
            QMimeData data;
            data.setData(QString::fromLatin1(dnc::window::kListDragFormat), from);
            const QPoint at = target->viewport()->rect().center();
            QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(target->viewport(), &enter);
            QDropEvent dropped(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(target->viewport(), &dropped);
            return dropped.isAccepted();
        };
        QVERIFY(!drop(memory, "listDir"));  // PC programs go through the unit directory
        QVERIFY(drop(memory, "listFerixDir"));
        QTRY_VERIFY_WITH_TIMEOUT(line.unitHolds(1, "BRACKET"), kWait);
        QVERIFY(directory->dragEnabled());
        QVERIFY(element<QListWidget>(&window, "listDir")->dragEnabled());
    }

    void aDoubleClickOnTheMemoryListFetchesTheProgram() {
        Line line("3", true);
        FakeDialogs dialogs;
        frmDNC window(line.store(), 1, dialogs);
        QVERIFY(showUnitWithItsMemory(window, 2));
        auto* memory = element<QListWidget>(&window, "listFerixLst");
        QTRY_COMPARE_WITH_TIMEOUT(memory->count(), 1, kWait);  // GEAR
        QVERIFY(!fs::exists(line.root() / "Machine2" / "GEAR.WTX"));
        const QPoint at = memory->visualItemRect(memory->item(0)).center();
        // As a mouse does it: the first click's press and release, then the second's.
        QTest::mouseClick(memory->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(memory->viewport(), Qt::LeftButton, {}, at);
        QTRY_VERIFY_WITH_TIMEOUT(fs::exists(line.root() / "Machine2" / "GEAR.WTX"), kWait);
    }

    void aChosenUnitIsRememberedAndItsListsOfferTheirCommands() {
        Line line("3", true);
        line.set("AutoFerixLst", "False");
        FakeDialogs dialogs;
        {
            frmDNC window(line.store(), 1, dialogs);
            window.Initialize();
            window.show();
            window.selectUnit(2);
            // Without the automatic list the pane no longer says that no unit is chosen.
            QVERIFY(!element<QLabel>(&window, "lblFerixNotSelected")->isVisible());
            QStringList offered;
            for (QAction* a : element<QListWidget>(&window, "listFerixLst")->actions()) {
                offered << a->objectName();
            }
            QVERIFY(offered.contains(QStringLiteral("mnuTransferFerixPC")));
            QVERIFY(offered.contains(QStringLiteral("mnuTransferRemove")));
            QCOMPARE(element<QListWidget>(&window, "listFerixLst")->contextMenuPolicy(),
                     Qt::ActionsContextMenu);
            window.close();
        }
        frmDNC again(line.store(), 1, dialogs);
        again.Initialize();
        QCOMPARE(again.selectedUnit(), 2);
    }

    void otherProtocolsSelectTheFirstUnitAndShowTheFileNamePane() {
        Line line("4");
        FakeDialogs dialogs;
        frmDNC window(line.store(), 1, dialogs);
        window.Initialize();
        window.show();
        QCOMPARE(window.selectedUnit(), 1);
        QCOMPARE(element<QStackedWidget>(&window, "unitPanes")->currentWidget(),
                 element<QWidget>(&window, "frFerix"));
        QVERIFY(!enabled(&window, "mnuFerixInit"));
        QVERIFY(!enabled(&window, "mnuTransferLst"));
        QVERIFY(!enabled(&window, "comboFerixAdr"));
        QVERIFY(enabled(&window, "mnuTransferPCFerix"));
        QCOMPARE(texts(element<QListWidget>(&window, "listFerixDir")),
                 (QStringList{"BRACKET.WTX", "SHAFT.WTX"}));
        QCOMPARE(texts(element<QListWidget>(&window, "listDir")),
                 (QStringList{"A.ncp", "B.ncp", "My Part.ncp"}));
    }

    void storedLayoutValuesAreLimited() {
        Line line("4");
        line.set("LeftSize", "0.6");
        line.set("MiddleSize", "0.5");
        line.set("RightSize", "0.2");
        line.set("Width", "500");
        line.set("Height", "500");
        line.set("Left", "99999999");
        FakeDialogs dialogs;
        frmDNC window(line.store(), 1, dialogs);
        window.Initialize();
        QCOMPARE(window.paneShares().left, 0.334F);
        QCOMPARE(window.paneShares().middle, 0.333F);
        // 1000 twips, then the window's own minimum: where every element can be read.
        QCOMPARE(window.width(), window.minimumWidth());
        QCOMPARE(window.height(), window.minimumHeight());
        QVERIFY(window.minimumWidth() >= 400);
        QVERIFY(window.minimumHeight() >= 330);
        QCOMPARE(window.x(), 0);

        Line collapsed("4");
        collapsed.set("LeftSize", "0.5");
        collapsed.set("MiddleSize", "0.5");
        collapsed.set("RightSize", "0.2");
        frmDNC second(collapsed.store(), 1, dialogs);
        second.Initialize();
        QCOMPARE(second.paneShares().right, 0.0F);
    }

    void atItsSmallestSizeEveryButtonCanBeRead() {
        for (const char* language : {"1033", "1031", "1029"}) {
            for (const char* protocol : {"3", "4"}) {
                Line line(protocol);
                line.store().write("Common", "LangID", language);
                FakeDialogs dialogs;
                frmDNC window(line.store(), 1, dialogs);
                window.Initialize();
                window.show();
                window.resize(window.minimumSize());
                QVERIFY(QTest::qWaitForWindowExposed(&window));
                QCoreApplication::processEvents();
                for (QPushButton* b : window.findChildren<QPushButton*>()) {
                    if (b->isVisible() && !b->text().isEmpty()) {
                        QVERIFY2(b->width() >= b->minimumSizeHint().width(),
                                 qPrintable(QStringLiteral("%1 %2: %3 is cut (%4 < %5, window %6)")
                                                .arg(QLatin1String(language),
                                                     QLatin1String(protocol), b->text())
                                                .arg(b->width())
                                                .arg(b->minimumSizeHint().width())
                                                .arg(window.width())));
                    }
                }
                // FERIX_WINDOW_SHOTS=DIR keeps a picture of each, to be looked at.
                if (const QString shots = qEnvironmentVariable("FERIX_WINDOW_SHOTS");
                    !shots.isEmpty()) {
                    window.grab().save(
                        QStringLiteral("%1/least-%2-%3.png").arg(shots, language, protocol));
                }
                // The memory pane's texts are whole.
                for (QLabel* l : element<QWidget>(&window, "frFerixLst")->findChildren<QLabel*>()) {
                    if (l->isVisible() && !l->text().isEmpty()) {
                        QVERIFY2(l->width() >= l->minimumSizeHint().width(), qPrintable(l->text()));
                    }
                }
            }
        }
        loc::selectLanguage(loc::kEnglish);
    }

    void aFailedStartGoesToTheInformationBar() {
        Line line("3");
        line.store().write("Ports", "1", "/nonexistent/ttyFerix");
        FakeDialogs dialogs;
        frmDNC window(line.store(), 1, dialogs);
        window.Initialize();
        QTRY_VERIFY_WITH_TIMEOUT(!window.infoText().isEmpty(), kWait);
        QVERIFY(window.isVisible());
        QVERIFY(!window.communicating());
        QVERIFY(enabled(&window, "mnuSystemStart"));
        QVERIFY(enabled(&window, "mnuSystemStop"));  // it stops the retries
        QVERIFY(element<QLabel>(&window, "LineState")
                    ->toolTip()
                    .startsWith(QStringLiteral("Line retrying: ")));
        QVERIFY(dialogs.boxes.empty());  // no box at start-up
        // From the menu the same failure is a box titled "Error...", and the operator's own
        // start is not tried again.
        element<QAction>(&window, "mnuSystemStart")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!dialogs.boxes.empty(), kWait);
        QCOMPARE(dialogs.boxes.back().title, QStringLiteral("Error..."));
        QVERIFY(!window.lineRetrying());
        QVERIFY(element<QLabel>(&window, "LineState")
                    ->toolTip()
                    .startsWith(QStringLiteral("Line stopped: ")));
    }

    void aLineThatFailedAtTheStartIsTriedAgainUntilItsPortIsThere() {
        Line line("3", true);
        const std::string device = line.store().section("Ports").readString("1", "");
        const fs::path later = line.root().parent_path() / "ttyLater";
        line.store().write("Ports", "1", later.string());
        FakeDialogs dialogs;
        frmDNC::Options options;
        options.lineRetry = std::chrono::milliseconds(20);
        frmDNC window(line.store(), 1, dialogs, options);
        window.Initialize();
        auto* state = element<QLabel>(&window, "LineState");
        QTRY_VERIFY_WITH_TIMEOUT(state->toolTip().startsWith(QStringLiteral("Line retrying: ")),
                                 kWait);
        QVERIFY(state->toolTip().contains(QString::fromStdString(later.string())));
        QVERIFY(window.lineRetrying());
        fs::create_symlink(device, later);  // the port is there now
        QTRY_VERIFY_WITH_TIMEOUT(window.communicating(), kWait);
        QCOMPARE(state->text(), QStringLiteral("Line running"));
        QVERIFY(!window.lineRetrying());
        QVERIFY(dialogs.boxes.empty());

        // Stopping the line ends the retries.
        Line gone("3");
        gone.store().write("Ports", "1", "/nonexistent/ttyFerix");
        frmDNC other(gone.store(), 1, dialogs, options);
        other.Initialize();
        QTRY_VERIFY_WITH_TIMEOUT(other.lineRetrying(), kWait);
        element<QAction>(&other, "mnuSystemStop")->trigger();
        QVERIFY(!other.lineRetrying());
        QVERIFY(element<QLabel>(&other, "LineState")
                    ->toolTip()
                    .startsWith(QStringLiteral("Line stopped: ")));
    }

    // Records the server did not take wait in the spool: the status bar tells how many until
    // the server has them all, and then says nothing.
    void theStatusBarTellsHowFarTheSharedHistoryIsBehind() {
        Line line("3");
        std::atomic<bool> serverUp{false};
        dnc::history::RecorderOptions recording;
        recording.database = "postgresql://db.plant/history";
        recording.spool = line.root().parent_path() / "spool.sqlite";
        recording.spoolRetry = std::chrono::milliseconds(20);
        recording.open = [&serverUp] { return std::make_unique<SwitchedWriter>(serverUp); };
        dnc::history::HistoryRecorder recorder(recording);
        FakeDialogs dialogs;
        frmDNC::Options options;
        options.journal = &recorder;
        options.historyBehind = [&recorder] { return recorder.behind(); };
        frmDNC window(line.store(), 1, dialogs, options);
        window.Initialize();
        window.show();
        auto* behind = element<QLabel>(&window, "HistoryBehind");
        QVERIFY(!behind->isVisible());
        for (int n = 0; n < 3; ++n) {
            dnc::history::TransferRecord record;
            record.time = std::chrono::system_clock::now();
            record.name = "P" + std::to_string(n) + ".WTX";
            recorder.record(record);
        }
        recorder.flush();
        QCOMPARE(recorder.behind(), 3u);
        QTRY_COMPARE_WITH_TIMEOUT(behind->text(),
                                  QStringLiteral("Shared history behind by 3 records"), kWait);
        QVERIFY(behind->isVisible());
        QCOMPARE(behind->accessibleName(), behind->text());
        serverUp = true;
        QTRY_VERIFY_WITH_TIMEOUT(!behind->isVisible(), kWait);
        QCOMPARE(behind->text(), QString());
        QCOMPARE(recorder.behind(), 0u);
    }

    void errorsOfUnitsGoToTheBarAndTheLastErrorBox() {
        Line line("4");
        FakeDialogs dialogs;
        frmDNC window(line.store(), 1, dialogs);
        window.Initialize();
        window.show();
        auto* bar = element<QLabel>(&window, "InfoBar");
        QTest::mouseClick(bar, Qt::LeftButton);
        QCOMPARE(dialogs.boxes.size(), size_t{1});
        QCOMPARE(dialogs.boxes.back().text, QStringLiteral("No Error..."));
        window.subNet()->postQuery([](comm::ctrlFerixComm& c) {
            c.site().OnError(false, "Block not acknowledged.", "", 0);
        });
        QTRY_COMPARE_WITH_TIMEOUT(window.infoText(),
                                  QStringLiteral("Error: Block not acknowledged."), kWait);
        QCOMPARE(dialogs.boxes.size(), size_t{1});  // the unattended service opens no box
        QTest::mouseClick(bar, Qt::LeftButton);
        QCOMPARE(dialogs.boxes.back().title, QStringLiteral("Last Error"));
        QCOMPARE(dialogs.boxes.back().text, QStringLiteral("Block not acknowledged."));
        window.subNet()->postQuery([](comm::ctrlFerixComm& c) {
            c.site().OnError(true, "Request not accepted (timeout).", "Dnc.hlp", 7);
        });
        QTRY_COMPARE_WITH_TIMEOUT(dialogs.boxes.size(), size_t{3}, kWait);
        QCOMPARE(dialogs.boxes.back().title, QStringLiteral("Error..."));
        QCOMPARE(dialogs.boxes.back().helpFile, QStringLiteral("Dnc.hlp"));
        window.showInformation(QStringLiteral("Stored value out of range"));
        QCOMPARE(window.infoText(), QStringLiteral("Stored value out of range"));

        // The keyboard reaches the bar with Tab; Enter and Space open the last error, and so
        // does the Help menu.
        QVERIFY(QTest::qWaitForWindowActive(&window));
        element<QWidget>(&window, "listDir")->setFocus(Qt::TabFocusReason);
        for (int i = 0; i < 100 && !bar->hasFocus(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QVERIFY(bar->hasFocus());
        const size_t boxes = dialogs.boxes.size();
        QTest::keyClick(bar, Qt::Key_Space);
        QTest::keyClick(bar, Qt::Key_Return);
        QCOMPARE(dialogs.boxes.size(), boxes + 2);
        QCOMPARE(dialogs.boxes.back().title, QStringLiteral("Last Error"));
        element<QAction>(&window, "mnuHelpLastError")->trigger();
        QCOMPARE(dialogs.boxes.size(), boxes + 3);
        QCOMPARE(dialogs.boxes.back().title, QStringLiteral("Last Error"));
    }

    void aPlainReceiveStoppedBeforeAnyByteKeepsTheFileAndSaysSo() {
        Line line("4");
        FakeDialogs dialogs;
        frmDNC window(line.store(), 1, dialogs);
        window.Initialize();
        window.show();
        QTRY_VERIFY_WITH_TIMEOUT(window.communicating(), kWait);
        const fs::path bracket = line.root() / "Machine1" / "BRACKET.WTX";
        const auto before = fs::file_size(bracket);
        auto* stop = element<QPushButton>(&window, "cmdStop");
        for (const char* name : {"BRACKET.WTX", "NEW.WTX"}) {
            element<QLineEdit>(&window, "txtFerixFileName")->setText(QString::fromLatin1(name));
            window.actTransferFerixPC();
            QTRY_VERIFY_WITH_TIMEOUT(stop->isVisible(), kWait);
            stop->click();
            QTRY_COMPARE_WITH_TIMEOUT(window.infoText(),
                                      QString::fromLatin1(name) +
                                          QStringLiteral(": nothing received, no file was stored."),
                                      kWait);
            QVERIFY(!stop->isVisible());
        }
        QCOMPARE(fs::file_size(bracket), before);
        QVERIFY(!fs::exists(line.root() / "Machine1" / "NEW.WTX"));
        QVERIFY(dialogs.boxes.empty());
    }

    void aUnitsOwnTransfersAreNamedAndAMissingProgramIsAnError() {
        Line line("3", true);
        FakeDialogs dialogs;
        frmDNC window(line.store(), 1, dialogs);
        QVERIFY(showUnitWithItsMemory(window, 1));
        using sim::unit::RequestSpec;
        using sim::unit::UnitEvent;
        QStringList seen;
        QTimer watch;
        connect(&watch, &QTimer::timeout, [&] {
            if (seen.isEmpty() || seen.back() != window.infoText()) {
                seen << window.infoText();
            }
        });
        watch.start(1);
        line.withUnits([](sim::unit::UnitSimulator& u) {
            u.unit(2)->raise(RequestSpec::download("SHAFT", 1));
        });
        QTRY_VERIFY_WITH_TIMEOUT(!line.eventsOf(UnitEvent::ProgramReceived, "SHAFT").empty(),
                                 kWait);
        QTRY_VERIFY_WITH_TIMEOUT(seen.contains(QStringLiteral("Ferix 2: sending SHAFT.WTX")),
                                 kWait);
        // A program that is not there: the unit hears of the failure, the bar names the unit.
        line.withUnits([](sim::unit::UnitSimulator& u) {
            u.unit(1)->raise(RequestSpec::download("NONE", 1));
        });
        QTRY_VERIFY_WITH_TIMEOUT(window.infoText().startsWith(QStringLiteral("Error: Ferix 1: ")),
                                 kWait);
        QVERIFY2(window.infoText().contains(QStringLiteral("No such file or directory")),
                 qPrintable(window.infoText()));
        const auto answered = line.eventsOf(UnitEvent::ProgramReceived, "NONE");
        QCOMPARE(answered.size(), size_t{1});
        QCOMPARE(answered.front().status, 3);
        QVERIFY(!element<QWidget>(&window, "ProgressBar")->isVisible());
        QVERIFY(dialogs.boxes.empty());
    }

    void showStopSwitchesTheProtocolsCommands() {
        Line line("1");  // ProtFerix: the unit commands keep their state
        FakeDialogs dialogs;
        frmDNC window(line.store(), 1, dialogs);
        window.Initialize();
        window.show();
        auto* stop = element<QPushButton>(&window, "cmdStop");
        window.subNet()->postQuery([](comm::ctrlFerixComm& c) { c.site().ShowStop(true, 0); });
        QTRY_VERIFY_WITH_TIMEOUT(stop->isVisible(), kWait);
        QCOMPARE(stop->geometry(), element<QPushButton>(&window, "cmdTransferPCFerix")->geometry());
        for (const char* off :
             {"cmdTransferPCFerix", "cmdTransferFerixPC", "mnuTransferFerixPC",
              "mnuTransferPCFerix", "btnStopCommunication", "btnStartCommunication"}) {
            QVERIFY2(!enabled(&window, off), off);
        }
        QVERIFY(enabled(&window, "mnuFerixInit"));
        QVERIFY(enabled(&window, "mnuTransferLst"));
        window.subNet()->postQuery([](comm::ctrlFerixComm& c) { c.site().ShowStop(false, 0); });
        QTRY_VERIFY_WITH_TIMEOUT(!stop->isVisible(), kWait);
        QVERIFY(enabled(&window, "mnuTransferPCFerix"));
        QVERIFY(enabled(&window, "btnStartCommunication"));

        Line dncLine("3");
        frmDNC dnc(dncLine.store(), 1, dialogs);
        dnc.Initialize();
        dnc.show();
        dnc.subNet()->postQuery([](comm::ctrlFerixComm& c) { c.site().ShowStop(true, 1); });
        auto* dncStop = element<QPushButton>(&dnc, "cmdStop");
        QTRY_VERIFY_WITH_TIMEOUT(dncStop->isVisible(), kWait);
        QCOMPARE(dncStop->geometry(), element<QPushButton>(&dnc, "cmdTransferFerixPC")->geometry());
        QVERIFY(!enabled(&dnc, "mnuFerixInit"));
        QVERIFY(!enabled(&dnc, "btnFerixLst"));
        QVERIFY(!enabled(&dnc, "btnClearMemory"));
        QVERIFY(enabled(&dnc, "btnRemove"));
    }

    void theSelectionSummaryAddsSizes() {
        Line line("4");
        FakeDialogs dialogs;
        frmDNC window(line.store(), 1, dialogs);
        window.Initialize();
        auto* list = element<QListWidget>(&window, "listDir");
        selectRows(list, {0, 1});
        QCOMPARE(element<QLabel>(&window, "lblDirSelFile")->text(),
                 QStringLiteral("Selected 2 files, "));
        QCOMPARE(element<QLabel>(&window, "lblDirSelSize")->text(), QStringLiteral("1024"));
        selectRows(list, {2});
        QCOMPARE(element<QLabel>(&window, "lblDirSelFile")->text(), QStringLiteral("My Part.ncp"));
    }

    void aHeaderClickSortsTheListAndKeepsTheSelection() {
        Line line("4");
        // A.ncp (1000 bytes) is the newest, "My Part.ncp" (1 byte) the oldest.
        const auto age = [&line](const char* name, std::int64_t seconds) {
            const timespec times[2] = {{seconds, 0}, {seconds, 0}};
            return utimensat(AT_FDCWD, (line.programs() / name).c_str(), times, 0) == 0;
        };
        QVERIFY(age("A.ncp", 1700000300) && age("B.ncp", 1700000200) &&
                age("My Part.ncp", 1700000100));
        FakeDialogs dialogs;
        frmDNC window(line.store(), 1, dialogs);
        window.Initialize();
        window.show();
        auto* list = element<QListWidget>(&window, "listDir");
        auto* header = list->findChild<QHeaderView*>(QStringLiteral("header"));
        QVERIFY(header != nullptr && header->isVisible());
        QCOMPARE(header->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Size"));
        QVERIFY(!header->accessibleName().isEmpty());
        const auto click = [header](int section) {
            QTest::mouseClick(
                header->viewport(), Qt::LeftButton, {},
                QPoint(header->sectionViewportPosition(section) + header->sectionSize(section) / 2,
                       header->height() / 2));
        };
        const QStringList byName = {QStringLiteral("A.ncp"), QStringLiteral("B.ncp"),
                                    QStringLiteral("My Part.ncp")};
        QCOMPARE(texts(list), byName);
        selectRows(list, {1});  // B.ncp
        click(1);
        QCOMPARE(texts(list), (QStringList{QStringLiteral("My Part.ncp"), QStringLiteral("B.ncp"),
                                           QStringLiteral("A.ncp")}));
        QCOMPARE(list->currentItem()->text(), QStringLiteral("B.ncp"));
        QCOMPARE(list->selectedItems().size(), 1);
        QCOMPARE(element<QLabel>(&window, "lblDirSelFile")->text(), QStringLiteral("B.ncp"));
        QCOMPARE(header->sortIndicatorSection(), 1);
        click(1);  // the other way round
        QCOMPARE(texts(list), byName);
        QCOMPARE(header->sortIndicatorOrder(), Qt::DescendingOrder);
        click(2);  // by date, the oldest first
        QCOMPARE(texts(list), (QStringList{QStringLiteral("My Part.ncp"), QStringLiteral("B.ncp"),
                                           QStringLiteral("A.ncp")}));
        // A refresh keeps the order the operator chose.
        window.RefreshPCDirectory({});
        QCOMPARE(texts(list).first(), QStringLiteral("My Part.ncp"));
        click(0);
        QCOMPARE(texts(list), byName);
        // From the keyboard: the list's context menu sorts as the header does.
        auto* bySize = list->findChild<QAction*>(QStringLiteral("sortBy1"));
        QVERIFY(bySize != nullptr && list->actions().contains(bySize));
        QCOMPARE(bySize->text(), QStringLiteral("Sort by Si&ze"));
        bySize->trigger();
        QCOMPARE(texts(list).first(), QStringLiteral("My Part.ncp"));
        // The memory list has names and sizes only.
        auto* memoryHeader = element<QWidget>(&window, "listFerixLst")
                                 ->findChild<QHeaderView*>(QStringLiteral("header"));
        QCOMPARE(memoryHeader->count(), 2);
    }

    void aTavro1MachinesListingShowsNamesButNoMemoryFigures() {
        sim::PtyPair pty;
        sim::FdPeerLink peer(pty.masterFd());
        sim::MachineSettings settings;
        settings.keepLineEnds = true;  // Tavro1 with line ends as they are
        sim::HeidenhainMachine machine(peer, settings);
        machine.programs()["PLATE.H"] = "0 BEGIN PGM PLATE MM\r\n1 END PGM PLATE MM\r\n";
        std::atomic<bool> finishing{false};
        std::thread machineThread([&peer, &finishing] {
            peer.runUntil([&finishing] { return finishing.load(); }, std::chrono::minutes(2));
        });
        {
            Line line("5");
            line.store().write("Ports", "1", pty.devicePath());
            FakeDialogs dialogs;
            frmDNC window(line.store(), 1, dialogs);
            QVERIFY(showUnitWithItsMemory(window, 1));
            auto* memory = element<QListWidget>(&window, "listFerixLst");
            QTRY_VERIFY_WITH_TIMEOUT(
                !memory->findItems(QStringLiteral("PLATE"), Qt::MatchStartsWith).isEmpty(), kWait);
            for (const char* figure : {"lblFree", "lblFerixFreeMem", "lblFreeBytes", "lblSection",
                                       "lblFerixMemSection"}) {
                QVERIFY2(!element<QWidget>(&window, figure)->isVisible(), figure);
            }
            QVERIFY(element<QWidget>(&window, "lblFerixLstSelFile")->isVisible());
            QVERIFY(!element<QWidget>(&window, "lblFerixNotReady")->isVisible());
            window.close();
        }
        finishing = true;
        machineThread.join();
    }

    void aBatchRefreshesTheMemoryListOnceAtItsEnd() {
        Line line("3", true);
        FakeDialogs dialogs;
        frmDNC window(line.store(), 1, dialogs);
        window.Initialize();
        window.show();
        QTRY_VERIFY_WITH_TIMEOUT(window.communicating(), kWait);
        QSignalSpy shown(&window, &frmDNC::memoryListShown);
        window.selectUnit(1);
        QTRY_COMPARE_WITH_TIMEOUT(shown.count(), 1, kWait);
        window.takeEvents();
        QTest::qWait(200);
        shown.clear();
        selectRows(element<QListWidget>(&window, "listFerixDir"), {0, 1});
        window.actTransferPCFerix();
        QVERIFY(window.batchRunning());
        QTRY_VERIFY_WITH_TIMEOUT(!window.batchRunning(), kWait * 2);
        QTRY_COMPARE_WITH_TIMEOUT(shown.count(), 1, kWait);
        QVERIFY(line.unitHolds(1, "SHAFT"));
        QVERIFY(line.unitHolds(1, "BRACKET"));
        auto* memory = element<QListWidget>(&window, "listFerixLst");
        QTRY_COMPARE_WITH_TIMEOUT(memory->count(), 2, kWait);
        QTest::qWait(300);
        QCOMPARE(shown.count(), 1);  // the files' own changes were not refreshed one by one
        QVERIFY(!element<QLabel>(&window, "lblFerixLstChanged")->isVisible());
        QVERIFY(window.infoText().isEmpty());

        // Unit to PC: each file with its size from the memory list.
        fs::remove(line.root() / "Machine1" / "SHAFT.WTX");
        selectRows(memory, {0, 1});
        window.actTransferFerixPC();
        QTRY_VERIFY_WITH_TIMEOUT(fs::exists(line.root() / "Machine1" / "SHAFT.WTX"), kWait * 2);
    }

    void aUnitsOwnTransfersStayIntactWhileTheWindowRefreshesItsMemoryList() {
        Line line("3", true);
        const std::string upload = program("UPLOAD", 60);
        line.withUnits([&upload](sim::unit::UnitSimulator& u) {
            u.unit(1)->memory().store({"UPLOAD", 1, upload});
        });
        FakeDialogs dialogs;
        frmDNC window(line.store(), 1, dialogs);
        QVERIFY(showUnitWithItsMemory(window, 1));
        const std::size_t listingsBefore = line.listingsFetched();

        // The download ends with a memory change, which the window answers with a listing on
        // the line; the unit asks for its upload at the same time.
        using sim::unit::RequestSpec;
        using sim::unit::UnitEvent;
        line.withUnits([](sim::unit::UnitSimulator& u) {
            u.unit(1)->raise(RequestSpec::download("SHAFT", 1));
            u.unit(1)->raise(RequestSpec::upload("UPLOAD", 1));
        });
        QTRY_COMPARE_WITH_TIMEOUT(line.eventsOf(UnitEvent::ProgramSent, "UPLOAD").size(), size_t{1},
                                  kWait * 2);
        const fs::path stored = line.root() / "Machine1" / "UPLOAD.WTX";
        QTRY_VERIFY_WITH_TIMEOUT(fs::exists(stored), kWait);
        std::ifstream in(stored, std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(in), {}};
        QCOMPARE(bytes.size(), upload.size());
        QVERIFY(bytes == upload);
        const auto downloads = line.eventsOf(UnitEvent::ProgramReceived, "SHAFT");
        QCOMPARE(downloads.size(), size_t{1});
        QVERIFY(downloads.front().data == program("SHAFT", 20));
        QCOMPARE(line.eventsOf(UnitEvent::ProgramSent, "UPLOAD").front().status, 0);
        // The window's refresh after the download waited for the unit's upload to be served,
        // and nobody's request failed.
        QTRY_VERIFY_WITH_TIMEOUT(line.listingsFetched() > listingsBefore, kWait);
        const std::vector<std::string> order = line.withUnits([](sim::unit::UnitSimulator& u) {
            std::vector<std::string> names;
            for (const UnitEvent& e : u.eventsOf(UnitEvent::ProgramSent)) {
                names.push_back(e.name);
            }
            return names;
        });
        QCOMPARE(order.back(), std::string("$$$$$DIR"));
        QCOMPARE(order[order.size() - 2], std::string("UPLOAD"));
        QVERIFY(line.eventsOf(UnitEvent::NotServed, "UPLOAD").empty());
        QVERIFY(!window.infoText().startsWith(QStringLiteral("Error:")));
        QVERIFY(dialogs.boxes.empty());
    }

    void changeNoticesWaitingForTheLineGiveOneListing() {
        Line line("3", true);
        line.set("AutoFerixLstCont", "True");  // every notice refreshes, also inside a batch
        std::ofstream(line.root() / "Machine1" / "COVER.WTX", std::ios::binary)
            << program("COVER", 4);
        FakeDialogs dialogs;
        frmDNC window(line.store(), 1, dialogs);
        QVERIFY(showUnitWithItsMemory(window, 1));
        QTest::qWait(300);
        QSignalSpy shown(&window, &frmDNC::memoryListShown);
        const std::size_t listingsBefore = line.listingsFetched();

        // The batch holds the line; each file's memory change asks for a refresh meanwhile.
        auto* directory = element<QListWidget>(&window, "listFerixDir");
        QCOMPARE(directory->count(), 3);
        selectRows(directory, {0, 1, 2});
        window.actTransferPCFerix();
        QVERIFY(!window.batchRunning());
        QTRY_VERIFY_WITH_TIMEOUT(line.unitHolds(1, "COVER") && line.unitHolds(1, "SHAFT") &&
                                     line.unitHolds(1, "BRACKET"),
                                 kWait * 2);
        auto* memory = element<QListWidget>(&window, "listFerixLst");
        QTRY_COMPARE_WITH_TIMEOUT(memory->count(), 3, kWait);
        QTest::qWait(1500);  // room for any further listing to show up
        QCOMPARE(line.listingsFetched() - listingsBefore, size_t{1});
        QCOMPARE(shown.count(), 1);
        QVERIFY(window.infoText().isEmpty());

        // A notice after that refresh began is a change of its own: it is listed again.
        window.subNet()->postQuery([](comm::ctrlFerixComm& c) { c.site().FerixMemChanged(1); });
        QTRY_COMPARE_WITH_TIMEOUT(shown.count(), 2, kWait);
        QCOMPARE(line.listingsFetched() - listingsBefore, size_t{2});
    }

    void theWindowsTransfersAreRecordedAndItsHistoryShowsThem() {
        Line line("3", true);
        line.set("Editor", "/bin/true");
        const fs::path db = line.root().parent_path() / "history.db";
        dnc::history::RecorderOptions recording;
        recording.database = db;
        recording.keepPrograms = true;
        dnc::history::HistoryRecorder recorder(recording);
        FakeDialogs dialogs;
        frmDNC::Options options;
        options.journal = &recorder;
        options.history = db;
        frmDNC window(line.store(), 1, dialogs, options);
        window.Initialize();
        window.show();
        QTRY_VERIFY_WITH_TIMEOUT(window.communicating(), kWait);
        window.selectUnit(1);
        auto* files = element<QListWidget>(&window, "listFerixDir");
        QTRY_COMPARE_WITH_TIMEOUT(files->count(), 2, kWait);
        selectRows(files, {1});
        QCOMPARE(files->item(1)->text(), QStringLiteral("SHAFT.WTX"));
        window.actTransferPCFerix();
        QTRY_VERIFY_WITH_TIMEOUT(!window.batchRunning(), kWait * 2);
        QVERIFY(line.unitHolds(1, "SHAFT"));
        recorder.flush();

        // The Transfers menu opens the view once; it shows the unit's transfer.
        auto* item = window.findChild<QAction*>(QStringLiteral("mnuTransferHistory"));
        QVERIFY(item != nullptr);
        QCOMPARE(item->text(), QStringLiteral("Transfer &history..."));
        item->trigger();
        dnc::window::HistoryView* view = window.historyView();
        QVERIFY(view != nullptr);
        QTRY_VERIFY_WITH_TIMEOUT(!view->loading() && !view->rows().empty(), kWait);
        item->trigger();
        QCOMPARE(window.findChildren<dnc::window::HistoryView*>().size(), 1);
        const dnc::history::HistoryRow& row = view->rows().front();
        QCOMPARE(row.unit, 1);
        QCOMPARE(row.direction, dnc::history::Direction::ToUnit);
        QCOMPARE(row.startedBy, dnc::history::StartedBy::Operator);
        // Recorded under the user at the window, the one this process runs as.
        const passwd* self = ::getpwuid(::getuid());
        QCOMPARE(row.user,
                 std::string(self != nullptr ? self->pw_name : std::to_string(::getuid())));
        QCOMPARE(row.outcome, dnc::history::Outcome::Done);
        std::ifstream in(line.root() / "Machine1" / "SHAFT.WTX", std::ios::binary);
        const std::string sent((std::istreambuf_iterator<char>(in)), {});
        QVERIFY(row.sha256.has_value());
        QCOMPARE(*row.sha256, dnc::history::sha256Hex(sent));

        // The kept program opens read-only in the window's editor.
        QVERIFY(row.kept);
        const std::size_t started = dialogs.started.size();
        view->openRow(0);
        QCOMPARE(dialogs.started.size(), started + 1);
        QCOMPARE(dialogs.started.back().front(), QStringLiteral("/bin/true"));
        const fs::path copy = dialogs.started.back().at(1).toStdString();
        std::ifstream kept(copy, std::ios::binary);
        QCOMPARE(std::string((std::istreambuf_iterator<char>(kept)), {}), sent);
        fs::remove(copy);

        // Selecting another unit in the window filters the view to it.
        window.selectUnit(2);
        QTRY_VERIFY_WITH_TIMEOUT(!view->loading() && view->rows().empty(), kWait);
    }

    void aUnitThatDoesNotAnswerIsNotReady() {
        Line line("3", true);
        line.set("Connected3", "True");  // configured, but nobody answers at address 3
        line.set("FerixDir3", "Machine1/");
        FakeDialogs dialogs;
        frmDNC window(line.store(), 1, dialogs);
        window.Initialize();
        window.show();
        QTRY_VERIFY_WITH_TIMEOUT(window.communicating(), kWait);
        window.selectUnit(3);
        QTRY_VERIFY_WITH_TIMEOUT(element<QLabel>(&window, "lblFerixNotReady")->isVisible(), kWait);
        QVERIFY(!element<QLabel>(&window, "lblFree")->isVisible());
        QVERIFY(!element<QLabel>(&window, "lblFerixNotSelected")->isVisible());
        QCOMPARE(element<QListWidget>(&window, "listFerixLst")->count(), 0);
        QVERIFY(dialogs.boxes.empty());  // the memory list's failure is the unit's side
        // The window stays usable: another unit's list comes in.
        window.selectUnit(2);
        QTRY_COMPARE_WITH_TIMEOUT(element<QListWidget>(&window, "listFerixLst")->count(), 1, kWait);
        QVERIFY(!element<QLabel>(&window, "lblFerixNotReady")->isVisible());
    }

    void deletingAsksFirstAndPurgeTellsTheBar() {
        Line line("3", true);
        FakeDialogs dialogs;
        frmDNC window(line.store(), 1, dialogs);
        window.Initialize();
        window.show();
        QTRY_VERIFY_WITH_TIMEOUT(window.communicating(), kWait);
        QSignalSpy shown(&window, &frmDNC::memoryListShown);
        window.selectUnit(2);
        auto* memory = element<QListWidget>(&window, "listFerixLst");
        QTRY_COMPARE_WITH_TIMEOUT(memory->count(), 1, kWait);
        selectRows(memory, {0});
        dialogs.answers = {false};
        window.actRemove();
        QCOMPARE(
            dialogs.questions.back(),
            QStringLiteral("Do You Really Want to Delete the Selected Files from Ferix Memory?"));
        QVERIFY(!window.batchRunning());  // No: nothing sent
        dialogs.answers = {true};
        window.actRemove();
        QTRY_VERIFY_WITH_TIMEOUT(!line.unitHolds(2, "GEAR"), kWait);
        QTRY_COMPARE_WITH_TIMEOUT(memory->count(), 0, kWait);

        // File Select without a current entry does nothing, not even ask.
        const auto asked = dialogs.questions.size();
        window.runUnitCommand(dnc::window::UnitCommand::SelectFile);
        QCOMPARE(dialogs.questions.size(), asked);
        dialogs.answers = {false};
        window.runUnitCommand(dnc::window::UnitCommand::Reset);
        QCOMPARE(dialogs.questions.back(), QStringLiteral("Do You Really Want to Reset Ferix?"));
        dialogs.answers = {true};
        window.runUnitCommand(dnc::window::UnitCommand::PurgeMemory);
        QCOMPARE(window.infoText(), QStringLiteral("Memory Purge ..."));
    }

    void closingReleasesThePortBeforeStoringAnything() {
        Line line("3", true);
        FakeDialogs dialogs;
        auto checked = std::make_shared<std::atomic<int>>(0);  // 1: store clean at close, 2: not
        dnc::ConfigStore* store = &line.store();
        class WatchedPort : public comm::PosixSerialPort {
        public:
            WatchedPort(dnc::ConfigStore* store, std::shared_ptr<std::atomic<int>> checked)
                : store_(store), checked_(std::move(checked)) {}
            void close() override {
                if (isOpen() && *checked_ == 0) {
                    const bool written = store_->section("Config1").find("DirPattern").has_value();
                    *checked_ = written ? 2 : 1;
                }
                comm::PosixSerialPort::close();
            }

        private:
            dnc::ConfigStore* store_;
            std::shared_ptr<std::atomic<int>> checked_;
        };
        frmDNC::Options options;
        options.ports = [store, checked] { return std::make_unique<WatchedPort>(store, checked); };
        auto window = std::make_unique<frmDNC>(line.store(), 1, dialogs, options);
        window->Initialize();
        window->show();
        QTRY_VERIFY_WITH_TIMEOUT(window->communicating(), kWait);
        window->selectUnit(1);
        QSignalSpy closed(window.get(), &frmDNC::subNetClosed);
        window->close();
        QCOMPARE(closed.count(), 1);
        QCOMPARE(checked->load(), 1);
        const dnc::StoreSection section = line.store().section("Config1");
        QCOMPARE(section.readString("DirPattern", ""), std::string("*.*"));
        QCOMPARE(section.readString("listDirPath1", ""), line.programs().string());
        QVERIFY(section.find("Width").has_value());
        QVERIFY(section.find("LeftSize").has_value());
        QCOMPARE(section.readString("Caption", ""), std::string("Hall A"));
    }

    void thePlainSendsPromptIsAskedHereAndClosingAnswersIt() {
        Line line("4");
        FakeDialogs dialogs;
        frmDNC window(line.store(), 1, dialogs);
        window.Initialize();
        window.show();
        QTRY_VERIFY_WITH_TIMEOUT(window.communicating(), kWait);
        selectRows(element<QListWidget>(&window, "listFerixDir"), {0});
        window.actTransferPCFerix();
        QTRY_VERIFY_WITH_TIMEOUT(!dialogs.boxes.empty(), kWait);
        QCOMPARE(dialogs.boxes.back().text, QStringLiteral("Get Ferix ready for file receive..."));
        QCOMPARE(window.infoText(), QStringLiteral("File transfer BRACKET.WTX to Ferix ..."));

        // The operator closes the window while the prompt is open: the sub net must not wait on.
        Line second("4");
        FakeDialogs closing;
        auto other = std::make_unique<frmDNC>(second.store(), 1, closing);
        frmDNC* raw = other.get();
        closing.whileOpen = [raw](const QString& text) {
            if (text.startsWith(QStringLiteral("Get Ferix ready"))) {
                raw->close();
            }
        };
        other->Initialize();
        other->show();
        QTRY_VERIFY_WITH_TIMEOUT(other->communicating(), kWait);
        selectRows(element<QListWidget>(other.get(), "listFerixDir"), {0});
        other->actTransferPCFerix();
        QTRY_VERIFY_WITH_TIMEOUT(other->closed(), kWait);
        QVERIFY(second.store().section("Config1").find("DirPattern").has_value());
    }

    void theEditorGetsThePathWholeOrAClearMessage() {
        Line line("4");
        line.set("Editor", "/no/such/editor");
        FakeDialogs dialogs;
        frmDNC window(line.store(), 1, dialogs);
        window.Initialize();
        auto* list = element<QListWidget>(&window, "listDir");
        list->setCurrentRow(2);
        window.editSourceProgram();
        QCOMPARE(dialogs.boxes.back().text, QStringLiteral("File not found: /no/such/editor"));
        QVERIFY(dialogs.started.empty());

        Line second("4");
        second.set("Editor", "/bin/true");
        frmDNC other(second.store(), 1, dialogs);
        other.Initialize();
        element<QListWidget>(&other, "listDir")->setCurrentRow(2);
        other.editSourceProgram();
        QCOMPARE(dialogs.started.back(),
                 (QStringList{"/bin/true", QString::fromStdString(
                                               (second.programs() / "My Part.ncp").string())}));
        element<QListWidget>(&other, "listFerixDir")->setCurrentRow(0);
        other.editFerixProgram();
        QCOMPARE(dialogs.started.back().at(1),
                 QString::fromStdString((second.root() / "Machine1" / "BRACKET.WTX").string()));
    }

    void thePcDirectoryBoxAndPicker() {
        Line line("4");
        FakeDialogs dialogs;
        frmDNC window(line.store(), 1, dialogs);
        window.Initialize();
        const QString before = window.listDirPath(1);
        dialogs.directory.reset();
        element<QPushButton>(&window, "cmdChangeDir")->click();
        QCOMPARE(dialogs.directoryStart, before);
        QCOMPARE(window.listDirPath(1), before);  // cancelled: unchanged
        auto* path = element<QLineEdit>(&window, "txtListDirPath");
        path->setText(QString::fromStdString(line.root().string() + "/Machine1/"));
        QTest::keyClick(path, Qt::Key_Return);
        QCOMPARE(window.listDirPath(1),
                 QString::fromStdString((line.root() / "Machine1").string()));
        QCOMPARE(path->text(), window.listDirPath(1));
        QCOMPARE(element<QListWidget>(&window, "listDir")->count(), 2);
    }

    void aMissingUnitDirectoryIsNamed() {
        Line line("4");
        line.set("FerixDir1", "Nowhere/");
        FakeDialogs dialogs;
        frmDNC window(line.store(), 1, dialogs);
        window.Initialize();
        QVERIFY(!dialogs.boxes.empty());
        QCOMPARE(dialogs.boxes.back().text,
                 QString::fromStdString("Ferix directory doesn't exists. Check configuration.\n(" +
                                        line.root().string() + "/Nowhere/)"));
        QCOMPARE(element<QListWidget>(&window, "listFerixDir")->count(), 0);
    }

    void germanAndAccessibleNames() {
        Line line("3");
        line.store().write("Common", "LangID", "1031");
        FakeDialogs dialogs;
        frmDNC window(line.store(), 1, dialogs);
        window.Initialize();
        QCOMPARE(element<QAction>(&window, "mnuTransfer")->text(),
                 QStringLiteral("&Übertragungen"));
        QCOMPARE(element<QLabel>(&window, "lblFerixNotSelected")->text(),
                 QStringLiteral("Ferix nicht gewählt"));
        QCOMPARE(element<QWidget>(&window, "listFerixDir")
                     ->findChild<QHeaderView*>(QStringLiteral("header"))
                     ->model()
                     ->headerData(1, Qt::Horizontal)
                     .toString(),
                 QStringLiteral("Größe"));
        // Qt's own texts and the date of a window opened in German are German too.
        QCOMPARE(QLocale().language(), QLocale::German);
        // The chain buttons read as input and output, not as on and off; purging the memory
        // has one word in the menu and in its question.
        QCOMPARE(window.configDialog()
                     ->findChild<QPushButton*>(QStringLiteral("cmdConversionsIn0"))
                     ->text(),
                 QStringLiteral("Eingang"));
        QVERIFY(element<QAction>(&window, "mnuFerixClearMemory")
                    ->text()
                    .contains(QStringLiteral("lee&ren")));
        QVERIFY(QString::fromStdString(loc::resString(415)).contains(QStringLiteral("leeren")));
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"),
                 QStringLiteral("Abbrechen"));
        loc::selectLanguage(loc::kEnglish);
        Line english("3");
        english.store().write("Common", "LangID", "1033");
        frmDNC window2(english.store(), 1, dialogs);
        window2.Initialize();
        QCOMPARE(QLocale().language(), QLocale::English);
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Cancel"));
        auto* bar = element<QToolBar>(&window2, "Toolbar");
        QWidget* button = bar->widgetForAction(element<QAction>(&window2, "btnFerixLst"));
        QCOMPARE(button->accessibleName(), QStringLiteral("Update Ferix Memory List"));
        QCOMPARE(element<QListWidget>(&window2, "listDir")->accessibleName(),
                 QStringLiteral("PC Programs"));
        QCOMPARE(element<QComboBox>(&window2, "comboFerixAdr")->accessibleName(),
                 QStringLiteral("Selected Ferix"));
        QVERIFY(!element<QWidget>(&window2, "listFerixLst")->parentWidget()->whatsThis().isEmpty());
    }

    void loadResStringsWalksAFormByKind() {
        loc::selectLanguage(loc::kEnglish);
        QMainWindow form;
        form.setProperty("tag", 1001);
        QMenu* menu = form.menuBar()->addMenu(QStringLiteral("1107"));
        QAction* exit = menu->addAction(QStringLiteral("1103"));
        QAction* separator = menu->addSeparator();
        auto* central = new QWidget(&form);
        auto* numbered = new QLabel(QStringLiteral("1130"), central);
        auto* plain = new QLabel(QStringLiteral("keep me"), central);
        auto* absent = new QLabel(central);
        absent->setProperty("tag", 1399);
        auto* groupBox = new QGroupBox(central);
        groupBox->setProperty("tag", 1131);
        groupBox->setProperty("toolTipTag", 1159);
        QToolBar* bar = form.addToolBar(QStringLiteral("t"));
        QAction* tool = bar->addAction(QStringLiteral("x"));
        tool->setToolTip(QStringLiteral("1159"));
        form.setCentralWidget(central);
        dnc::window::LoadResStrings(&form, dnc::window::programString);
        QCOMPARE(form.windowTitle(), QStringLiteral("About ..."));
        QCOMPARE(menu->title(), QStringLiteral("&Transfers"));
        QCOMPARE(exit->text(), QStringLiteral("E&xit"));
        QVERIFY(separator->isSeparator());
        QCOMPARE(numbered->text(), QStringLiteral("Selected Ferix"));
        QCOMPARE(plain->text(), QStringLiteral("keep me"));
        QCOMPARE(absent->text(), QString());
        QCOMPARE(groupBox->title(), QStringLiteral("PC Programs"));
        QCOMPARE(groupBox->toolTip(), QStringLiteral("Refresh"));
        QCOMPARE(tool->toolTip(), QStringLiteral("Refresh"));
        QCOMPARE(bar->widgetForAction(tool)->accessibleName(), QStringLiteral("Refresh"));
        // The numbers stay: a second walk in German finds them.
        loc::selectLanguage(loc::kGerman);
        dnc::window::LoadResStrings(&form, dnc::window::programString);
        QCOMPARE(numbered->text(), QStringLiteral("Gewählter Ferix"));
        loc::selectLanguage(loc::kEnglish);
    }

    void helpOpensTheManualOrAPageThatSaysWhereItIs() {
        const QString page = dnc::window::writeFallbackPage();
        QVERIFY(!page.isEmpty());
        QFile file(page);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().contains("docs/manual/index.html"));
        Line line("4");
        FakeDialogs dialogs;
        frmDNC window(line.store(), 1, dialogs);
        window.Initialize();
        window.showHelpContents();
        QCOMPARE(dialogs.opened.size(), size_t{1});
        QVERIFY(dialogs.opened.back().isLocalFile());
        QVERIFY(QFile::exists(dialogs.opened.back().toLocalFile()));
        QVERIFY(dialogs.boxes.empty());
    }

    void aboutBoxesShowVersionAndSayWhenNoToolIsThere() {
        loc::selectLanguage(loc::kEnglish);
        dnc::window::frmAboutDNC about(nullptr, [] { return false; });
        QCOMPARE(element<QLabel>(&about, "lblVersion")->text(), QStringLiteral("Version 1.0.0"));
        QCOMPARE(element<QLabel>(&about, "lblTitle")->text(), QStringLiteral("FerixDNC"));
        QSignalSpy unavailable(&about, &comm::widgets::AboutBox::systemInformationUnavailable);
        element<QPushButton>(&about, "cmdSysInfo")->click();
        QCOMPARE(unavailable.count(), 1);
        QCOMPARE(unavailable.at(0).at(0).toString(),
                 QStringLiteral("System Information is not Available at the Moment"));
        const auto control = comm::widgets::controlAboutTexts(loc::kEnglish);
        QCOMPARE(control.product, QStringLiteral("FerixComm"));
        QCOMPARE(control.caption, QStringLiteral("About control ..."));
        QVERIFY(control.version.startsWith(QStringLiteral("Version ")));
        QCOMPARE(control.unavailable,
                 QStringLiteral("System Information Is Unavailable At This Time"));
        QVERIFY(comm::widgets::controlAboutTexts(loc::kGerman).ok != QString());
    }
};

QTEST_MAIN(SubNetWindowTest)
#include "SubNetWindowTest.moc"
