// What's This texts of the sub-net window's tool bar and stop button in each language, and the
// manual page that the Help button of an error box opens.
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QToolBar>
#include <filesystem>
#include <fstream>

#include "FakeDialogs.h"
#include "dnc/config/ConfigStore.h"
#include "dnc/window/HelpPages.h"
#include "dnc/window/frmDNC.h"
#include "localizing/lookup/ResourceStrings.h"

namespace fs = std::filesystem;
using dnc::window::frmDNC;

namespace {

struct Element {
    const char* name;
    int text;
};

// Every button of the tool bar with its text's number, in the bar's order.
constexpr Element kToolBar[] = {{"btnTransferPCFerix", 1260},   {"btnTransferFerixPC", 1261},
                                {"btnFerixLst", 1262},          {"btnRemove", 1263},
                                {"btnClearMemory", 1264},       {"btnConfigDNC", 1506},
                                {"btnStopCommunication", 1265}, {"btnStartCommunication", 1266},
                                {"btnWhatIsThis", 1267}};

class TempDir {
public:
    TempDir()
        : path_(fs::temp_directory_path() /
                ("ferix-whatsthis-" + std::to_string(getpid()) + "-" + std::to_string(++count_))) {
        fs::create_directories(path_);
    }
    ~TempDir() { fs::remove_all(path_); }
    const fs::path& path() const { return path_; }

private:
    static inline int count_ = 0;
    fs::path path_;
};

}  // namespace

class WhatsThisTest : public QObject {
    Q_OBJECT

    // The window in `language`, with each tool bar button and the stop button checked against
    // the table; returns the texts in the bar's order, the stop button's last.
    QStringList textsIn(std::uint16_t language) {
        TempDir dir;
        dnc::ConfigStore store(dir.path() / "DNC.ini");
        store.write("Common", "LangID", std::to_string(language));
        FakeDialogs dialogs;
        frmDNC window(store, 1, dialogs);
        auto* bar = window.findChild<QToolBar*>(QStringLiteral("Toolbar"));
        if (bar == nullptr) {
            qFatal("no tool bar");
        }
        QStringList texts;
        int buttons = 0;
        for (QAction* action : bar->actions()) {
            buttons += action->isSeparator() ? 0 : 1;
        }
        if (buttons != static_cast<int>(std::size(kToolBar))) {
            qWarning("the tool bar has %d buttons", buttons);
            return {};
        }
        for (const Element& element : kToolBar) {
            auto* action = window.findChild<QAction*>(QString::fromLatin1(element.name));
            const QString expected = QString::fromStdString(loc::resString(element.text));
            if (action == nullptr || expected.isEmpty() || action->whatsThis() != expected ||
                bar->widgetForAction(action)->whatsThis() != expected) {
                qWarning("%s: \"%s\"", element.name,
                         qPrintable(action ? action->whatsThis() : QString()));
                return {};
            }
            texts << expected;
        }
        auto* stop = window.findChild<QPushButton*>(QStringLiteral("cmdStop"));
        const QString stopText = QString::fromStdString(loc::resString(1268));
        if (stop == nullptr || stopText.isEmpty() || stop->whatsThis() != stopText) {
            qWarning("cmdStop: \"%s\"", qPrintable(stop ? stop->whatsThis() : QString()));
            return {};
        }
        texts << stopText;
        return texts;
    }

private slots:
    void everyToolBarButtonAndTheStopButtonExplainThemselves() {
        const QStringList german = textsIn(loc::kGerman);
        QCOMPARE(german.size(), static_cast<qsizetype>(std::size(kToolBar)) + 1);
        QCOMPARE(german.back(), QStringLiteral("Bricht die laufende Übertragung sofort ab; die "
                                               "Einheit erfährt, dass die Übertragung "
                                               "abgebrochen wurde."));
        const QStringList english = textsIn(loc::kEnglish);
        QCOMPARE(english.size(), german.size());
        QCOMPARE(english.front(),
                 QStringLiteral(
                     "Sends the selected programs of the unit directory to the selected unit's "
                     "memory."));
        for (qsizetype i = 0; i < english.size(); ++i) {
            QVERIFY2(english[i] != german[i], qPrintable(english[i]));
            QVERIFY2(english.count(english[i]) == 1, qPrintable(english[i]));  // no text twice
        }
    }

    void helpOpensTheManualAtTheErrorsTopicWhereItHasOne() {
        TempDir dir;
        const QString page = QString::fromStdString((dir.path() / "index.html").string());
        std::ofstream(dir.path() / "index.html")
            << "<html><body><h2 id=\"3000\">Line errors</h2><a name='3010'></a>"
               "<p>See topic 3020 and id=\"30000\"</p></body></html>";
        QCOMPARE(dnc::window::manualTopicUrl(page, 3000).fragment(), QStringLiteral("3000"));
        QCOMPARE(dnc::window::manualTopicUrl(page, 3010).fragment(), QStringLiteral("3010"));
        // A number that is only mentioned, or part of a longer anchor, is no topic: start page.
        for (int context : {3020, 300, 0}) {
            const QUrl url = dnc::window::manualTopicUrl(page, context);
            QVERIFY2(!url.hasFragment(), qPrintable(url.toString()));
            QCOMPARE(url.toLocalFile(), page);
        }
        // A page that cannot be read still opens (the browser says what is wrong).
        const QString missing = QString::fromStdString((dir.path() / "gone.html").string());
        QCOMPARE(dnc::window::manualTopicUrl(missing, 3000), QUrl::fromLocalFile(missing));
    }
};

QTEST_MAIN(WhatsThisTest)
#include "WhatsThisTest.moc"
