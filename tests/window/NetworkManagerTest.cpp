// The network manager on the offscreen platform, with real sub nets on pseudo-terminals: the
// ticks follow the running sub nets and nothing else, a start of a running sub net does
// nothing, a sub net that closes itself is unticked, the flags are stored as the manager
// unloads, and the language menu stores a choice without changing the open windows.
#include <unistd.h>

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QtTest>
#include <filesystem>
#include <memory>
#include <vector>

#include "FakeDialogs.h"
#include "dnc/config/ConfigStore.h"
#include "dnc/config/SubNetConfiguration.h"
#include "dnc/window/config/frmConfigDNC.h"
#include "dnc/window/manager/frmDNCMain.h"
#include "localizing/lookup/ResourceStrings.h"
#include "sim/pty/PtyPair.h"

namespace fs = std::filesystem;
using dnc::window::frmDNCMain;

namespace {

// What the manager told the automation, in order.
class Recorder : public dnc::NetworkObserver {
public:
    void subNetStarted(int subNet) override { told.push_back("started " + std::to_string(subNet)); }
    void subNetClosed(int subNet) override { told.push_back("closed " + std::to_string(subNet)); }
    void subNetEvent(const dnc::SubNetEvent& event) override {
        if (event.kind == dnc::SubNetEvent::Kind::Closing) {
            told.push_back("closing " + std::to_string(event.subNet));
        }
        ++events;
    }
    std::vector<std::string> told;
    int events = 0;
};

// A store whose sub nets 1 to 3 have lines on pseudo-terminals.
class Network {
public:
    Network()
        : work_(fs::temp_directory_path() /
                ("ferix-manager-" + std::to_string(getpid()) + "-" + std::to_string(++count_))) {
        fs::remove_all(work_);
        fs::create_directories(work_);
        store_ = std::make_unique<dnc::ConfigStore>(work_ / "DNC.ini");
        for (int n = 1; n <= 3; ++n) {
            store_->write("Ports", std::to_string(n),
                          ptys_[static_cast<std::size_t>(n - 1)].devicePath());
            store_->write(dnc::subNetSection(n),
                          {{"Protocol", "3"}, {"FerixHomeDir", work_.string() + "/"}});
        }
        store_->write(dnc::subNetSection(2), "Caption", "Hall B");
    }
    ~Network() { fs::remove_all(work_); }

    dnc::ConfigStore& store() { return *store_; }
    // A fresh reading of the file, as the next start of the program sees it.
    dnc::StoreSection common() const {
        return dnc::ConfigStore(work_ / "DNC.ini").section("Common");
    }

private:
    static inline int count_ = 0;
    fs::path work_;
    sim::PtyPair ptys_[3];
    std::unique_ptr<dnc::ConfigStore> store_;
};

frmDNCMain::Options options(bool showInTaskbar = false, bool tray = false) {
    frmDNCMain::Options made;
    made.showInTaskbar = showInTaskbar;
    made.trayAvailable = tray;
    return made;
}

void setTick(frmDNCMain& manager, int subNet, bool ticked) {
    manager.list()->item(subNet - 1)->setCheckState(ticked ? Qt::Checked : Qt::Unchecked);
}

}  // namespace

class NetworkManagerTest : public QObject {
    Q_OBJECT

private slots:
    void anEmptyStoreListsSixteenSubNetsNoneTicked() {
        Network network;
        FakeDialogs dialogs;
        frmDNCMain manager(network.store(), dialogs, options());
        QTRY_VERIFY(manager.startedUp());
        QCOMPARE(manager.list()->count(), 16);
        QCOMPARE(manager.list()->item(0)->text(), QStringLiteral("Sub Net 1"));
        QCOMPARE(manager.list()->item(1)->text(), QStringLiteral("Hall B"));
        QCOMPARE(manager.list()->item(15)->text(), QStringLiteral("Sub Net 16"));
        for (int n = 1; n <= 16; ++n) {
            QVERIFY(!manager.isTicked(n));
            QVERIFY(!manager.isRunning(n));
        }
        QVERIFY(!manager.showInTaskbar());
        QCOMPARE(manager.windowTitle(), QStringLiteral("FerixDNC"));
        QVERIFY(manager.findChild<QPushButton*>(QStringLiteral("cmdStart")) != nullptr);
        // Nothing highlighted: the buttons do nothing.
        manager.list()->setCurrentRow(-1);
        manager.cmdStart();
        QVERIFY(!manager.isRunning(1));
    }

    void ticksMirrorTheRunningSubNetsAndAStartTwiceDoesNothing() {
        Network network;
        FakeDialogs dialogs;
        Recorder recorder;
        frmDNCMain manager(network.store(), dialogs, options());
        manager.setObserver(&recorder);
        QTRY_VERIFY(manager.startedUp());

        // A click on the tick of a sub net that does not run is put back.
        setTick(manager, 2, true);
        QVERIFY(!manager.isTicked(2));
        QVERIFY(!manager.isRunning(2));

        manager.highlight(2);
        manager.cmdStart();
        QVERIFY(manager.isRunning(2));
        QVERIFY(manager.isTicked(2));
        dnc::window::frmDNC* window = manager.subNetWindow(2);
        QVERIFY(window != nullptr);
        QVERIFY(window->isVisible());
        QVERIFY(manager.runningSubNet(2) != nullptr);
        QVERIFY(recorder.events > 0);  // the sub net's events reach the automation

        manager.cmdStart();
        manager.startSubNet(2);
        QCOMPARE(manager.subNetWindow(2), window);
        QCOMPARE(recorder.told, (std::vector<std::string>{"started 2"}));

        setTick(manager, 2, false);  // the tick of a running sub net stays
        QVERIFY(manager.isTicked(2));

        manager.cmdHide();
        QVERIFY(!window->isVisible());
        QVERIFY(manager.isRunning(2));
        manager.cmdShow();
        QVERIFY(window->isVisible());

        manager.cmdStop();
        QVERIFY(!manager.isRunning(2));
        QVERIFY(!manager.isTicked(2));
        QVERIFY(manager.subNetWindow(2) == nullptr);
        QVERIFY(manager.runningSubNet(2) == nullptr);
        QCOMPARE(recorder.told, (std::vector<std::string>{"started 2", "closing 2", "closed 2"}));
        // The sub net stored its configuration as it closed.
        QVERIFY(network.store().section(dnc::subNetSection(2)).find("DirPattern").has_value());
        manager.cmdStop();  // stopping what does not run does nothing
        QCOMPARE(recorder.told.size(), std::size_t{3});
        manager.setObserver(nullptr);
    }

    void aSubNetThatClosesItselfIsUntickedAndCanStartAgain() {
        Network network;
        FakeDialogs dialogs;
        Recorder recorder;
        frmDNCMain manager(network.store(), dialogs, options());
        manager.setObserver(&recorder);
        QTRY_VERIFY(manager.startedUp());
        manager.startSubNet(1);
        QVERIFY(manager.isTicked(1));
        manager.subNetWindow(1)->close();  // the operator's Exit in the sub-net window
        QVERIFY(!manager.isRunning(1));
        QVERIFY(!manager.isTicked(1));
        QVERIFY(manager.runningSubNet(1) == nullptr);
        QCOMPARE(recorder.told, (std::vector<std::string>{"started 1", "closing 1", "closed 1"}));
        const auto entries = manager.subNetEntries();
        QVERIFY(!entries[0].running);

        manager.startSubNet(1);
        QVERIFY(manager.isRunning(1));
        QVERIFY(manager.subNetWindow(1) != nullptr && !manager.subNetWindow(1)->closed());
        manager.setObserver(nullptr);
    }

    void aStopWhileTheSubNetWindowHasABoxOpenKeepsTheWindowUntilTheBoxIsGone() {
        Network network;
        FakeDialogs dialogs;
        frmDNCMain manager(network.store(), dialogs, options());
        QTRY_VERIFY(manager.startedUp());
        manager.startSubNet(1);
        QPointer<dnc::window::frmDNC> window = manager.subNetWindow(1);
        bool aliveInTheBox = false;
        dialogs.whileOpen = [&](const QString&) {
            manager.stopSubNet(1);  // a stop over D-Bus while the operator reads the box
            aliveInTheBox = !window.isNull();
        };
        window->actTransferPCFerix();  // nothing selected: a box
        QCOMPARE(dialogs.boxes.size(), std::size_t{1});
        QVERIFY(aliveInTheBox);
        QVERIFY(!manager.isRunning(1));
        QVERIFY(!manager.isTicked(1));
        QTRY_VERIFY(window.isNull());  // gone once the loop runs again
    }

    void flaggedSubNetsStartHiddenAndTheFlagsAreStoredAtExit() {
        Network network;
        network.store().write("Common", {{"3", "True"}, {"ShowInTaskbar", "False"}});
        FakeDialogs dialogs;
        {
            frmDNCMain manager(network.store(), dialogs, options(true));
            QVERIFY(manager.showInTaskbar());  // the command line wins over the stored value
            QVERIFY(!manager.isRunning(3));    // not before the window has loaded
            QTRY_VERIFY(manager.startedUp());
            QVERIFY(manager.isRunning(3));
            QVERIFY(manager.isTicked(3));
            QVERIFY(!manager.subNetWindow(3)->isVisible());
            const auto entries = manager.subNetEntries();
            QVERIFY(entries[2].startUp && entries[2].running);
            QCOMPARE(entries[1].caption, std::string("Hall B"));

            manager.highlight(3);
            QVERIFY(manager.findChild<QCheckBox*>(QStringLiteral("chkOnStartUp"))->isChecked());
            manager.highlight(1);
            QVERIFY(!manager.findChild<QCheckBox*>(QStringLiteral("chkOnStartUp"))->isChecked());
            manager.findChild<QCheckBox*>(QStringLiteral("chkOnStartUp"))->click();
            QVERIFY(manager.startUpFlag(1));
            QCOMPARE(network.common().readString("1", ""), std::string());  // only at exit

            manager.close();  // Exit: the running sub net closes, the flags are stored
            QVERIFY(manager.unloaded());
            QVERIFY(!manager.isRunning(3));
        }
        const dnc::StoreSection common = network.common();
        QCOMPARE(common.readString("1", ""), std::string("True"));
        QCOMPARE(common.readString("2", ""), std::string("False"));
        QCOMPARE(common.readString("3", ""), std::string("True"));
        QCOMPARE(common.readString("ShowInTaskbar", ""), std::string("True"));
        QVERIFY(network.store().section(dnc::subNetSection(3)).find("Width").has_value());
    }

    void minimizedItHidesOnlyWhereThereIsATray() {
        Network network;
        FakeDialogs dialogs;
        frmDNCMain withoutTray(network.store(), dialogs, options());
        withoutTray.show();
        QTRY_VERIFY(withoutTray.startedUp());
        QTest::qWait(50);
        QVERIFY(withoutTray.isVisible());  // nothing else would bring it back

        frmDNCMain withTray(network.store(), dialogs, options(false, true));
        withTray.show();
        QTRY_VERIFY(withTray.startedUp());
        QTRY_VERIFY(!withTray.isVisible());
        withTray.restore();
        QVERIFY(withTray.isVisible());
        QVERIFY(!withTray.isMinimized());
        withTray.setShowInTaskbar(true);
        withTray.showMinimized();
        QTest::qWait(50);
        QVERIFY(withTray.isVisible());  // with the taskbar button it stays there
        withTray.unload();
        withoutTray.unload();
    }

    void aCaptionChangedInTheConfigurationShowsInTheListAtOnce() {
        Network network;
        FakeDialogs dialogs;
        dialogs.answers = {true};
        frmDNCMain manager(network.store(), dialogs, options());
        QTRY_VERIFY(manager.startedUp());
        manager.startSubNet(2);
        dnc::window::frmDNC* window = manager.subNetWindow(2);
        window->actConfigDNC();
        dnc::window::frmConfigDNC* config = window->configDialog();
        QVERIFY(config->isVisible());
        config->findChild<QLineEdit*>(QStringLiteral("txtCaption"))
            ->setText(QStringLiteral("Hall C"));
        QVERIFY2(config->apply(),
                 dialogs.boxes.empty() ? "" : qPrintable(dialogs.boxes.back().text));
        QTRY_COMPARE(manager.list()->item(1)->text(), QStringLiteral("Hall C"));
        QVERIFY(manager.isTicked(2));
        manager.unload();
    }

    void theLanguageMenuStoresTheChoiceAndOpenWindowsKeepTheirs() {
        Network network;
        network.store().write("Common", "LangID", "1033");
        FakeDialogs dialogs;
        frmDNCMain manager(network.store(), dialogs, options());
        QTRY_VERIFY(manager.startedUp());
        const QList<QAction*> items = manager.languageItems();
        QCOMPARE(items.size(), 4);
        QCOMPARE(items[0]->text(), QStringLiteral("&Default language"));
        QCOMPARE(items[0]->data().toUInt(), 0u);
        QStringList names;
        for (int i = 1; i < items.size(); ++i) {
            names << items[i]->text();
        }
        QVERIFY(names.contains(QStringLiteral("English")));
        QVERIFY(names.contains(QStringLiteral("Deutsch")));
        QVERIFY(names.contains(QString::fromUtf8("Česky")));
        QAction* english = items[names.indexOf(QStringLiteral("English")) + 1];
        QAction* german = items[names.indexOf(QStringLiteral("Deutsch")) + 1];
        QCOMPARE(english->data().toUInt(), 1033u);
        QVERIFY(english->isChecked());
        QVERIFY(!items[0]->isChecked());

        manager.startSubNet(1);  // open before the choice: stays English
        german->trigger();
        QVERIFY(german->isChecked());
        QVERIFY(!english->isChecked());
        QCOMPARE(network.common().readString("LangID", ""), std::string("1031"));
        QCOMPARE(manager.findChild<QPushButton*>(QStringLiteral("cmdStart"))->text(),
                 QStringLiteral("O&n"));
        QCOMPARE(manager.subNetWindow(1)->findChild<QMenu*>(QStringLiteral("mnuEdit"))->title(),
                 QString::fromStdString(loc::resString(220, loc::kEnglish)));

        manager.startSubNet(2);  // opened after the choice: German
        QCOMPARE(manager.subNetWindow(2)->findChild<QMenu*>(QStringLiteral("mnuEdit"))->title(),
                 QString::fromStdString(loc::resString(220, loc::kGerman)));
        QVERIFY(loc::resString(220, loc::kGerman) != loc::resString(220, loc::kEnglish));
        manager.unload();
    }
};

QTEST_MAIN(NetworkManagerTest)
#include "NetworkManagerTest.moc"
