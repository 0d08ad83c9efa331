// The chain dialog on the offscreen platform: what it loads, what its buttons and fields do to
// the list, the record limit, and what OK, Use and Cancel leave in the chain file.
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>
#include <filesystem>

#include "FakeDialogs.h"
#include "FormElements.h"
#include "dnc/config/ChainFile.h"
#include "dnc/window/config/frmConfigDNCConversions.h"
#include "tests/conversion/TempDirectory.h"

namespace fs = std::filesystem;
using dnc::window::frmConfigDNCConversions;
using testing_support::TempDirectory;

namespace {

QStringList rows(QObject* form) {
    auto* list = element<QListWidget>(form, "lstConversions");
    QStringList texts;
    for (int i = 0; i < list->count(); ++i) {
        texts << list->item(i)->text();
    }
    return texts;
}

void click(QObject* form, const char* name) {
    QTest::mouseClick(element<QPushButton>(form, name), Qt::LeftButton);
}

void save(const fs::path& file, const std::vector<std::string>& steps) {
    dnc::ConversionChain chain;
    QVERIFY(dnc::ConversionChain::fromSteps(steps, chain));
    QVERIFY(dnc::saveChainFile(file, chain).ok());
}

}  // namespace

class ChainDialogTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void aMissingChainIsEmptyAndSavingLeavesAnEmptyFile() {
        TempDirectory unit;
        const fs::path in = unit.path() / "In.cnv";
        FakeDialogs dialogs;
        frmConfigDNCConversions dialog(dialogs);
        dialog.ConfigureConversions(in);
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Conversions"));
        QVERIFY(!dialog.isModal());
        QCOMPARE(rows(&dialog), QStringList());
        QVERIFY(!element<QGroupBox>(&dialog, "frConversion")->isEnabled());
        click(&dialog, "cmdOK");
        QVERIFY(!dialog.isVisible());
        QVERIFY(fs::exists(in));
        QCOMPARE(fs::file_size(in), std::uintmax_t{0});
        QVERIFY(dialogs.boxes.empty());
    }

    void theEdgeChainLoadsShowsItsFieldsAndSurvivesUse() {
        TempDirectory unit;
        const fs::path in = unit.path() / "In.cnv";
        save(in, {"S TXT>ISO /X", "U  /P"});
        FakeDialogs dialogs;
        frmConfigDNCConversions dialog(dialogs);
        dialog.ConfigureConversions(in);
        QCOMPARE(rows(&dialog), (QStringList{"S TXT>ISO /X", "U  /P"}));
        element<QListWidget>(&dialog, "lstConversions")->setCurrentRow(1);
        QVERIFY(element<QCheckBox>(&dialog, "chkUserConversion")->isChecked());
        QCOMPARE(element<QComboBox>(&dialog, "comboConversion")->currentText(), QString());
        QCOMPARE(element<QComboBox>(&dialog, "comboParams")->currentText(), QStringLiteral("/P"));
        element<QListWidget>(&dialog, "lstConversions")->setCurrentRow(0);
        QVERIFY(!element<QCheckBox>(&dialog, "chkUserConversion")->isChecked());
        QCOMPARE(element<QComboBox>(&dialog, "comboConversion")->currentText(),
                 QStringLiteral("TXT>ISO"));
        QCOMPARE(element<QComboBox>(&dialog, "comboParams")->currentText(), QStringLiteral("/X"));
        click(&dialog, "cmdUse");
        QVERIFY(dialog.isVisible());  // Use keeps the dialog open
        QCOMPARE(dnc::loadChainFile(in), (std::vector<std::string>{"S TXT>ISO /X", "U  /P"}));
        QCOMPARE(fs::file_size(in), std::uintmax_t{256});
    }

    void buttonsAndFieldsEditTheListAndOkWritesIt() {
        TempDirectory unit;
        const fs::path out = unit.path() / "Out.cnv";
        FakeDialogs dialogs;
        frmConfigDNCConversions dialog(dialogs);
        dialog.ConfigureConversions(out);
        auto* list = element<QListWidget>(&dialog, "lstConversions");
        click(&dialog, "cmdAddAfter");  // an empty list: one empty step, selected
        QCOMPARE(rows(&dialog), QStringList{QString()});
        QCOMPARE(list->currentRow(), 0);
        element<QComboBox>(&dialog, "comboConversion")->setEditText(QStringLiteral("ISO>TXT"));
        QCOMPARE(rows(&dialog), QStringList{"U ISO>TXT "});  // an empty step counts as user
        element<QCheckBox>(&dialog, "chkUserConversion")->setChecked(false);
        QCOMPARE(rows(&dialog), QStringList{"S ISO>TXT "});
        click(&dialog, "cmdAddAfter");
        element<QCheckBox>(&dialog, "chkUserConversion")->setChecked(true);
        element<QComboBox>(&dialog, "comboConversion")->setEditText(QString());
        element<QComboBox>(&dialog, "comboParams")->setEditText(QStringLiteral("/P"));
        QCOMPARE(rows(&dialog), (QStringList{"S ISO>TXT ", "U  /P"}));
        QCOMPARE(list->currentRow(), 1);
        click(&dialog, "cmdUp");
        QCOMPARE(rows(&dialog), (QStringList{"U  /P", "S ISO>TXT "}));
        QCOMPARE(list->currentRow(), 0);
        click(&dialog, "cmdAddBefore");
        QCOMPARE(rows(&dialog), (QStringList{"U  /P", "U  /P", "S ISO>TXT "}));
        QCOMPARE(list->currentRow(), 0);
        click(&dialog, "cmdDelete");
        click(&dialog, "cmdDown");
        QCOMPARE(rows(&dialog), (QStringList{"S ISO>TXT ", "U  /P"}));
        QCOMPARE(list->currentRow(), 1);
        click(&dialog, "cmdOK");
        QCOMPARE(dnc::loadChainFile(out), (std::vector<std::string>{"S ISO>TXT ", "U  /P"}));
        QVERIFY(dialogs.boxes.empty());
    }

    void aStepOver126CharactersIsRefusedWithAMessage() {
        TempDirectory unit;
        const fs::path in = unit.path() / "In.cnv";
        const std::string longest = "S TXT>ISO " + std::string(116, 'P');  // 126 characters
        save(in, {longest});
        FakeDialogs dialogs;
        frmConfigDNCConversions dialog(dialogs);
        dialog.ConfigureConversions(in);
        element<QListWidget>(&dialog, "lstConversions")->setCurrentRow(0);
        auto* params = element<QComboBox>(&dialog, "comboParams");
        params->setEditText(params->currentText() + QStringLiteral("Q"));
        QCOMPARE(dialogs.boxes.size(), std::size_t{1});
        QVERIFY(dialogs.boxes[0].text.contains(QStringLiteral("126")));
        QVERIFY(dialogs.boxes[0].text.contains(QStringLiteral("127")));
        QCOMPARE(dialogs.boxes[0].icon, dnc::window::OperatorDialogs::Icon::Exclamation);
        // The field shows the step as kept, and the step is saved whole.
        QCOMPARE(params->currentText(), QString(116, QLatin1Char('P')));
        QCOMPARE(rows(&dialog), QStringList{QString::fromStdString(longest)});
        click(&dialog, "cmdOK");
        QCOMPARE(dnc::loadChainFile(in), std::vector<std::string>{longest});
    }

    void cancelWritesNothingAndTheNextOpeningReloads() {
        TempDirectory unit;
        const fs::path in = unit.path() / "In.cnv";
        save(in, {"S TXT>ISO"});
        FakeDialogs dialogs;
        frmConfigDNCConversions dialog(dialogs);
        dialog.ConfigureConversions(in);
        element<QListWidget>(&dialog, "lstConversions")->setCurrentRow(0);
        click(&dialog, "cmdDelete");
        QCOMPARE(rows(&dialog), QStringList());
        click(&dialog, "cmdCancel");
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dnc::loadChainFile(in), std::vector<std::string>{"S TXT>ISO"});
        dialog.ConfigureConversions(in);
        QCOMPARE(rows(&dialog), QStringList{"S TXT>ISO"});
        dialog.close();  // closing the window is a cancel too
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dnc::loadChainFile(in), std::vector<std::string>{"S TXT>ISO"});
    }

    void aFailedSaveIsToldAndKeepsTheFileAndTheDialog() {
        TempDirectory unit;
        const fs::path missing = unit.path() / "gone" / "In.cnv";  // its directory is missing
        FakeDialogs dialogs;
        frmConfigDNCConversions dialog(dialogs);
        dialog.ConfigureConversions(missing);
        click(&dialog, "cmdAddAfter");
        click(&dialog, "cmdOK");
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialogs.boxes.size(), std::size_t{1});
        QVERIFY(dialogs.boxes[0].text.startsWith(QStringLiteral("The conversion chain could not")));
    }

    void helpOpensTheChainTopic() {
        FakeDialogs dialogs;
        frmConfigDNCConversions dialog(dialogs);
        click(&dialog, "cmdHelp");
        QCOMPARE(dialogs.opened.size(), std::size_t{1});
        QVERIFY(dialogs.opened[0].isValid());
    }

    void captionsComeFromTheStringTable() {
        FakeDialogs dialogs;
        frmConfigDNCConversions dialog(dialogs);
        QCOMPARE(element<QPushButton>(&dialog, "cmdAddBefore")->text(),
                 QStringLiteral("Add &before"));
        QCOMPARE(element<QPushButton>(&dialog, "cmdAddAfter")->text(),
                 QStringLiteral("Add &after"));
        QCOMPARE(element<QPushButton>(&dialog, "cmdDelete")->text(), QStringLiteral("&Delete"));
        QCOMPARE(element<QPushButton>(&dialog, "cmdUse")->text(), QStringLiteral("&Use"));
        QCOMPARE(element<QPushButton>(&dialog, "cmdHelp")->text(), QStringLiteral("&Help"));
        QCOMPARE(element<QGroupBox>(&dialog, "frConversion")->title(),
                 QStringLiteral("Conversion Step"));
        QCOMPARE(element<QCheckBox>(&dialog, "chkUserConversion")->text(),
                 QStringLiteral("User conversion"));
        QCOMPARE(element<QLabel>(&dialog, "lblConversion")->text(), QStringLiteral("Conversion:"));
        QCOMPARE(element<QLabel>(&dialog, "lblParams")->text(), QStringLiteral("Parameters:"));
        QCOMPARE(element<QComboBox>(&dialog, "comboConversion")->count(), 7);
    }
};

QTEST_MAIN(ChainDialogTest)
#include "ChainDialogTest.moc"
