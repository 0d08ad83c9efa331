// The configuration dialog on the offscreen platform, opened from a real sub-net window whose
// control runs on its own thread (on a pseudo-terminal when the line is to run).
#include <unistd.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <cerrno>
#include <filesystem>
#include <memory>

#include "FakeDialogs.h"
#include "dnc/config/DeviceProbe.h"
#include "dnc/config/SubNetConfiguration.h"
#include "dnc/window/config/frmConfigDNC.h"
#include "dnc/window/frmDNC.h"
#include "localizing/lookup/ResourceStrings.h"
#include "sim/pty/PtyPair.h"

namespace fs = std::filesystem;
using dnc::window::frmConfigDNC;
using dnc::window::frmDNC;

namespace {

QString english(int id) {
    return QString::fromStdString(loc::resString(id));
}

// A sub net with a root, two unit directories and a line that runs (on a pseudo-terminal) or
// stays off (its device is missing).
class Site {
public:
    explicit Site(bool running)
        : work_(fs::temp_directory_path() /
                ("ferix-cfgdialog-" + std::to_string(getpid()) + "-" + std::to_string(++count_))) {
        fs::remove_all(work_);
        fs::create_directories(root() / "Machine1");
        fs::create_directories(root() / "Machine2");
        store_ = std::make_unique<dnc::ConfigStore>(work_ / "DNC.ini");
        store_->write("Ports", "1", running ? pty_.devicePath() : missingDevice());
        store_->write(dnc::subNetSection(1), {{"Caption", "Hall A"},
                                              {"CommSpeed", "9600"},
                                              {"Editor", "sh"},
                                              {"FerixHomeDir", rootText()},
                                              {"FerixDir1", "Machine1/"},
                                              {"FerixDir2", "Machine2/"},
                                              {"Connected1", "True"},
                                              {"Connected2", "True"}});
        window_ = std::make_unique<frmDNC>(*store_, 1, dialogs_);
        window_->Initialize();
        if (running) {
            QTRY_VERIFY_WITH_TIMEOUT(window_->communicating(), 20000);
        }
    }
    ~Site() {
        window_->close();
        window_.reset();
        fs::remove_all(work_);
    }

    fs::path root() const { return work_ / "DNC1"; }
    std::string rootText() const { return root().string() + "/"; }
    std::string missingDevice() const { return (work_ / "ttyUSB-gone").string(); }
    std::string ptyDevice() const { return pty_.devicePath(); }
    dnc::ConfigStore& store() { return *store_; }
    FakeDialogs& dialogs() { return dialogs_; }
    frmDNC& window() { return *window_; }
    frmConfigDNC& dialog() { return *window_->configDialog(); }

    // Opens the dialog as the operator does: the question answered Yes.
    frmConfigDNC& open() {
        dialogs_.answers.push_back(true);
        window_->actConfigDNC();
        return dialog();
    }
    template <typename R>
    R control(std::function<R(comm::ctrlFerixComm&)> query) {
        return window_->subNet()->call<R>(std::move(query));
    }

private:
    static inline int count_ = 0;
    fs::path work_;
    sim::PtyPair pty_;
    FakeDialogs dialogs_;
    std::unique_ptr<dnc::ConfigStore> store_;
    std::unique_ptr<frmDNC> window_;
};

template <typename T>
T* field(QWidget* dialog, const QString& name) {
    T* found = dialog->findChild<T*>(name);
    if (found == nullptr) {
        qFatal("no field %s", qPrintable(name));
    }
    return found;
}

QComboBox* combo(QWidget* d, const char* name) {
    return field<QComboBox>(d, QString::fromLatin1(name));
}
QLineEdit* edit(QWidget* d, const char* name) {
    return field<QLineEdit>(d, QString::fromLatin1(name));
}
QCheckBox* tick(QWidget* d, const QString& name) {
    return field<QCheckBox>(d, name);
}
QPushButton* button(QWidget* d, const QString& name) {
    return field<QPushButton>(d, name);
}
QString unit(const char* stem, int index) {
    return QString::fromLatin1(stem) + QString::number(index);
}

// The system, except that every device refuses this user.
class DeniedAccess : public dnc::DeviceAccess {
public:
    int open(const std::string&) override { return -EACCES; }
    bool isTerminal(int) override { return true; }
    bool lockedByAnother(int) override { return false; }
    bool lockFileHeld(const std::string&) override { return false; }
    void close(int) override {}
};

}  // namespace

class ConfigDialogTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { loc::selectLanguage(loc::kEnglish); }

    void theOperatorIsAskedFirstAndTheDialogShowsTheControl() {
        Site site(false);
        site.window().actConfigDNC();  // answered No
        QCOMPARE(site.dialogs().questions.back(), english(433));
        QVERIFY(!site.dialog().isVisible());
        // The menu item and the tool bar button ask the same.
        for (const char* name : {"mnuSystemConfigDNC", "btnConfigDNC"}) {
            auto* action = site.window().findChild<QAction*>(QString::fromLatin1(name));
            QVERIFY(action != nullptr);
            action->trigger();
        }
        QCOMPARE(site.dialogs().questions.size(), std::size_t{3});
        QCOMPARE(site.window().findChild<QAction*>(QStringLiteral("mnuSystemConfigDNC"))->text(),
                 english(211));
        QVERIFY(!site.dialog().isVisible());

        frmConfigDNC& d = site.open();
        QVERIFY(d.isVisible());
        QCOMPARE(d.windowTitle(), QStringLiteral("DNC Network Configuration"));
        auto* tabs = field<QTabWidget>(&d, QStringLiteral("tabs"));
        QCOMPARE(tabs->count(), 5);
        QCOMPARE(tabs->tabText(4), QStringLiteral("&Tavro1 and Heidenhain"));
        QCOMPARE(edit(&d, "txtCaption")->text(), QStringLiteral("Hall A"));
        QCOMPARE(combo(&d, "comboProtocol")->currentText(), QStringLiteral("Protokol DNC"));
        QCOMPARE(combo(&d, "comboProtocol")->count(), 5);
        QCOMPARE(combo(&d, "comboCommSpeed")->currentText(), QStringLiteral("9600"));
        QCOMPARE(combo(&d, "comboCommParity")->currentText(), QStringLiteral("N - není"));
        QCOMPARE(edit(&d, "txtCommXOnChar")->text(), QStringLiteral("17"));
        QCOMPARE(edit(&d, "txtFerixHomeDir")->text(), QString::fromStdString(site.rootText()));
        QCOMPARE(edit(&d, "txtFerixDir1")->text(), QStringLiteral("Machine2/"));
        QVERIFY(tick(&d, QStringLiteral("chkConnected1"))->isChecked());
        QVERIFY(!tick(&d, QStringLiteral("chkConnected2"))->isChecked());
        QVERIFY(!edit(&d, "txtFerixDir2")->isEnabled());
        QCOMPARE(combo(&d, "comboHeidenhainFileType")->count(), 0);
        QVERIFY(!d.changed());
        QVERIFY(!button(&d, QStringLiteral("cmdUse"))->isEnabled());

        edit(&d, "txtCaption")->setText(QStringLiteral("x"));
        QTest::keyClick(edit(&d, "txtCaption"), Qt::Key_A);  // an edit of the operator
        QVERIFY(d.changed());
        QVERIFY(button(&d, QStringLiteral("cmdUse"))->isEnabled());
    }

    void aRunningLineListsItsPortsWithoutStatesAndLocked() {
        Site site(true);
        frmConfigDNC& d = site.open();
        QComboBox* ports = combo(&d, "comboCommPort");
        QCOMPARE(ports->count(), 16);
        QVERIFY(!ports->isEnabled());
        QVERIFY(!combo(&d, "comboProtocol")->isEnabled());
        QCOMPARE(ports->currentText(),
                 QStringLiteral("Com 1: ") + QString::fromStdString(site.ptyDevice()));
        QCOMPARE(ports->itemText(1), QStringLiteral("Com 2: /dev/ttyS1"));
    }

    void aStoppedLineProbesEachPort() {
        Site site(false);
        frmConfigDNC& d = site.open();
        QComboBox* ports = combo(&d, "comboCommPort");
        QVERIFY(ports->isEnabled());
        QVERIFY(combo(&d, "comboProtocol")->isEnabled());
        QCOMPARE(ports->itemText(0), QStringLiteral("Com 1: ") +
                                         QString::fromStdString(site.missingDevice()) +
                                         QStringLiteral(" (not available)"));
        QCOMPARE(combo(&d, "comboPortDevice")->currentText(),
                 QString::fromStdString(site.missingDevice()));
        QVERIFY(field<QLabel>(&d, QStringLiteral("lblPortPermission"))->isHidden());

        // A device this user may not open (injected: the tests run as root).
        DeniedAccess denied;
        d.deviceAccess = &denied;
        d.fill();
        QVERIFY(ports->itemText(0).endsWith(QStringLiteral(" (no permission)")));
        QVERIFY(!field<QLabel>(&d, QStringLiteral("lblPortPermission"))->isHidden());
        d.deviceAccess = nullptr;
    }

    void choosingADeviceWritesThePortsSectionWhenApplied() {
        Site site(false);
        frmConfigDNC& d = site.open();
        QComboBox* device = combo(&d, "comboPortDevice");
        const sim::PtyPair other;
        device->setEditText(QString::fromStdString(other.devicePath()));
        emit device->lineEdit()->editingFinished();
        QVERIFY(d.changed());
        QCOMPARE(combo(&d, "comboCommPort")->itemText(0),
                 QStringLiteral("Com 1: ") + QString::fromStdString(other.devicePath()) +
                     QStringLiteral(" (free)"));
        QCOMPARE(site.store().section("Ports").readString("1", ""), site.missingDevice());
        QVERIFY(d.apply());
        QCOMPARE(site.store().section("Ports").readString("1", ""), other.devicePath());

        // A device that is no device name is refused, naming the field.
        device->setEditText(QStringLiteral("tcp://host-without-port"));
        emit device->lineEdit()->editingFinished();
        QVERIFY(!d.apply());
        QVERIFY(site.dialogs().boxes.back().text.startsWith(
            QStringLiteral("Com 1: Device of the port:")));
        QCOMPARE(site.store().section("Ports").readString("1", ""), other.devicePath());
    }

    void heidenhainSetsItsFramingAndLeavesUnitOneAlone() {
        Site site(false);
        frmConfigDNC& d = site.open();
        combo(&d, "comboCommHandshaking")->setCurrentIndex(2);
        tick(&d, QStringLiteral("chkConnected3"))->setChecked(true);
        combo(&d, "comboProtocol")->setCurrentText(QStringLiteral("Protokol Heidenhain"));
        QCOMPARE(combo(&d, "comboCommDataBit")->currentText(), QStringLiteral("7"));
        QCOMPARE(combo(&d, "comboCommParity")->currentData().toInt(), int('E'));
        QCOMPARE(combo(&d, "comboCommStopBit")->currentText(), QStringLiteral("2"));
        QCOMPARE(combo(&d, "comboCommHandshaking")->currentIndex(), 0);
        QVERIFY(tick(&d, QStringLiteral("chkConnected0"))->isChecked());
        QVERIFY(!tick(&d, QStringLiteral("chkConnected0"))->isEnabled());
        QVERIFY(edit(&d, "txtFerixDir0")->isEnabled());
        for (int i = 1; i < 10; ++i) {
            QVERIFY(!tick(&d, unit("chkConnected", i))->isChecked());
            QVERIFY(!tick(&d, unit("chkConnected", i))->isEnabled());
            QVERIFY(!edit(&d, qPrintable(unit("txtPrefix", i)))->isEnabled());
            QVERIFY(!button(&d, unit("cmdConversionsIn", i))->isEnabled());
        }
        QVERIFY(d.changed());

        // Back to DNC: every box usable; ticking unit 4 opens its fields, unticking shuts them.
        combo(&d, "comboProtocol")->setCurrentText(QStringLiteral("Protokol DNC"));
        QVERIFY(tick(&d, QStringLiteral("chkConnected1"))->isChecked());  // the line's own ticks
        QVERIFY(!tick(&d, QStringLiteral("chkConnected3"))->isChecked());
        QVERIFY(tick(&d, QStringLiteral("chkConnected3"))->isEnabled());
        tick(&d, QStringLiteral("chkConnected3"))->click();
        QVERIFY(edit(&d, "txtFerixDir3")->isEnabled());
        QVERIFY(button(&d, QStringLiteral("cmdChangeFerixDir3"))->isEnabled());
        QVERIFY(button(&d, QStringLiteral("cmdConversionsOut3"))->isEnabled());
        tick(&d, QStringLiteral("chkConnected3"))->click();
        QVERIFY(!edit(&d, "txtFerixDir3")->isEnabled());
    }

    void theFileTypeLetterSurvivesTheChangeFromTavro() {
        Site site(false);
        frmConfigDNC& d = site.open();
        QComboBox* type = combo(&d, "comboHeidenhainFileType");
        combo(&d, "comboProtocol")->setCurrentText(QStringLiteral("protokol Tavro1"));
        QCOMPARE(type->count(), 9);
        QCOMPARE(type->itemText(0), english(733));
        type->setCurrentIndex(2);
        QCOMPARE(type->currentText(), QStringLiteral("A (text in directory CMOS, partprograms)"));
        combo(&d, "comboProtocol")->setCurrentText(QStringLiteral("Protokol DNC"));
        QCOMPARE(type->count(), 0);
        QCOMPARE(type->currentText(), QStringLiteral("A"));
        combo(&d, "comboProtocol")->setCurrentText(QStringLiteral("protokol Tavro1"));
        QCOMPARE(type->currentIndex(), 2);
    }

    void applyingReachesTheRunningControlAndTheWindow() {
        Site site(true);
        frmConfigDNC& d = site.open();
        edit(&d, "txtCaption")->setText(QStringLiteral("Hall B"));
        edit(&d, "txtCommXOnChar")->setText(QStringLiteral("1"));
        edit(&d, "txtF4COPYTimeout")->setText(QStringLiteral("1234"));
        edit(&d, "txtWorkTextExt")->setText(QStringLiteral("NC"));
        tick(&d, QStringLiteral("chkConnected1"))->setChecked(false);
        tick(&d, QStringLiteral("chkAutoFerixLst"))->setChecked(false);
        QVERIFY(d.changed());
        QTest::mouseClick(button(&d, QStringLiteral("cmdUse")), Qt::LeftButton);
        QVERIFY(d.isVisible());  // Use keeps the dialog open
        QVERIFY(!d.changed());
        // ConfigChanged reached the window: its caption, its settings and its unit selector.
        QTRY_COMPARE(site.window().windowTitle(), QStringLiteral("FerixDNC Hall B"));
        QCOMPARE(site.control<std::string>([](comm::ctrlFerixComm& c) { return c.Caption(); }),
                 std::string("Hall B"));
        QCOMPARE(site.control<int>([](comm::ctrlFerixComm& c) { return c.CommXOnChar(); }), 1);
        QCOMPARE(site.control<int>([](comm::ctrlFerixComm& c) { return c.F4COPYTimeout(); }), 1234);
        QVERIFY(!site.control<bool>([](comm::ctrlFerixComm& c) { return c.StoredConnected(2); }));
        QVERIFY(site.control<bool>([](comm::ctrlFerixComm& c) { return c.Active(); }));
        QCOMPARE(site.window().settings().extensions[1], std::string("NC"));
        QVERIFY(!site.window().settings().autoFerixLst);
        QCOMPARE(combo(&site.window(), "comboFerixAdr")->count(), 1);

        edit(&d, "txtCaption")->setText(QStringLiteral("Hall C"));
        QTest::mouseClick(button(&d, QStringLiteral("cmdOK")), Qt::LeftButton);
        QVERIFY(!d.isVisible());  // OK closes after a good apply
        // Closed at once: the change still goes in before the configuration is stored.
        site.window().close();
        const auto section = site.store().section(dnc::subNetSection(1));
        QCOMPARE(section.readString("Caption", ""), std::string("Hall C"));
        QCOMPARE(section.readString("F4COPYTimeout", ""), std::string("1234"));
        QCOMPARE(section.readString("AutoFerixLst", ""), std::string("False"));
    }

    void numbersTakeDigitsOnlyAndARefusedFieldHasTheFocus() {
        Site site(false);
        frmConfigDNC& d = site.open();
        QLineEdit* timeout = edit(&d, "txtF4COPYTimeout");
        QLineEdit* repeats = edit(&d, "txtDNCMaxRepeatNo");
        timeout->clear();
        QTest::keyClicks(timeout, QStringLiteral("-5x12"));
        QCOMPARE(timeout->text(), QStringLiteral("512"));
        repeats->clear();
        QTest::keyClicks(repeats, QStringLiteral("-3"));
        QCOMPARE(repeats->text(), QStringLiteral("3"));
        // The speed takes a number of one's own, but only digits, and never 0 alone.
        QLineEdit* speed = combo(&d, "comboCommSpeed")->lineEdit();
        QVERIFY(speed != nullptr);
        speed->clear();
        QTest::keyClicks(speed, QStringLiteral("-1x9.2k00"));
        QCOMPARE(speed->text(), QStringLiteral("19200"));
        speed->clear();
        QTest::keyClicks(speed, QStringLiteral("0"));
        QVERIFY(!speed->hasAcceptableInput());
        speed->setText(QStringLiteral("9600"));
        auto* tabs = d.findChild<QTabWidget*>(QStringLiteral("tabs"));
        tabs->setCurrentIndex(0);
        timeout->setText(QStringLiteral("99999"));  // as pasted: out of range
        QVERIFY(!d.apply());
        QCOMPARE(d.focusWidget(), timeout);
        QCOMPARE(tabs->currentWidget(), d.findChild<QWidget*>(QStringLiteral("frDNC")));
    }

    void anUnknownUnitFolderIsOfferedForCreation() {
        Site site(false);
        frmConfigDNC& d = site.open();
        tick(&d, QStringLiteral("chkConnected5"))->setChecked(true);
        site.dialogs().answers = {true};
        QVERIFY(d.apply());
        QVERIFY(site.dialogs().questions.back().endsWith(QStringLiteral("Create the folder now?")));
        QVERIFY(fs::is_directory(site.rootText() + "Machine6/"));
    }

    void refusedValuesAreNamedAndNothingIsApplied() {
        Site site(false);
        frmConfigDNC& d = site.open();
        edit(&d, "txtCaption")->setText(QStringLiteral("Never"));
        const struct {
            const char* field;
            const char* text;
            const char* label;
        } cases[] = {{"txtCommXOnChar", "300", "XOn character (decimal):"},
                     {"txtCommXOffChar", "x", "XOff character (decimal):"},
                     {"txtF4COPYTimeout", "99999", "Timeout of F4 COPY (ms):"},
                     {"txtDNCMaxRepeatNo", "1.5", "Repeats of a block:"}};
        for (const auto& c : cases) {
            site.open();
            edit(&d, "txtCaption")->setText(QStringLiteral("Never"));
            edit(&d, c.field)->setText(QString::fromLatin1(c.text));
            QTest::mouseClick(button(&d, QStringLiteral("cmdOK")), Qt::LeftButton);
            QVERIFY(d.isVisible());  // the dialog stays open
            const QString box = site.dialogs().boxes.back().text;
            QVERIFY2(box.startsWith(QString::fromLatin1(c.label)), qPrintable(box));
            QVERIFY2(
                box.contains(QLatin1Char('"') + QString::fromLatin1(c.text) + QLatin1Char('"')),
                qPrintable(box));
        }
        QCOMPARE(site.control<std::string>([](comm::ctrlFerixComm& c) { return c.Caption(); }),
                 std::string("Hall A"));
    }

    void missingDirectoriesRefuseTheApplyAMissingEditorIsOnlyWarned() {
        Site site(false);
        frmConfigDNC& d = site.open();
        edit(&d, "txtFerixHomeDir")->setText(QString::fromStdString(site.rootText() + "none/"));
        QVERIFY(!d.apply());
        QCOMPARE(site.dialogs().boxes.back().text,
                 english(770) + QStringLiteral("\n(") +
                     QString::fromStdString(site.rootText() + "none/") + QLatin1Char(')'));

        site.open();
        tick(&d, QStringLiteral("chkConnected5"))->setChecked(true);
        QVERIFY(!d.apply());
        QVERIFY(site.dialogs().boxes.back().text.startsWith(
            QStringLiteral("Ferix directory 6 doesn't exists.")));
        QVERIFY(site.dialogs().boxes.back().text.endsWith(QString::fromStdString(site.rootText()) +
                                                          QStringLiteral("Machine6/)")));

        site.open();
        auto* warning = d.findChild<QLabel*>(QStringLiteral("lblEditorWarning"));
        QVERIFY(warning != nullptr);
        QVERIFY(warning->isHidden());  // "sh" is found
        const size_t boxes = site.dialogs().boxes.size();
        edit(&d, "txtEditor")->setText(QStringLiteral("no-such-editor-here"));
        QVERIFY(!warning->isHidden());
        QCOMPARE(warning->text(),
                 QStringLiteral("Selected text editor not found! (no-such-editor-here)"));
        QVERIFY(d.apply());
        QCOMPARE(site.dialogs().boxes.size(), boxes);  // no box: the field says it
        QVERIFY(!d.changed());
        edit(&d, "txtEditor")->setText(QStringLiteral("sh"));
        QVERIFY(warning->isHidden());
    }

    void cancelKeepsTheEditsUntilTheNextOpening() {
        Site site(false);
        frmConfigDNC& d = site.open();
        edit(&d, "txtCaption")->setText(QStringLiteral("Draft"));
        QTest::mouseClick(button(&d, QStringLiteral("cmdCancel")), Qt::LeftButton);
        QVERIFY(!d.isVisible());
        QCOMPARE(edit(&d, "txtCaption")->text(), QStringLiteral("Draft"));
        QCOMPARE(site.control<std::string>([](comm::ctrlFerixComm& c) { return c.Caption(); }),
                 std::string("Hall A"));
        site.open();
        QCOMPARE(edit(&d, "txtCaption")->text(), QStringLiteral("Hall A"));
        QVERIFY(!d.changed());
    }

    void browsingTakesOnlyFoldersBeneathTheRoot() {
        Site site(false);
        frmConfigDNC& d = site.open();
        fs::create_directories(site.root() / "Hall" / "Mill7");
        site.dialogs().directory =
            QString::fromStdString((site.root() / "Hall" / "Mill7").string());
        button(&d, QStringLiteral("cmdChangeFerixDir0"))->click();
        QCOMPARE(site.dialogs().directoryStart,
                 QString::fromStdString(site.rootText() + "Machine1/"));
        QCOMPARE(edit(&d, "txtFerixDir0")->text(), QStringLiteral("Hall/Mill7/"));

        const std::size_t boxes = site.dialogs().boxes.size();
        site.dialogs().directory = QDir::tempPath();
        button(&d, QStringLiteral("cmdChangeFerixDir0"))->click();
        QCOMPARE(edit(&d, "txtFerixDir0")->text(), QStringLiteral("Hall/Mill7/"));  // not taken
        QCOMPARE(site.dialogs().boxes.size(), boxes + 1);
        QVERIFY(site.dialogs().boxes.back().text.startsWith(english(1505)));

        site.dialogs().directory = QDir::tempPath();
        button(&d, QStringLiteral("cmdChangeFerixHomeDir"))->click();
        QCOMPARE(edit(&d, "txtFerixHomeDir")->text(), QDir::tempPath() + QLatin1Char('/'));

        QString asked;
        d.chooseProgram = [&asked](QWidget*, const QString& title, const QString& start) {
            asked = title + QLatin1Char('|') + start;
            return std::optional<QString>(QStringLiteral("/usr/bin/vi"));
        };
        button(&d, QStringLiteral("cmdChangeEditor"))->click();
        QVERIFY2(asked.startsWith(english(754) + QLatin1Char('|')), qPrintable(asked));
        QVERIFY(asked.endsWith(QStringLiteral("/sh")));  // starts from the editor as found
        QCOMPARE(edit(&d, "txtEditor")->text(), QStringLiteral("/usr/bin/vi"));
    }

    void conversionButtonsNameTheUnitsChainFiles() {
        Site site(false);
        frmConfigDNC& d = site.open();
        std::vector<fs::path> opened;
        d.openConversions = [&opened](const fs::path& chain) { opened.push_back(chain); };
        button(&d, QStringLiteral("cmdConversionsIn0"))->click();
        edit(&d, "txtFerixDir1")->setText(QStringLiteral("Lathe2/"));  // the text as it stands
        button(&d, QStringLiteral("cmdConversionsOut1"))->click();
        QCOMPARE(opened.size(), std::size_t{2});
        QCOMPARE(opened[0], site.root() / "Machine1" / "In.cnv");
        QCOMPARE(opened[1], site.root() / "Lathe2" / "Out.cnv");
        QCOMPARE(
            QString::fromLatin1(button(&d, QStringLiteral("cmdConversionsIn0"))->text().toLatin1()),
            english(664));
    }

    void theWindowOpensOneChainEditorOwnedByTheDialog() {
        Site site(false);
        frmConfigDNC& d = site.open();
        QVERIFY(site.window().chainDialog() == nullptr);  // made at its first use
        button(&d, QStringLiteral("cmdConversionsOut1"))->click();
        auto* chains = site.window().chainDialog();
        QVERIFY(chains != nullptr);
        QVERIFY(chains->isVisible());
        QCOMPARE(chains->chainFile(), site.root() / "Machine2" / "Out.cnv");
        button(&d, QStringLiteral("cmdConversionsIn0"))->click();
        QCOMPARE(site.window().chainDialog(), chains);  // the same editor, now on the In chain
        QCOMPARE(chains->chainFile(), site.root() / "Machine1" / "In.cnv");
        QCOMPARE(chains->parent(), static_cast<QObject*>(&d));  // goes with the dialog
    }

    void helpOpensTheManualAtTheConfigurationTopic() {
        Site site(false);
        frmConfigDNC& d = site.open();
        button(&d, QStringLiteral("cmdHelp"))->click();
        QCOMPARE(site.dialogs().opened.size(), std::size_t{1});
        const QUrl page = site.dialogs().opened.back();
        QVERIFY(page.isLocalFile());
        // The installed manual has the topic; the short page without a manual has none.
        QVERIFY2(page.fragment().isEmpty() || page.fragment() == QStringLiteral("3000"),
                 qPrintable(page.toString()));
    }

    void eachTabCanBeSeen() {
        Site site(false);
        frmConfigDNC& d = site.open();
        d.resize(760, 560);
        auto* tabs = field<QTabWidget>(&d, QStringLiteral("tabs"));
        const char* names[] = {"common", "port", "directories", "dnc", "heidenhain"};
        const QString folder = qEnvironmentVariable("FERIX_SCREENSHOT_DIR");
        for (int i = 0; i < tabs->count(); ++i) {
            tabs->setCurrentIndex(i);
            QCoreApplication::processEvents();
            const QImage image = d.grab().toImage();
            QVERIFY(!image.isNull());
            QVERIFY(tabs->currentWidget()->isVisible());
            if (!folder.isEmpty()) {
                QVERIFY(image.save(folder + QStringLiteral("/config-") +
                                   QString::fromLatin1(names[i]) + QStringLiteral(".png")));
            }
        }
    }
};

QTEST_MAIN(ConfigDialogTest)
#include "ConfigDialogTest.moc"
