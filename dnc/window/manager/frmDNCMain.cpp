#include "dnc/window/manager/frmDNCMain.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWindowStateChangeEvent>

#include "dnc/config/SubNetConfiguration.h"
#include "dnc/window/LoadResStrings.h"
#include "dnc/window/QtLanguage.h"
#include "dnc/window/rules/WindowGeometry.h"
#include "localizing/lookup/ResourceStrings.h"

namespace dnc::window {

namespace {

namespace str {
constexpr int kCaption = 101;
constexpr int kExit = 110;
constexpr int kOptions = 111;
constexpr int kShowInTaskbar = 112;
constexpr int kDefaultLanguage = 113;
constexpr int kOnStartUp = 120;
constexpr int kOn = 121;
constexpr int kOff = 122;
constexpr int kShow = 123;
constexpr int kHide = 124;
constexpr int kOnStartUpTip = 130;
constexpr int kOnTip = 131;
constexpr int kOffTip = 132;
constexpr int kShowTip = 133;
constexpr int kHideTip = 134;
constexpr int kListTip = 135;
constexpr int kRestore = 1300;
constexpr int kSubNetList = 1810;
}  // namespace str

constexpr int kMaxLanguages = 100;
constexpr std::int64_t kRightMarginTwips = 500;
constexpr std::int64_t kBottomMarginTwips = 400;

QPushButton* button(QWidget* parent, const char* name, int text, int tip) {
    auto* made = new QPushButton(programString(text), parent);
    made->setObjectName(QString::fromLatin1(name));
    made->setToolTip(programString(tip));
    return made;
}

}  // namespace

frmDNCMain::frmDNCMain(ConfigStore& store, OperatorDialogs& dialogs, Options options,
                       QWidget* parent)
    : QMainWindow(parent), store_(store), dialogs_(dialogs), options_(std::move(options)) {
    setObjectName(QStringLiteral("frmDNCMain"));
    const StoreSection common = store_.section("Common");
    const auto stored = static_cast<std::uint16_t>(common.readInt("LangID", 0, 0, 0xFFFF));
    loc::selectLanguage(stored);
    buildWindow();
    buildLanguageMenu(stored);
    fillList();
    showInTaskbar_ = common.readBool("ShowInTaskbar", false) || options_.showInTaskbar;
    mnuOptionsShowInTaskbar_->setChecked(showInTaskbar_);
    applyTaskbarPresence();
    adjustSize();
    placeAtLowerRight();
    // The flagged sub nets start once the window has finished loading.
    QTimer::singleShot(0, this, &frmDNCMain::deferredStartUp);
}

frmDNCMain::~frmDNCMain() {
    unload();
}

void frmDNCMain::buildWindow() {
    setWindowTitle(programString(str::kCaption));
    // A minimised window is named by its icon text (start-up minimises this one).
    setWindowIconText(programString(str::kCaption));
    setWindowIcon(style()->standardIcon(QStyle::SP_ComputerIcon));
    auto* options = menuBar()->addMenu(programString(str::kOptions));
    options->setObjectName(QStringLiteral("mnuOptions"));
    mnuOptionsShowInTaskbar_ = options->addAction(programString(str::kShowInTaskbar));
    mnuOptionsShowInTaskbar_->setObjectName(QStringLiteral("mnuOptionsShowInTaskbar"));
    mnuOptionsShowInTaskbar_->setCheckable(true);
    connect(mnuOptionsShowInTaskbar_, &QAction::triggered, this,
            [this](bool checked) { setShowInTaskbar(checked); });
    options->addSeparator()->setObjectName(QStringLiteral("mnuOptionsSeparator1"));
    languages_ = new QActionGroup(this);
    languages_->setExclusive(true);
    auto* exit = menuBar()->addAction(programString(str::kExit));
    exit->setObjectName(QStringLiteral("mnuExit"));
    connect(exit, &QAction::triggered, this, &QWidget::close);

    auto* central = new QWidget(this);
    auto* grid = new QGridLayout(central);
    ListDNC_ = new QListWidget(central);
    ListDNC_->setObjectName(QStringLiteral("ListDNC"));
    ListDNC_->setToolTip(programString(str::kListTip));
    ListDNC_->setAccessibleName(programString(str::kSubNetList));
    chkOnStartUp_ = new QCheckBox(programString(str::kOnStartUp), central);
    chkOnStartUp_->setObjectName(QStringLiteral("chkOnStartUp"));
    chkOnStartUp_->setToolTip(programString(str::kOnStartUpTip));
    cmdStart_ = button(central, "cmdStart", str::kOn, str::kOnTip);
    cmdStop_ = button(central, "cmdStop", str::kOff, str::kOffTip);
    cmdShow_ = button(central, "cmdShow", str::kShow, str::kShowTip);
    cmdHide_ = button(central, "cmdHide", str::kHide, str::kHideTip);
    grid->addWidget(ListDNC_, 0, 0, 6, 1);
    grid->addWidget(cmdStart_, 0, 1);
    grid->addWidget(cmdStop_, 1, 1);
    grid->addWidget(cmdShow_, 2, 1);
    grid->addWidget(cmdHide_, 3, 1);
    grid->setRowStretch(4, 1);
    grid->addWidget(chkOnStartUp_, 6, 0, 1, 2);
    setCentralWidget(central);

    connect(cmdStart_, &QPushButton::clicked, this, &frmDNCMain::cmdStart);
    connect(cmdStop_, &QPushButton::clicked, this, &frmDNCMain::cmdStop);
    connect(cmdShow_, &QPushButton::clicked, this, &frmDNCMain::cmdShow);
    connect(cmdHide_, &QPushButton::clicked, this, &frmDNCMain::cmdHide);
    connect(ListDNC_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0) {
            chkOnStartUp_->setChecked(startUp_[static_cast<std::size_t>(row)]);
        }
    });
    connect(chkOnStartUp_, &QCheckBox::clicked, this, [this](bool checked) {
        const int row = highlighted();
        if (row >= 0) {
            startUp_[static_cast<std::size_t>(row)] = checked;  // stored when the window closes
        }
    });
    connect(ListDNC_, &QListWidget::itemChanged, this, &frmDNCMain::onItemChanged);
}

void frmDNCMain::buildLanguageMenu(std::uint16_t stored) {
    auto* options = findChild<QMenu*>(QStringLiteral("mnuOptions"));
    const auto add = [this, options, stored](const QString& caption, std::uint16_t language) {
        QAction* item = options->addAction(caption);
        item->setObjectName(
            QStringLiteral("mnuOptionsLanguage%1").arg(languages_->actions().size()));
        item->setCheckable(true);
        item->setData(language);
        item->setChecked(language == stored);
        languages_->addAction(item);
        connect(item, &QAction::triggered, this, [this, language] { chooseLanguage(language); });
    };
    add(programString(str::kDefaultLanguage), 0);
    std::array<std::uint16_t, kMaxLanguages> codes{};
    const int count = loc::availableLanguages(codes.data(), kMaxLanguages - 1);
    for (int i = 0; i < count && i < kMaxLanguages; ++i) {
        const std::uint16_t code = codes[static_cast<std::size_t>(i)];
        add(QString::fromStdString(loc::languageName(code)), code);
    }
}

QList<QAction*> frmDNCMain::languageItems() const {
    return languages_->actions();
}

void frmDNCMain::fillList() {
    const SubNetConfiguration names;
    ticking_ = true;
    for (int n = 1; n <= kSubNetCount; ++n) {
        auto* item = new QListWidgetItem(
            QString::fromStdString(
                store_.section(subNetSection(n)).readString("Caption", names.defaultCaption(n))),
            ListDNC_);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
    ticking_ = false;
    // All sixteen entries in sight, without scrolling.
    ListDNC_->setMinimumHeight(ListDNC_->sizeHintForRow(0) * kSubNetCount +
                               2 * ListDNC_->frameWidth() + 4);
    const StoreSection common = store_.section("Common");
    for (int n = 1; n <= kSubNetCount; ++n) {
        startUp_[index(n)] = common.readBool(std::to_string(n), false);
    }
}

void frmDNCMain::placeAtLowerRight() {
    QScreen* screen = this->screen() != nullptr ? this->screen() : QApplication::primaryScreen();
    if (screen == nullptr) {
        return;
    }
    const double dpi = screen->logicalDotsPerInch();
    const QRect area = screen->availableGeometry();
    const QSize frame = frameGeometry().size();
    move(area.right() + 1 - frame.width() - pixelsFromTwips(kRightMarginTwips, dpi),
         area.bottom() + 1 - frame.height() - pixelsFromTwips(kBottomMarginTwips, dpi));
}

void frmDNCMain::deferredStartUp() {
    if (unloaded_ || startedUp_) {
        return;
    }
    for (int n = 1; n <= kSubNetCount; ++n) {
        if (startUp_[index(n)]) {
            start(n, false);  // serving, its window hidden until the operator shows it
        }
    }
    addTrayIcon();
    startedUp_ = true;
    showMinimized();
}

void frmDNCMain::addTrayIcon() {
    if (!options_.trayAvailable || tray_ != nullptr) {
        return;
    }
    tray_ = new QSystemTrayIcon(windowIcon(), this);
    tray_->setToolTip(windowTitle());
    auto* menu = new QMenu(this);
    menu->addAction(programString(str::kRestore), this, &frmDNCMain::restore);
    menu->addAction(programString(str::kExit), this, &QWidget::close);
    tray_->setContextMenu(menu);
    connect(tray_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::DoubleClick) {
                    restore();
                }
            });
    tray_->show();
}

void frmDNCMain::restore() {
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

int frmDNCMain::highlighted() const {
    return ListDNC_->currentRow();
}

void frmDNCMain::highlight(int subNet) {
    ListDNC_->setCurrentRow(subNet - 1);
}

bool frmDNCMain::isTicked(int subNet) const {
    return ListDNC_->item(subNet - 1)->checkState() == Qt::Checked;
}

void frmDNCMain::tick(int subNet, bool ticked) {
    ticking_ = true;
    ListDNC_->item(subNet - 1)->setCheckState(ticked ? Qt::Checked : Qt::Unchecked);
    ticking_ = false;
}

void frmDNCMain::onItemChanged(QListWidgetItem* item) {
    if (ticking_) {
        return;
    }
    // The tick mirrors the running state; only the program changes it.
    const int n = ListDNC_->row(item) + 1;
    if (isTicked(n) != running_[index(n)]) {
        tick(n, running_[index(n)]);
    }
}

// ---- starting and stopping -----------------------------------------------------------------

void frmDNCMain::start(int subNet, bool show) {
    if (subNet < 1 || subNet > kSubNetCount || running_[index(subNet)] || unloaded_) {
        return;
    }
    frmDNC::Options options = options_.subNet;
    options.told = [this, subNet](const SubNetEvent& event) {
        // A caption changed in the configuration shows in the list at once.
        if (event.kind == SubNetEvent::Kind::ConfigChanged && event.settings) {
            const QString caption = QString::fromStdString(event.settings->caption);
            QListWidgetItem* item = ListDNC_->item(subNet - 1);
            if (item != nullptr && item->text() != caption) {
                ticking_ = true;
                item->setText(caption);
                ticking_ = false;
            }
        }
        if (observer_ != nullptr) {
            observer_->subNetEvent(event);
        }
    };
    // A closed window of an earlier run goes; its sub net has ended.
    if (windows_[index(subNet)]) {
        windows_[index(subNet)].release()->deleteLater();
    }
    auto window = std::make_unique<frmDNC>(store_, subNet, dialogs_, options);
    connect(window.get(), &frmDNC::subNetClosed, this, &frmDNCMain::onSubNetClosed);
    window->Initialize();
    windows_[index(subNet)] = std::move(window);
    if (show) {
        showSubNet(subNet);
    }
    running_[index(subNet)] = true;
    tick(subNet, true);
    if (observer_ != nullptr) {
        observer_->subNetStarted(subNet);
    }
}

void frmDNCMain::onSubNetClosed(int subNet) {
    if (subNet < 1 || subNet > kSubNetCount || !running_[index(subNet)]) {
        return;
    }
    running_[index(subNet)] = false;
    tick(subNet, false);
    if (observer_ != nullptr) {
        observer_->subNetClosed(subNet);
    }
}

void frmDNCMain::cmdStart() {
    if (highlighted() >= 0) {
        start(highlighted() + 1, true);
    }
}

void frmDNCMain::cmdStop() {
    if (highlighted() >= 0) {
        stopSubNet(highlighted() + 1);
    }
}

void frmDNCMain::cmdShow() {
    if (highlighted() >= 0) {
        showSubNet(highlighted() + 1);
    }
}

void frmDNCMain::cmdHide() {
    if (highlighted() >= 0) {
        hideSubNet(highlighted() + 1);
    }
}

// ---- options -------------------------------------------------------------------------------

void frmDNCMain::chooseLanguage(std::uint16_t language) {
    for (QAction* item : languages_->actions()) {
        item->setChecked(item->data().toUInt() == language);
    }
    // The open windows keep their language; windows opened from now on take this one, with
    // Qt's own texts and the date.
    store_.write("Common", "LangID", std::to_string(language));
    applyQtLanguage(language);
}

void frmDNCMain::setShowInTaskbar(bool shown) {
    showInTaskbar_ = shown;
    mnuOptionsShowInTaskbar_->setChecked(shown);
    applyTaskbarPresence();
}

void frmDNCMain::applyTaskbarPresence() {
    // Without a tray the taskbar is the only way back to a minimized window: it stays there.
    const bool skip = !showInTaskbar_ && options_.trayAvailable;
    if (windowFlags().testFlag(Qt::Tool) == skip) {
        return;
    }
    const bool visible = isVisible();
    setWindowFlag(Qt::Tool, skip);
    if (visible) {
        show();
    }
}

void frmDNCMain::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && isMinimized() && !showInTaskbar_ &&
        tray_ != nullptr) {
        // Into the tray: hidden, and back in the normal state for the double click.
        QTimer::singleShot(0, this, [this] {
            hide();
            setWindowState(windowState() & ~Qt::WindowMinimized);
        });
    }
}

// ---- unloading -----------------------------------------------------------------------------

void frmDNCMain::closeEvent(QCloseEvent* event) {
    unload();
    event->accept();
}

void frmDNCMain::unload() {
    if (unloaded_) {
        return;
    }
    unloaded_ = true;
    // Each close returns once its sub net has stored its configuration and released the line,
    // so nothing has to be waited for afterwards.
    ConfigStore::Values flags;
    for (int n = 1; n <= kSubNetCount; ++n) {
        if (running_[index(n)]) {
            windows_[index(n)]->close();
        }
        windows_[index(n)].reset();
        flags.emplace_back(std::to_string(n), startUp_[index(n)] ? "True" : "False");
    }
    flags.emplace_back("ShowInTaskbar", showInTaskbar_ ? "True" : "False");
    store_.write("Common", flags);
    if (tray_ != nullptr) {
        tray_->hide();
        delete tray_;
        tray_ = nullptr;
    }
    emit managerUnloaded();
}

// ---- the network as other programs drive it ------------------------------------------------

std::vector<SubNetEntry> frmDNCMain::subNetEntries() const {
    std::vector<SubNetEntry> entries;
    for (int n = 1; n <= kSubNetCount; ++n) {
        SubNetEntry entry;
        entry.number = n;
        entry.caption = ListDNC_->item(n - 1)->text().toStdString();
        entry.running = running_[index(n)];
        entry.startUp = startUp_[index(n)];
        entries.push_back(entry);
    }
    return entries;
}

void frmDNCMain::startSubNet(int subNet) {
    start(subNet, true);
}

void frmDNCMain::stopSubNet(int subNet) {
    if (subNet < 1 || subNet > kSubNetCount || !running_[index(subNet)]) {
        return;
    }
    windows_[index(subNet)]->close();  // stores its configuration; its closing unticks it
    // A box of that window may still be on the stack (a stop over D-Bus while it is open):
    // the window goes once control is back in the event loop.
    windows_[index(subNet)].release()->deleteLater();
}

bool frmDNCMain::showSubNet(int subNet) {
    if (subNet >= 1 && subNet <= kSubNetCount && windows_[index(subNet)] &&
        !windows_[index(subNet)]->closed()) {
        frmDNC* window = windows_[index(subNet)].get();
        window->show();
        window->raise();
        window->activateWindow();
    }
    return true;
}

bool frmDNCMain::hideSubNet(int subNet) {
    if (subNet >= 1 && subNet <= kSubNetCount && windows_[index(subNet)] &&
        !windows_[index(subNet)]->closed()) {
        windows_[index(subNet)]->hide();  // the sub net keeps running
    }
    return true;
}

SubNet* frmDNCMain::runningSubNet(int subNet) {
    if (subNet < 1 || subNet > kSubNetCount || !running_[index(subNet)]) {
        return nullptr;
    }
    return windows_[index(subNet)]->subNet();
}

void frmDNCMain::postToNetwork(std::function<void()> work) {
    // Behind the queued hand-overs of the events that the sub nets delivered before.
    QMetaObject::invokeMethod(this, std::move(work), Qt::QueuedConnection);
}

}  // namespace dnc::window
