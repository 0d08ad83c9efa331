// Every window and dialog of the program, in English, German and Czech, as a screen reader and
// a keyboard user meet them: each element that takes the focus has a name, no two elements
// side by side share one, and no two items of one menu or one dialog share an access key.
#include <unistd.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QSet>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <filesystem>
#include <fstream>
#include <memory>

#include "FakeDialogs.h"
#include "dnc/config/SubNetConfiguration.h"
#include "dnc/window/ControlPropertiesDialog.h"
#include "dnc/window/config/frmConfigDNC.h"
#include "dnc/window/frmAboutDNC.h"
#include "dnc/window/frmConfirmConversion.h"
#include "dnc/window/frmDNC.h"
#include "dnc/window/manager/frmDNCMain.h"
#include "localizing/lookup/ResourceStrings.h"

namespace fs = std::filesystem;
using dnc::window::frmDNC;

namespace {

// Access keys that the program's English captions share by design; the translations have none.
const QList<QPair<QString, QString>> kEnglishPairs = {
    {QStringLiteral("&Options"), QStringLiteral("&On Starup")},
    {QStringLiteral("&Directories"), QStringLiteral("&DNC")},
    {QStringLiteral("Ferix &1:"), QStringLiteral("Ferix &10:")},
};

QChar accessKey(const QString& text) {
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == QLatin1Char('&')) {
            if (text[i + 1] == QLatin1Char('&')) {
                ++i;
                continue;
            }
            return text[i + 1].toLower();
        }
    }
    return {};
}

// The name a screen reader reads. A list box is read by its value on this platform, so its own
// name must be set.
QString nameOf(QWidget* widget) {
    if (qobject_cast<QComboBox*>(widget) != nullptr) {
        return widget->accessibleName();
    }
    QAccessibleInterface* element = QAccessible::queryAccessibleInterface(widget);
    return element != nullptr ? element->text(QAccessible::Name).trimmed() : QString();
}

// Parts of another element (a list box's edit line, a tab bar's scroll buttons) and the
// library's own helpers are named with their element.
bool ownElement(QWidget* widget, QWidget* window) {
    if (widget->window() != window || (widget->focusPolicy() & Qt::TabFocus) == 0 ||
        widget->focusProxy() != nullptr || widget->objectName().startsWith(QStringLiteral("qt_"))) {
        return false;
    }
    for (QWidget* up = widget->parentWidget(); up != nullptr && up != window;
         up = up->parentWidget()) {
        if (qobject_cast<QComboBox*>(up) != nullptr ||
            qobject_cast<QAbstractSpinBox*>(up) != nullptr ||
            qobject_cast<QTabBar*>(up) != nullptr || qobject_cast<QToolBar*>(up) != nullptr) {
            return false;
        }
    }
    return qobject_cast<QTabBar*>(widget) == nullptr;  // named by its tabs
}

// The pages (of tabs and stacks) that hold a widget, innermost first: access keys on pages that
// are never shown together do not meet.
QList<QWidget*> pagesOf(QWidget* widget, QWidget* window) {
    QList<QWidget*> pages;
    for (QWidget* w = widget; w != nullptr && w != window; w = w->parentWidget()) {
        if (qobject_cast<QStackedWidget*>(w->parentWidget()) != nullptr) {
            pages << w;
        }
    }
    return pages;
}

struct KeyOwner {
    QString text;
    QList<QWidget*> pages;
};

bool meet(const KeyOwner& a, const KeyOwner& b) {
    const auto& shorter = a.pages.size() <= b.pages.size() ? a.pages : b.pages;
    const auto& longer = a.pages.size() <= b.pages.size() ? b.pages : a.pages;
    return longer.mid(longer.size() - shorter.size()) == shorter;
}

bool allowedPair(const QString& a, const QString& b, bool english) {
    if (!english) {
        return false;
    }
    for (const auto& [first, second] : kEnglishPairs) {
        if ((a == first && b == second) || (a == second && b == first)) {
            return true;
        }
    }
    return false;
}

void checkKeys(const QString& where, const QList<KeyOwner>& owners, bool english,
               QStringList& problems) {
    for (qsizetype i = 0; i < owners.size(); ++i) {
        for (qsizetype j = i + 1; j < owners.size(); ++j) {
            const QChar key = accessKey(owners[i].text);
            if (key.isNull() || key != accessKey(owners[j].text) || !meet(owners[i], owners[j]) ||
                allowedPair(owners[i].text, owners[j].text, english)) {
                continue;
            }
            problems << QStringLiteral("%1: \"%2\" and \"%3\" share Alt+%4")
                            .arg(where, owners[i].text, owners[j].text, key);
        }
    }
}

void checkMenu(const QString& where, QMenu* menu, bool english, QStringList& problems) {
    QList<KeyOwner> items;
    for (QAction* action : menu->actions()) {
        if (!action->isSeparator()) {
            items.append({action->text(), {}});
        }
        if (action->menu() != nullptr) {
            checkMenu(where + QLatin1Char('/') + action->text(), action->menu(), english, problems);
        }
    }
    checkKeys(where + QLatin1Char('/') + menu->title(), items, english, problems);
}

// All problems of one window or dialog.
QStringList problemsOf(QWidget* window, bool english) {
    QStringList problems;
    const QString where = window->objectName();
    QHash<QWidget*, QStringList> namesByParent;
    QList<KeyOwner> keys;
    for (QWidget* widget : window->findChildren<QWidget*>()) {
        if (ownElement(widget, window)) {
            const QString name = nameOf(widget);
            if (name.isEmpty()) {
                problems << QStringLiteral("%1: %2 (%3) has no name")
                                .arg(where, widget->objectName(),
                                     QString::fromLatin1(widget->metaObject()->className()));
            } else if (namesByParent[widget->parentWidget()].contains(name)) {
                problems << QStringLiteral("%1: %2 is named \"%3\" like a neighbour")
                                .arg(where, widget->objectName(), name);
            } else {
                namesByParent[widget->parentWidget()] << name;
            }
        }
        if (widget->window() != window) {
            continue;
        }
        if (auto* button = qobject_cast<QAbstractButton*>(widget);
            button != nullptr && qobject_cast<QToolButton*>(button) == nullptr) {
            keys.append({button->text(), pagesOf(button, window)});
        } else if (auto* label = qobject_cast<QLabel*>(widget);
                   label != nullptr && label->buddy() != nullptr) {
            keys.append({label->text(), pagesOf(label, window)});
        } else if (auto* group = qobject_cast<QGroupBox*>(widget);
                   group != nullptr && group->isCheckable()) {
            keys.append({group->title(), pagesOf(group, window)});
        } else if (auto* tabs = qobject_cast<QTabWidget*>(widget)) {
            for (int i = 0; i < tabs->count(); ++i) {
                keys.append({tabs->tabText(i), pagesOf(tabs, window)});
            }
        }
    }
    // A view's context menu: the window's commands on its entries and its own (sorting).
    for (QAbstractItemView* view : window->findChildren<QAbstractItemView*>()) {
        if (view->contextMenuPolicy() != Qt::ActionsContextMenu) {
            continue;
        }
        QList<KeyOwner> items;
        for (QAction* action : view->actions()) {
            if (!action->isSeparator()) {
                items.append({action->text(), {}});
            }
        }
        checkKeys(where + QLatin1Char('/') + view->objectName(), items, english, problems);
    }
    if (auto* main = qobject_cast<QMainWindow*>(window)) {
        for (QAction* top : main->menuBar()->actions()) {
            keys.append({top->text(), {}});
            if (top->menu() != nullptr) {
                checkMenu(where, top->menu(), english, problems);
            }
        }
    }
    checkKeys(where, keys, english, problems);
    return problems;
}

class Site {
public:
    explicit Site(const std::string& protocol, std::uint16_t language)
        : work_(fs::temp_directory_path() /
                ("ferix-access-" + std::to_string(getpid()) + "-" + std::to_string(++count_))) {
        fs::remove_all(work_);
        fs::create_directories(work_ / "DNC1" / "Machine1");
        store_ = std::make_unique<dnc::ConfigStore>(work_ / "DNC.ini");
        store_->write("Common", "LangID", std::to_string(language));
        store_->write("Ports", "1", (work_ / "no-such-port").string());
        store_->write(dnc::subNetSection(1), {{"Caption", "Hall A"},
                                              {"Protocol", protocol},
                                              {"FerixHomeDir", (work_ / "DNC1").string() + "/"},
                                              {"FerixDir1", "Machine1/"},
                                              {"Connected1", "True"},
                                              {"Editor", "sh"}});
    }
    ~Site() { fs::remove_all(work_); }
    dnc::ConfigStore& store() { return *store_; }
    fs::path chainFile() const { return work_ / "DNC1" / "Machine1" / "In.cnv"; }
    fs::path historyFile() const { return work_ / "history.sqlite"; }

private:
    static inline int count_ = 0;
    fs::path work_;
    std::unique_ptr<dnc::ConfigStore> store_;
};

}  // namespace

class AccessibilityTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void everyWindowAndDialog_data() {
        QTest::addColumn<int>("language");
        QTest::newRow("English") << int{loc::kEnglish};
        QTest::newRow("German") << int{loc::kGerman};
        QTest::newRow("Czech") << int{loc::kCzech};
    }

    void everyWindowAndDialog() {
        QFETCH(int, language);
        const bool english = language == loc::kEnglish;
        QStringList problems;
        for (const char* protocol : {"3", "4"}) {  // the memory pane, the file-name pane
            Site site(protocol, static_cast<std::uint16_t>(language));
            FakeDialogs dialogs;
            dialogs.answers = {true};
            frmDNC::Options options;
            options.history = site.historyFile();  // none yet: the view says so
            frmDNC window(site.store(), 1, dialogs, options);
            window.Initialize();
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            problems << problemsOf(&window, english);
            if (std::string(protocol) != "3") {
                continue;
            }
            window.showTransferHistory();
            QVERIFY(window.historyView() != nullptr);
            problems << problemsOf(window.historyView(), english);
            window.actConfigDNC();
            QVERIFY(window.configDialog()->isVisible());
            problems << problemsOf(window.configDialog(), english);
            window.configDialog()->openConversions(site.chainFile());
            QVERIFY(window.chainDialog() != nullptr);
            problems << problemsOf(window.chainDialog(), english);
            window.showControlProperties();
            if (window.controlPropertiesDialog() != nullptr) {
                problems << problemsOf(window.controlPropertiesDialog(), english);
            }
            dnc::window::frmConfirmConversion confirm;
            problems << problemsOf(&confirm, english);
            dnc::window::frmAboutDNC about;
            problems << problemsOf(&about, english);
        }
        Site site("3", static_cast<std::uint16_t>(language));
        FakeDialogs dialogs;
        dnc::window::frmDNCMain manager(site.store(), dialogs, {});
        problems << problemsOf(&manager, english);
        // Minimised (as start-up leaves it) the manager still has a name.
        QAccessibleInterface* frame = QAccessible::queryAccessibleInterface(&manager);
        manager.showMinimized();
        QVERIFY(!frame->text(QAccessible::Name).isEmpty());
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
    }
};

QTEST_MAIN(AccessibilityTest)
#include "AccessibilityTest.moc"
