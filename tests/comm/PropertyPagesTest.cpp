// The control's two property pages on the offscreen platform: their texts, what they show of
// the first selected control, their changed state and the order in which Apply writes, also
// into a real control, whose setting rules then apply.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include "comm/FerixComm.h"
#include "comm/PageValues.h"
#include "comm/RealHost.h"
#include "comm/widgets/ppFerixComm.h"
#include "comm/widgets/ppFerixFerixes.h"
#include "localizing/lookup/ResourceStrings.h"
#include "sim/fakes/RecordingSite.h"

using comm::KindExt;
using comm::PageValues;
using comm::widgets::ppFerixComm;
using comm::widgets::ppFerixFerixes;

namespace {

// Notes every setter call the page makes, in order.
class RecordingWriter : public comm::PropertyWriter {
public:
    void setCommPort(std::int16_t v) override { note("CommPort", QString::number(v)); }
    void setCommSpeed(const std::string& v) override { note("CommSpeed", v); }
    void setFerixHomeDir(const std::string& v) override { note("FerixHomeDir", v); }
    void setZerosInName(bool v) override { note("ZerosInName", flag(v)); }
    void setF4COPYTimeout(std::int16_t v) override { note("F4COPYTimeout", QString::number(v)); }
    void setExt(KindExt k, const std::string& v) override {
        note("Ext" + QString::number(static_cast<int>(k)), v);
    }
    void setFerixDir(int n, const std::string& v) override {
        note("FerixDir" + QString::number(n), v);
    }
    void setPrefix(int n, const std::string& v) override { note("Prefix" + QString::number(n), v); }
    void setConnected(int n, bool v) override { note("Connected" + QString::number(n), flag(v)); }

    QStringList calls;

private:
    static QString flag(bool v) { return v ? QStringLiteral("True") : QStringLiteral("False"); }
    void note(const QString& name, const std::string& value) {
        note(name, QString::fromStdString(value));
    }
    void note(const QString& name, const QString& value) { calls << name + "=" + value; }
};

PageValues sample(const std::string& tag) {
    PageValues v;
    v.commPort = 2;
    v.commSpeed = "9600";
    v.ferixHomeDir = "/srv/dnc/" + tag + "/";
    v.zerosInName = true;
    v.f4copyTimeout = 8000;
    v.extensions = {"STX", "WTX", "FDI", "SMC", "WMC", "SDG", "WDG"};
    for (int n = 1; n <= comm::kUnitCount; ++n) {
        comm::UnitValues& unit = v.units[static_cast<std::size_t>(n - 1)];
        unit.ferixDir = tag + std::to_string(n) + "/";
        unit.prefix = "P" + std::to_string(n);
        unit.connected = n <= 2;
    }
    return v;
}

template <typename T>
T* field(QWidget* page, const QString& name) {
    T* found = page->findChild<T*>(name);
    if (found == nullptr) {
        qFatal("no field %s", qPrintable(name));
    }
    return found;
}

QStringList entries(const QComboBox* list) {
    QStringList texts;
    for (int i = 0; i < list->count(); ++i) {
        texts << list->itemText(i);
    }
    return texts;
}

// A real control, not on any line, to write into.
struct Control {
    comm::RealHost host;
    sim::RecordingSite site;
    comm::ctrlFerixComm control{host, site};
};

}  // namespace

class PropertyPagesTest : public QObject {
    Q_OBJECT

private slots:
    void init() { comm::widgets::selectPageLanguage(static_cast<std::int16_t>(loc::kEnglish)); }

    void textsComeFromTheControlsTableInTheCurrentLanguage() {
        ppFerixComm common;
        ppFerixFerixes units;
        QCOMPARE(common.windowTitle(), QStringLiteral("Common"));
        QCOMPARE(units.windowTitle(), QStringLiteral("Ferixes"));
        QCOMPARE(field<QLabel>(&common, "lblCommPort")->text(), QStringLiteral("Serial port:"));

        comm::widgets::selectPageLanguage(static_cast<std::int16_t>(loc::kGerman));
        common.LoadResStrings();
        units.LoadResStrings();
        QCOMPARE(common.windowTitle(), QStringLiteral("Allgemein"));
        QCOMPARE(field<QLabel>(&common, "lblCommPort")->text(),
                 QStringLiteral("Serielle Schnittstelle:"));
        QCOMPARE(field<QCheckBox>(&common, "chkZerosInName")->text(),
                 QStringLiteral("Führende Nullen im Namen"));
        QCOMPARE(field<QLabel>(&common, "lblWorkDiagExt")->text(),
                 QStringLiteral("Erweiterung Arbeitstest:"));
        QCOMPARE(units.windowTitle(), QStringLiteral("Ferix-Einheiten"));
        QCOMPARE(field<QLabel>(&units, "lblPrefix")->text(), QStringLiteral("Präfix"));
        QCOMPARE(field<QLabel>(&units, "lblConnected")->text(), QStringLiteral("Angeschlossen"));
        QCOMPARE(field<QLabel>(&units, "lblFerix10")->text(), QStringLiteral("Ferix 1&0:"));
        QCOMPARE(field<QCheckBox>(&units, "chkConnected4")->accessibleName(),
                 QStringLiteral("Ferix 4: Angeschlossen"));
    }

    void theFirstOfSeveralSelectedControlsIsShown() {
        ppFerixComm common;
        ppFerixFerixes units;
        QVERIFY(!common.isEnabled());  // nothing selected yet
        const std::vector<PageValues> selection = {sample("first"), sample("second"),
                                                   sample("third")};
        common.setSelection(selection);
        units.setSelection(selection);
        QVERIFY(common.isEnabled());
        QCOMPARE(field<QLineEdit>(&common, "txtFerixHomeDir")->text(),
                 QStringLiteral("/srv/dnc/first/"));
        QCOMPARE(field<QComboBox>(&common, "comboCommPort")->currentText(), QStringLiteral("2"));
        QCOMPARE(field<QComboBox>(&common, "comboCommSpeed")->currentText(),
                 QStringLiteral("9600"));
        QVERIFY(field<QCheckBox>(&common, "chkZerosInName")->isChecked());
        QCOMPARE(field<QLineEdit>(&common, "txtF4COPYTimeout")->text(), QStringLiteral("8000"));
        QCOMPARE(field<QLineEdit>(&common, "txtListExt")->text(), QStringLiteral("FDI"));
        QCOMPARE(field<QLineEdit>(&units, "txtFerixDir7")->text(), QStringLiteral("first7/"));
        QCOMPARE(field<QLineEdit>(&units, "txtPrefix7")->text(), QStringLiteral("P7"));
        QVERIFY(field<QCheckBox>(&units, "chkConnected2")->isChecked());
        QVERIFY(!field<QCheckBox>(&units, "chkConnected3")->isChecked());
        QVERIFY(!common.changed());
        QVERIFY(!units.changed());

        // Another selection is shown in its place; none empties and disables the page.
        units.setSelection({sample("other")});
        QCOMPARE(field<QLineEdit>(&units, "txtFerixDir7")->text(), QStringLiteral("other7/"));
        units.setSelection({});
        QVERIFY(!units.isEnabled());
        QCOMPARE(field<QLineEdit>(&units, "txtFerixDir7")->text(), QString());
        RecordingWriter writer;
        QVERIFY(!units.apply(writer));
        QVERIFY(writer.calls.isEmpty());
    }

    void aValueOutsideTheListsIsShownAndWrittenBack() {
        ppFerixComm common;
        PageValues v = sample("odd");
        v.commPort = 7;
        v.commSpeed = "19200";
        common.setSelection({v});
        auto* port = field<QComboBox>(&common, "comboCommPort");
        auto* speed = field<QComboBox>(&common, "comboCommSpeed");
        QCOMPARE(port->currentText(), QStringLiteral("7"));
        QCOMPARE(entries(port), (QStringList{"1", "2", "3", "4", "7"}));
        QCOMPARE(entries(speed),
                 (QStringList{"110", "300", "1200", "2400", "4800", "9600", "19200"}));
        RecordingWriter writer;
        QVERIFY(common.apply(writer));
        QCOMPARE(writer.calls.mid(0, 2), (QStringList{"CommPort=7", "CommSpeed=19200"}));

        // The next control's ordinary values bring the plain lists back.
        common.setSelection({sample("plain")});
        QCOMPARE(entries(port), ppFerixComm::portEntries());
        QCOMPARE(entries(speed), ppFerixComm::speedEntries());
    }

    void anEditByTheOperatorMarksThePageChanged() {
        ppFerixComm common;
        ppFerixFerixes units;
        common.setSelection({sample("a")});
        units.setSelection({sample("a")});
        common.show();
        units.show();
        QSignalSpy commonSpy(&common, &ppFerixComm::changedStateChanged);
        QSignalSpy unitsSpy(&units, &ppFerixFerixes::changedStateChanged);

        QTest::keyClicks(field<QLineEdit>(&common, "txtWorkTextExt"), "X");
        QVERIFY(common.changed());
        QCOMPARE(commonSpy.count(), 1);
        QCOMPARE(commonSpy.takeFirst().at(0).toBool(), true);
        QTest::keyClicks(field<QLineEdit>(&common, "txtWorkTextExt"), "Y");
        QCOMPARE(commonSpy.count(), 0);  // only the change of state is told

        RecordingWriter writer;
        QVERIFY(common.apply(writer));
        QVERIFY(!common.changed());
        QCOMPARE(commonSpy.count(), 1);
        QCOMPARE(commonSpy.takeFirst().at(0).toBool(), false);

        // A choice in a list.
        auto* speed = field<QComboBox>(&common, "comboCommSpeed");
        speed->setFocus();
        QTest::keyClick(speed, Qt::Key_Up);
        QCOMPARE(speed->currentText(), QStringLiteral("4800"));
        QVERIFY(common.changed());

        // A click on a check box.
        auto* connected = field<QCheckBox>(&units, "chkConnected9");
        QTest::mouseClick(connected, Qt::LeftButton, {}, connected->rect().center());
        QVERIFY(connected->isChecked());
        QVERIFY(units.changed());
        QCOMPARE(unitsSpy.count(), 1);

        // Showing another control is not an edit.
        units.setSelection({sample("b")});
        QVERIFY(!units.changed());
    }

    void applyWritesEveryFieldInTheOrderOfThePage() {
        ppFerixComm common;
        common.setSelection({sample("a")});
        RecordingWriter writer;
        QVERIFY(common.apply(writer));
        QCOMPARE(writer.calls,
                 (QStringList{"CommPort=2", "CommSpeed=9600", "FerixHomeDir=/srv/dnc/a/",
                              "ZerosInName=True", "F4COPYTimeout=8000", "Ext0=STX", "Ext1=WTX",
                              "Ext2=FDI", "Ext3=SMC", "Ext4=WMC", "Ext5=SDG", "Ext6=WDG"}));

        ppFerixFerixes units;
        units.setSelection({sample("a")});
        RecordingWriter unitWriter;
        QVERIFY(units.apply(unitWriter));
        QStringList expected;
        for (int n = 1; n <= comm::kUnitCount; ++n) {
            const QString u = QString::number(n);
            expected << "FerixDir" + u + "=a" + u + "/"
                     << "Prefix" + u + "=P" + u << "Connected" + u + (n <= 2 ? "=True" : "=False");
        }
        QCOMPARE(unitWriter.calls, expected);
    }

    void aPauseThatIsNoNumberIsNotWritten() {
        ppFerixComm common;
        common.setSelection({sample("a")});
        auto* pause = field<QLineEdit>(&common, "txtF4COPYTimeout");
        pause->clear();
        QCOMPARE(common.invalidField(), pause);
        RecordingWriter writer;
        QVERIFY(!common.apply(writer));
        QVERIFY(writer.calls.isEmpty());
        pause->setText(QStringLiteral("12a"));  // typed text stops at what the field takes
        QVERIFY(!pause->hasAcceptableInput());
        pause->setText(QStringLiteral("1500"));
        QCOMPARE(common.invalidField(), nullptr);
        QVERIFY(common.apply(writer));
        QVERIFY(writer.calls.contains(QStringLiteral("F4COPYTimeout=1500")));
    }

    void theUnitPageWritesIntoARealControlThroughItsRules() {
        Control c;
        QVERIFY(static_cast<bool>(c.control.setConnected(4, true)));
        c.site.changed.clear();
        ppFerixFerixes units;
        units.setSelection({comm::readPageValues(c.control)});
        units.show();
        QVERIFY(field<QCheckBox>(&units, "chkConnected4")->isChecked());

        // Unit 4's check box cleared: Connected(4) becomes false.
        auto* box = field<QCheckBox>(&units, "chkConnected4");
        QTest::mouseClick(box, Qt::LeftButton, {}, box->rect().center());
        QVERIFY(!box->isChecked());
        // A prefix of four characters arrives as its first three.
        auto* prefix = field<QLineEdit>(&units, "txtPrefix2");
        prefix->selectAll();
        QTest::keyClicks(prefix, "ABCD");
        comm::ControlWriter writer(c.control);
        QVERIFY(units.apply(writer));
        QVERIFY(writer.errors().empty());
        QCOMPARE(c.control.Connected(4).value(), false);
        QCOMPARE(c.control.Prefix(2).value(), std::string("ABC"));
        QCOMPARE(c.control.FerixDir(2).value(), std::string("Ferix2/"));
        // Every field is written, in the page's order, unit after unit.
        QCOMPARE(c.site.changed.size(), std::size_t{30});
        QCOMPARE(c.site.changed[9], std::string("FerixDir4"));
        QCOMPARE(c.site.changed[11], std::string("Connected4"));

        // With it checked again, true.
        units.setSelection({comm::readPageValues(c.control)});
        QVERIFY(!box->isChecked());
        QCOMPARE(prefix->text(), QStringLiteral("ABC"));
        QTest::mouseClick(box, Qt::LeftButton, {}, box->rect().center());
        QVERIFY(units.apply(writer));
        QCOMPARE(c.control.Connected(4).value(), true);
    }

    void theCommonPageWritesIntoARealControlThroughItsRules() {
        Control c;
        ppFerixComm common;
        common.setSelection({comm::readPageValues(c.control)});
        common.show();
        auto* ext = field<QLineEdit>(&common, "txtSourceTextExt");
        ext->selectAll();
        QTest::keyClicks(ext, "  NC ");
        auto* speed = field<QComboBox>(&common, "comboCommSpeed");
        speed->setCurrentText(QStringLiteral("9600"));
        comm::ControlWriter writer(c.control);
        QVERIFY(common.apply(writer));
        QVERIFY(writer.errors().empty());
        QCOMPARE(c.control.SourceTextExt(), std::string("NC"));
        QCOMPARE(c.control.LineSpeed(), 9600);
        QCOMPARE(c.site.changed.front(), std::string("CommPort"));
        QCOMPARE(c.site.changed.back(), std::string("WorkDiagExt"));
    }
};

QTEST_MAIN(PropertyPagesTest)
#include "PropertyPagesTest.moc"
