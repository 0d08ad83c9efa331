#include "dnc/window/frmDNC.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QMetaObject>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QStyle>
#include <QTime>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>
#include <QWhatsThis>
#include <cstdio>
#include <cstdlib>

#include "comm/widgets/AboutBox.h"
#include "dnc/config/SubNetConfiguration.h"
#include "dnc/window/HelpPages.h"
#include "dnc/window/LoadResStrings.h"
#include "dnc/window/WindowLink.h"
#include "dnc/window/frmAboutDNC.h"
#include "dnc/window/rules/CommandSets.h"
#include "dnc/window/rules/DirectoryFiles.h"
#include "dnc/window/rules/ProgramLaunch.h"
#include "dnc/window/rules/UnitSelector.h"
#include "dnc/window/rules/WindowGeometry.h"
#include "dnc/window/rules/WindowStrings.h"
#include "dnc/window/rules/WindowTexts.h"
#include "localizing/lookup/ResourceStrings.h"

namespace dnc::window {

namespace {

constexpr int kSizeRole = Qt::UserRole;
constexpr int kDefaultWidth = 960;
constexpr int kDefaultHeight = 620;

std::string lookup(int id) {
    return loc::resString(id);
}

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

std::string s(const QString& text) {
    return text.toStdString();
}

void tag(QObject* element, int number) {
    element->setProperty("tag", number);
}

QLabel* label(QWidget* parent, const char* name, int number) {
    auto* l = new QLabel(parent);
    l->setObjectName(QString::fromLatin1(name));
    tag(l, number);
    return l;
}

QLabel* dataLabel(QWidget* parent, const char* name) {
    auto* l = new QLabel(parent);
    l->setObjectName(QString::fromLatin1(name));
    tag(l, 0);  // shows values, never a numbered text
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return l;
}

QPushButton* button(QWidget* parent, const char* name, int number, int tip = 0) {
    auto* b = new QPushButton(parent);
    b->setObjectName(QString::fromLatin1(name));
    tag(b, number);
    if (tip > 0) {
        b->setProperty("toolTipTag", tip);
    }
    return b;
}

QListWidget* fileList(QWidget* parent, const char* name, const char* labelledBy) {
    auto* list = new QListWidget(parent);
    list->setObjectName(QString::fromLatin1(name));
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setProperty("labelledBy", QString::fromLatin1(labelledBy));
    return list;
}

void fill(QListWidget* list, const std::vector<ListEntry>& entries) {
    const int remembered = list->currentRow();
    list->clear();
    for (const ListEntry& e : entries) {
        auto* item = new QListWidgetItem(q(e.name), list);
        item->setData(kSizeRole, QVariant::fromValue<qint64>(e.size));
    }
    const int index = keepIndex(remembered, list->count());
    if (index >= 0) {
        list->setCurrentRow(index);
        list->item(index)->setSelected(true);
    }
}

std::vector<ListEntry> entriesOf(const QListWidget* list) {
    std::vector<ListEntry> entries;
    for (int i = 0; i < list->count(); ++i) {
        const QListWidgetItem* item = list->item(i);
        entries.push_back({s(item->text()), item->data(kSizeRole).toLongLong()});
    }
    return entries;
}

std::string share(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.4g", static_cast<double>(value));
    return text;
}

class BusyPointer {
public:
    BusyPointer() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyPointer() { QApplication::restoreOverrideCursor(); }
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;
};

}  // namespace

InfoBar::InfoBar(QWidget* parent) : QLabel(parent) {
    setObjectName(QStringLiteral("InfoBar"));
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setFocusPolicy(Qt::TabFocus);
    setTextInteractionFlags(Qt::NoTextInteraction);
    setMinimumHeight(fontMetrics().height() + 6);
}

void InfoBar::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    emit clicked();
}

void InfoBar::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter ||
        event->key() == Qt::Key_Space) {
        emit clicked();
        return;
    }
    QLabel::keyPressEvent(event);
}

frmDNC::frmDNC(ConfigStore& store, int ID, OperatorDialogs& dialogs, Options options,
               QWidget* parent)
    : QMainWindow(parent), store_(store), id_(ID), dialogs_(dialogs), options_(std::move(options)) {
    setObjectName(QStringLiteral("frmDNC"));
    tag(this, 201);
    // Window load: the language of this thread, the texts, the default shares, the limits.
    const auto language =
        static_cast<std::uint16_t>(store_.section("Common").readInt("LangID", 0, 0, 0xFFFF));
    loc::selectLanguage(language);
    buildMenus();
    buildToolBar();
    buildPanes();
    buildStatusBar();
    loadTexts();
    setMinimumSize(kMinWidthPixels, kMinHeightPixels);
    resize(kDefaultWidth, kDefaultHeight);
    link_ = std::make_unique<WindowLink>(
        this,
        [this] { QMetaObject::invokeMethod(this, &frmDNC::takeEvents, Qt::QueuedConnection); },
        [this](const std::string& caption, const std::string& text) {
            dialogs_.tell(this, caption.empty() ? appTitle() : q(caption), q(text),
                          OperatorDialogs::Icon::Information);
        });
}

frmDNC::~frmDNC() {
    if (!closed_ && subNet_) {
        link_->beginClosing();
        subNet_->CloseIt();
    }
    subNet_.reset();
}

QString frmDNC::text(int id) const {
    return q(lookup(id));
}

QString frmDNC::appTitle() const {
    return q(windowCaption(settings_.caption, lookup));
}

QAction* frmDNC::action(const char* name, int textId, void (frmDNC::*slot)(), int tip) {
    auto* a = new QAction(QString::number(textId), this);
    a->setObjectName(QString::fromLatin1(name));
    if (tip > 0) {
        a->setProperty("toolTipTag", tip);
    }
    if (slot != nullptr) {
        connect(a, &QAction::triggered, this, slot);
    }
    return a;
}

void frmDNC::buildMenus() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("menuBar"));
    auto menu = [this, bar](const char* name, int number) {
        QMenu* m = bar->addMenu(QString::number(number));
        m->setObjectName(QString::fromLatin1(name));
        m->menuAction()->setObjectName(QString::fromLatin1(name));
        return m;
    };
    QMenu* system = menu("mnuSystem", str::kSystemMenu);
    system->addAction(action("mnuSystemStop", str::kStopCommunication, &frmDNC::StopCommunication));
    system->addAction(
        action("mnuSystemStart", str::kStartCommunication, &frmDNC::StartCommunication));
    system->addSeparator();
    QAction* exit = action("mnuSystemExit", str::kExit, nullptr);
    connect(exit, &QAction::triggered, this, &QWidget::close);
    system->addAction(exit);

    QMenu* edit = menu("mnuEdit", 220);
    edit->addAction(action("mnuEditSource", 221, &frmDNC::editSourceProgram));
    edit->addAction(action("mnuEditFerixSource", 222, &frmDNC::editFerixProgram));

    QMenu* transfers = menu("mnuTransfer", str::kTransfersMenu);
    transfers->addAction(
        action("mnuTransferPCFerix", str::kTransferPCFerix, &frmDNC::actTransferPCFerix));
    transfers->addAction(
        action("mnuTransferFerixPC", str::kTransferFerixPC, &frmDNC::actTransferFerixPC));
    transfers->addSeparator();
    transfers->addAction(action("mnuTransferLst", str::kUpdateMemoryList, &frmDNC::actFerixLst));
    transfers->addAction(action("mnuTransferRemove", str::kDeleteInMemory, &frmDNC::actRemove));

    QMenu* ferix = menu("mnuFerix", 250);
    for (const UnitCommandSpec& spec : unitCommands()) {
        QAction* a = action(spec.element, spec.caption, nullptr);
        const UnitCommand command = spec.command;
        connect(a, &QAction::triggered, this, [this, command] { runUnitCommand(command); });
        if (command == UnitCommand::Section1 || command == UnitCommand::Reset) {
            ferix->addSeparator();
        }
        ferix->addAction(a);
    }

    QMenu* help = menu("mnuHelp", str::kHelpMenu);
    QAction* contents = action("mnuHelpContens", str::kHelpContents, &frmDNC::showHelpContents);
    contents->setShortcut(QKeySequence::HelpContents);
    help->addAction(contents);
    QAction* whatsThis = action("mnuHelpWhatIsThis", str::kWhatsThis, nullptr);
    whatsThis->setShortcut(QKeySequence::WhatsThis);
    connect(whatsThis, &QAction::triggered, this, [] { QWhatsThis::enterWhatsThisMode(); });
    help->addAction(whatsThis);
    help->addSeparator();
    help->addAction(action("mnuHelpAbout", str::kAbout, &frmDNC::showAbout));
    help->addAction(action("mnuHelpAboutFerixComm", str::kAboutControl, &frmDNC::showControlAbout));
}

void frmDNC::buildToolBar() {
    toolBar_ = addToolBar(QStringLiteral("Toolbar"));
    toolBar_->setObjectName(QStringLiteral("Toolbar"));
    toolBar_->setMovable(false);
    QStyle* st = style();
    auto add = [this](const char* name, QStyle::StandardPixmap icon, int tip,
                      void (frmDNC::*slot)()) {
        QAction* a = action(name, tip, slot, tip);
        a->setToolTip(QString::number(tip));
        a->setIcon(style()->standardIcon(icon));
        toolBar_->addAction(a);
        if (QWidget* w = toolBar_->widgetForAction(a)) {
            w->setObjectName(QString::fromLatin1(name));
        }
        return a;
    };
    (void)st;
    add("btnTransferPCFerix", QStyle::SP_ArrowRight, str::kTipTransferPCFerix,
        &frmDNC::actTransferPCFerix);
    add("btnTransferFerixPC", QStyle::SP_ArrowLeft, str::kTipTransferFerixPC,
        &frmDNC::actTransferFerixPC);
    add("btnFerixLst", QStyle::SP_BrowserReload, str::kTipFerixLst, &frmDNC::actFerixLst);
    add("btnRemove", QStyle::SP_TrashIcon, str::kTipRemove, &frmDNC::actRemove);
    QAction* purge =
        add("btnClearMemory", QStyle::SP_DialogDiscardButton, str::kTipClearMemory, nullptr);
    connect(purge, &QAction::triggered, this, [this] { runUnitCommand(UnitCommand::PurgeMemory); });
    toolBar_->addSeparator();
    add("btnStopCommunication", QStyle::SP_MediaStop, str::kTipStopCommunication,
        &frmDNC::StopCommunication);
    add("btnStartCommunication", QStyle::SP_MediaPlay, str::kTipStartCommunication,
        &frmDNC::StartCommunication);
    toolBar_->addSeparator();
    QAction* what =
        add("btnWhatIsThis", QStyle::SP_TitleBarContextHelpButton, str::kTipWhatIsThis, nullptr);
    connect(what, &QAction::triggered, this, [] { QWhatsThis::enterWhatsThisMode(); });
}

void frmDNC::buildPanes() {
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("central"));
    auto* outer = new QVBoxLayout(central);

    auto* top = new QHBoxLayout;
    QLabel* lblFerixAdr = label(central, "lblFerixAdr", str::kSelectedFerix);
    comboFerixAdr_ = new QComboBox(central);
    comboFerixAdr_->setObjectName(QStringLiteral("comboFerixAdr"));
    comboFerixAdr_->setProperty("labelledBy", QStringLiteral("lblFerixAdr"));
    comboFerixAdr_->setProperty("whatsThisTag", str::kWhatsThisFirst);
    comboFerixAdr_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    lblFerixAdr->setBuddy(comboFerixAdr_);
    top->addWidget(lblFerixAdr);
    top->addWidget(comboFerixAdr_, 1);
    outer->addLayout(top);
    connect(comboFerixAdr_, &QComboBox::activated, this, [this] { onUnitSelected(); });

    splitter_ = new QSplitter(Qt::Horizontal, central);
    splitter_->setObjectName(QStringLiteral("splitter"));
    splitter_->setChildrenCollapsible(true);

    // PC programs.
    frDir_ = new QGroupBox(splitter_);
    frDir_->setObjectName(QStringLiteral("frDir"));
    tag(frDir_, str::kPcPrograms);
    frDir_->setProperty("whatsThisTag", str::kWhatsThisFirst + 1);
    auto* dirLayout = new QGridLayout(frDir_);
    QLabel* lblPath = label(frDir_, "lblListDirPath", str::kPath);
    txtListDirPath_ = new QLineEdit(frDir_);
    txtListDirPath_->setObjectName(QStringLiteral("txtListDirPath"));
    txtListDirPath_->setProperty("labelledBy", QStringLiteral("lblListDirPath"));
    lblPath->setBuddy(txtListDirPath_);
    QPushButton* cmdChangeDir = button(frDir_, "cmdChangeDir", 0, str::kTipChangeDir);
    cmdChangeDir->setText(QStringLiteral("…"));
    cmdChangeDir->setAccessibleName(QStringLiteral("cmdChangeDir"));
    QLabel* lblDirPattern = label(frDir_, "lblDirPattern", str::kMask);
    comboDirPattern_ = new QComboBox(frDir_);
    comboDirPattern_->setObjectName(QStringLiteral("comboDirPattern"));
    comboDirPattern_->setEditable(true);
    comboDirPattern_->addItems(
        {QStringLiteral("*.txt"), QStringLiteral("*.ncp"), QStringLiteral("*.*")});
    comboDirPattern_->setProperty("labelledBy", QStringLiteral("lblDirPattern"));
    lblDirPattern->setBuddy(comboDirPattern_);
    listDir_ = fileList(frDir_, "listDir", "frDir");
    lblDirSelFile_ = dataLabel(frDir_, "lblDirSelFile");
    lblDirSelSize_ = dataLabel(frDir_, "lblDirSelSize");
    QPushButton* cmdRefreshDir = button(frDir_, "cmdRefreshDir", 0, str::kTipRefresh);
    cmdRefreshDir->setIcon(style()->standardIcon(QStyle::SP_BrowserReload));
    dirLayout->addWidget(lblPath, 0, 0);
    dirLayout->addWidget(txtListDirPath_, 0, 1);
    dirLayout->addWidget(cmdChangeDir, 0, 2);
    dirLayout->addWidget(lblDirPattern, 1, 0);
    dirLayout->addWidget(comboDirPattern_, 1, 1);
    dirLayout->addWidget(cmdRefreshDir, 1, 2);
    dirLayout->addWidget(listDir_, 2, 0, 1, 3);
    dirLayout->addWidget(lblDirSelFile_, 3, 0, 1, 2);
    auto* dirSize = new QHBoxLayout;
    dirSize->addWidget(lblDirSelSize_);
    dirSize->addWidget(label(frDir_, "lblDirBytes", str::kBytes));
    dirSize->addStretch();
    dirLayout->addLayout(dirSize, 4, 0, 1, 3);
    connect(cmdChangeDir, &QPushButton::clicked, this, [this] {
        const int unit = selectedUnit();
        if (unit == 0) {
            return;
        }
        const auto chosen = dialogs_.chooseDirectory(
            this, text(str::kDirectory), listDirPath_[static_cast<std::size_t>(unit - 1)]);
        if (chosen && !closed_) {
            RefreshPCDirectory(*chosen);
        }
    });
    connect(cmdRefreshDir, &QPushButton::clicked, this, [this] { RefreshPCDirectory({}); });
    connect(txtListDirPath_, &QLineEdit::returnPressed, this,
            [this] { RefreshPCDirectory(txtListDirPath_->text()); });
    connect(comboDirPattern_, &QComboBox::currentTextChanged, this, [this] {
        if (initialized_) {
            RefreshPCDirectory({});
        }
    });
    connect(listDir_, &QListWidget::itemSelectionChanged, this,
            [this] { updateSummary(listDir_, lblDirSelFile_, lblDirSelSize_); });
    connect(listDir_, &QListWidget::currentRowChanged, this,
            [this] { updateSummary(listDir_, lblDirSelFile_, lblDirSelSize_); });
    connect(listDir_, &QListWidget::itemDoubleClicked, this, [this] { editSourceProgram(); });

    // The unit directory.
    frFerixDir_ = new QGroupBox(splitter_);
    frFerixDir_->setObjectName(QStringLiteral("frFerixDir"));
    tag(frFerixDir_, str::kUnitDirectory);
    frFerixDir_->setProperty("whatsThisTag", str::kWhatsThisFirst + 2);
    auto* ferixDirLayout = new QGridLayout(frFerixDir_);
    QLabel* lblFerixDirPattern = label(frFerixDir_, "lblFerixDirPattern", str::kMask);
    comboFerixDirPattern_ = new QComboBox(frFerixDir_);
    comboFerixDirPattern_->setObjectName(QStringLiteral("comboFerixDirPattern"));
    comboFerixDirPattern_->setEditable(true);
    comboFerixDirPattern_->setProperty("labelledBy", QStringLiteral("lblFerixDirPattern"));
    lblFerixDirPattern->setBuddy(comboFerixDirPattern_);
    QPushButton* cmdRefreshFerixDir =
        button(frFerixDir_, "cmdRefreshFerixDir", 0, str::kTipRefresh);
    cmdRefreshFerixDir->setIcon(style()->standardIcon(QStyle::SP_BrowserReload));
    listFerixDir_ = fileList(frFerixDir_, "listFerixDir", "frFerixDir");
    lblFerixDirSelFile_ = dataLabel(frFerixDir_, "lblFerixDirSelFile");
    lblFerixDirSelSize_ = dataLabel(frFerixDir_, "lblFerixDirSelSize");
    ferixDirLayout->addWidget(lblFerixDirPattern, 0, 0);
    ferixDirLayout->addWidget(comboFerixDirPattern_, 0, 1);
    ferixDirLayout->addWidget(cmdRefreshFerixDir, 0, 2);
    ferixDirLayout->addWidget(listFerixDir_, 1, 0, 1, 3);
    ferixDirLayout->addWidget(lblFerixDirSelFile_, 2, 0, 1, 3);
    auto* ferixDirSize = new QHBoxLayout;
    ferixDirSize->addWidget(lblFerixDirSelSize_);
    ferixDirSize->addWidget(label(frFerixDir_, "lblFerixDirBytes", str::kBytes));
    ferixDirSize->addStretch();
    ferixDirLayout->addLayout(ferixDirSize, 3, 0, 1, 3);
    connect(cmdRefreshFerixDir, &QPushButton::clicked, this,
            [this] { RefreshFerixDirectory(selectedUnit()); });
    connect(comboFerixDirPattern_, &QComboBox::currentTextChanged, this, [this] {
        if (initialized_) {
            RefreshFerixDirectory(selectedUnit());
        }
    });
    connect(listFerixDir_, &QListWidget::itemSelectionChanged, this,
            [this] { updateSummary(listFerixDir_, lblFerixDirSelFile_, lblFerixDirSelSize_); });
    connect(listFerixDir_, &QListWidget::currentRowChanged, this,
            [this] { updateSummary(listFerixDir_, lblFerixDirSelFile_, lblFerixDirSelSize_); });
    connect(listFerixDir_, &QListWidget::itemDoubleClicked, this, [this] { editFerixProgram(); });

    // The unit: transfer buttons, then its memory list or the file-name box.
    auto* right = new QWidget(splitter_);
    right->setObjectName(QStringLiteral("rightPane"));
    auto* rightLayout = new QHBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    auto* transferColumn = new QWidget(right);
    transferColumn->setObjectName(QStringLiteral("transferButtons"));
    auto* column = new QVBoxLayout(transferColumn);
    cmdTransferPCFerix_ = button(transferColumn, "cmdTransferPCFerix", 0, str::kTipTransferPCFerix);
    cmdTransferPCFerix_->setIcon(style()->standardIcon(QStyle::SP_ArrowRight));
    cmdTransferFerixPC_ = button(transferColumn, "cmdTransferFerixPC", 0, str::kTipTransferFerixPC);
    cmdTransferFerixPC_->setIcon(style()->standardIcon(QStyle::SP_ArrowLeft));
    cmdStop_ = button(transferColumn, "cmdStop", str::kStop, str::kTipStop);
    cmdStop_->setIcon(style()->standardIcon(QStyle::SP_BrowserStop));
    cmdStop_->hide();
    column->addStretch();
    column->addWidget(cmdTransferPCFerix_);
    column->addWidget(cmdTransferFerixPC_);
    column->addStretch();
    cmdTransferPCFerix_->installEventFilter(this);
    cmdTransferFerixPC_->installEventFilter(this);
    connect(cmdTransferPCFerix_, &QPushButton::clicked, this, &frmDNC::actTransferPCFerix);
    connect(cmdTransferFerixPC_, &QPushButton::clicked, this, &frmDNC::actTransferFerixPC);
    connect(cmdStop_, &QPushButton::clicked, this, [this] {
        if (subNet_) {
            subNet_->StopTransfer();
        }
    });

    rightStack_ = new QStackedWidget(right);
    rightStack_->setObjectName(QStringLiteral("unitPanes"));
    frFerixLst_ = new QGroupBox(rightStack_);
    frFerixLst_->setObjectName(QStringLiteral("frFerixLst"));
    tag(frFerixLst_, str::kUnitMemory);
    frFerixLst_->setProperty("whatsThisTag", str::kWhatsThisFirst + 3);
    auto* lstLayout = new QGridLayout(frFerixLst_);
    lblFree_ = label(frFerixLst_, "lblFree", str::kFree);
    lblFerixFreeMem_ = dataLabel(frFerixLst_, "lblFerixFreeMem");
    lblFreeBytes_ = label(frFerixLst_, "lblFreeBytes", str::kBytes);
    lblSection_ = label(frFerixLst_, "lblSection", str::kSection);
    lblFerixMemSection_ = dataLabel(frFerixLst_, "lblFerixMemSection");
    lblFerixLstChanged_ = label(frFerixLst_, "lblFerixLstChanged", str::kStaleMarker);
    lblFerixLstChanged_->hide();
    lblFerixNotReady_ = label(frFerixLst_, "lblFerixNotReady", str::kFerixNotReady);
    lblFerixNotReady_->hide();
    lblFerixNotSelected_ = label(frFerixLst_, "lblFerixNotSelected", str::kFerixNotSelected);
    for (QLabel* warning : {lblFerixNotReady_, lblFerixNotSelected_, lblFerixLstChanged_}) {
        QFont bold = warning->font();
        bold.setBold(true);
        warning->setFont(bold);
    }
    listFerixLst_ = fileList(frFerixLst_, "listFerixLst", "frFerixLst");
    lblFerixLstSelFile_ = dataLabel(frFerixLst_, "lblFerixLstSelFile");
    lblFerixLstSelSize_ = dataLabel(frFerixLst_, "lblFerixLstSelSize");
    lblFerixLstSelBytes_ = label(frFerixLst_, "lblFerixLstBytes", str::kBytes);
    QPushButton* cmdRefreshFerixLst =
        button(frFerixLst_, "cmdRefreshFerixLst", 0, str::kTipFerixLst);
    cmdRefreshFerixLst->setIcon(style()->standardIcon(QStyle::SP_BrowserReload));
    QPushButton* cmdFerixLstRemove = button(frFerixLst_, "cmdFerixLstRemove", 0, str::kTipRemove);
    cmdFerixLstRemove->setIcon(style()->standardIcon(QStyle::SP_TrashIcon));
    auto* free = new QHBoxLayout;
    free->addWidget(lblFree_);
    free->addWidget(lblFerixFreeMem_);
    free->addWidget(lblFreeBytes_);
    free->addStretch();
    free->addWidget(lblFerixLstChanged_);
    free->addWidget(cmdRefreshFerixLst);
    free->addWidget(cmdFerixLstRemove);
    auto* section = new QHBoxLayout;
    section->addWidget(lblSection_);
    section->addWidget(lblFerixMemSection_);
    section->addStretch();
    lstLayout->addLayout(free, 0, 0);
    lstLayout->addLayout(section, 1, 0);
    lstLayout->addWidget(lblFerixNotReady_, 2, 0);
    lstLayout->addWidget(lblFerixNotSelected_, 3, 0);
    lstLayout->addWidget(listFerixLst_, 4, 0);
    lstLayout->addWidget(lblFerixLstSelFile_, 5, 0);
    auto* lstSize = new QHBoxLayout;
    lstSize->addWidget(lblFerixLstSelSize_);
    lstSize->addWidget(lblFerixLstSelBytes_);
    lstSize->addStretch();
    lstLayout->addLayout(lstSize, 6, 0);
    connect(cmdRefreshFerixLst, &QPushButton::clicked, this, &frmDNC::actFerixLst);
    connect(cmdFerixLstRemove, &QPushButton::clicked, this, &frmDNC::actRemove);
    connect(listFerixLst_, &QListWidget::itemSelectionChanged, this,
            [this] { updateSummary(listFerixLst_, lblFerixLstSelFile_, lblFerixLstSelSize_); });
    connect(listFerixLst_, &QListWidget::currentRowChanged, this,
            [this] { updateSummary(listFerixLst_, lblFerixLstSelFile_, lblFerixLstSelSize_); });

    frFerix_ = new QGroupBox(rightStack_);
    frFerix_->setObjectName(QStringLiteral("frFerix"));
    tag(frFerix_, str::kUnitFile);
    frFerix_->setProperty("whatsThisTag", str::kWhatsThisFirst + 4);
    auto* fileLayout = new QVBoxLayout(frFerix_);
    QLabel* lblFileName = label(frFerix_, "lblFerixFileName", str::kFileName);
    txtFerixFileName_ = new QLineEdit(frFerix_);
    txtFerixFileName_->setObjectName(QStringLiteral("txtFerixFileName"));
    txtFerixFileName_->setProperty("labelledBy", QStringLiteral("lblFerixFileName"));
    lblFileName->setBuddy(txtFerixFileName_);
    fileLayout->addWidget(lblFileName);
    fileLayout->addWidget(txtFerixFileName_);
    fileLayout->addStretch();
    rightStack_->addWidget(frFerixLst_);
    rightStack_->addWidget(frFerix_);
    rightLayout->addWidget(transferColumn);
    rightLayout->addWidget(rightStack_, 1);

    splitter_->addWidget(frDir_);
    splitter_->addWidget(frFerixDir_);
    splitter_->addWidget(right);
    outer->addWidget(splitter_, 1);
    connect(splitter_, &QSplitter::splitterMoved, this, [this] {
        const QList<int> sizes = splitter_->sizes();
        shares_ = sharesOfWidths(sizes.value(0), sizes.value(1), sizes.value(2));
    });

    infoBar_ = new InfoBar(central);
    infoBar_->setProperty("toolTipTag", str::kTipInfoBar);
    infoBar_->setProperty("whatsThisTag", str::kWhatsThisFirst + 5);
    outer->addWidget(infoBar_);
    connect(infoBar_, &InfoBar::clicked, this, &frmDNC::showLastError);
    setCentralWidget(central);
}

void frmDNC::buildStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar"));
    progressPanel_ = new QWidget(bar);
    progressPanel_->setObjectName(QStringLiteral("Progress"));
    auto* layout = new QHBoxLayout(progressPanel_);
    layout->setContentsMargins(0, 0, 0, 0);
    progressBar_ = new QProgressBar(progressPanel_);
    progressBar_->setObjectName(QStringLiteral("ProgressBar"));
    progressBar_->setRange(0, 100);
    progressBar_->setAccessibleName(QStringLiteral("Progress"));
    progressBar_->hide();
    layout->addWidget(progressBar_);
    bar->addWidget(progressPanel_, 1);
    timePanel_ = new QLabel(bar);
    timePanel_->setObjectName(QStringLiteral("Time"));
    datePanel_ = new QLabel(bar);
    datePanel_->setObjectName(QStringLiteral("Date"));
    bar->addPermanentWidget(timePanel_);
    bar->addPermanentWidget(datePanel_);
    auto* clock = new QTimer(this);
    auto tick = [this] {
        const QLocale locale;
        timePanel_->setText(locale.toString(QTime::currentTime(), QLocale::ShortFormat));
        datePanel_->setText(locale.toString(QDate::currentDate(), QLocale::ShortFormat));
    };
    connect(clock, &QTimer::timeout, this, tick);
    clock->start(1000);
    tick();
}

void frmDNC::loadTexts() {
    LoadResStrings(this, [](int id) { return programString(id); });
    for (QAction* a : toolBar_->actions()) {
        if (QWidget* w = toolBar_->widgetForAction(a)) {
            w->setAccessibleName(a->toolTip());
        }
    }
    for (const char* name :
         {"cmdChangeDir", "cmdRefreshDir", "cmdRefreshFerixDir", "cmdTransferPCFerix",
          "cmdTransferFerixPC", "cmdRefreshFerixLst", "cmdFerixLstRemove"}) {
        if (auto* b = findChild<QPushButton*>(QString::fromLatin1(name))) {
            b->setAccessibleName(b->toolTip());  // icon buttons: the tip names them
        }
    }
    lblFerixLstChanged_->setToolTip(text(str::kUpdateMemoryList));
}

// ---- start sequence ------------------------------------------------------------------------

void frmDNC::Initialize() {
    subNet_ = std::make_unique<SubNet>(id_, store_, *link_, options_.ports, options_.setup);
    // listDirPath defaults to the control's root directory before the configuration is read.
    const std::string home =
        subNet_->call<std::string>([](comm::ctrlFerixComm& c) { return c.FerixHomeDir(); });
    const StoreSection section = store_.section(subNetSection(id_));
    for (int n = 1; n <= comm::kUnitCount; ++n) {
        listDirPath_[static_cast<std::size_t>(n - 1)] =
            q(section.readString("listDirPath" + std::to_string(n), home));
    }
    subNet_->Initialize();  // loads the configuration; the start of communication is queued
    takeEvents();           // the configuration's ConfigChanged
    setWindowTitle(appTitle());
    QApplication::setApplicationDisplayName(q(lookup(str::kProgramName)));
    comboDirPattern_->setCurrentText(q(section.readString("DirPattern", "*.*")));
    comboFerixDirPattern_->setCurrentText(q(section.readString("FerixDirPattern", "*.*")));
    initialized_ = true;
    comboFerixAdr_->setCurrentIndex(
        settings_.protocol == comm::ProtDNC || comboFerixAdr_->count() == 0 ? -1 : 0);
    onUnitSelected();
    if (selectedUnit() == 0) {
        setMemoryLabels(true, false);
    }
    shares_ = validatePaneShares(static_cast<float>(section.readDouble("LeftSize", 0.334)),
                                 static_cast<float>(section.readDouble("MiddleSize", 0.333)),
                                 static_cast<float>(section.readDouble("RightSize", 0.333)));
    loadGeometry();
    applyShares();
}

void frmDNC::loadGeometry() {
    const StoreSection section = store_.section(subNetSection(id_));
    QScreen* screen = this->screen() != nullptr ? this->screen() : QApplication::primaryScreen();
    const double dpi = screen != nullptr ? screen->logicalDotsPerInch() : 96.0;
    const QRect available =
        screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1280, 1024);
    const QRect now = geometry();
    TwipsRect stored;
    stored.left = section.readInt("Left", twipsFromPixels(now.x(), dpi), INT32_MIN, INT32_MAX);
    stored.top = section.readInt("Top", twipsFromPixels(now.y(), dpi), INT32_MIN, INT32_MAX);
    stored.width =
        section.readInt("Width", twipsFromPixels(now.width(), dpi), INT32_MIN, INT32_MAX);
    stored.height =
        section.readInt("Height", twipsFromPixels(now.height(), dpi), INT32_MIN, INT32_MAX);
    const TwipsRect limited = limitStoredGeometry(stored, twipsFromPixels(available.width(), dpi),
                                                  twipsFromPixels(available.height(), dpi));
    move(pixelsFromTwips(limited.left, dpi), pixelsFromTwips(limited.top, dpi));
    resize(pixelsFromTwips(limited.width, dpi), pixelsFromTwips(limited.height, dpi));
}

void frmDNC::applyShares() {
    const int width = splitter_->width() > 0 ? splitter_->width() : this->width();
    splitter_->setSizes({static_cast<int>(shares_.left * static_cast<float>(width)),
                         static_cast<int>(shares_.middle * static_cast<float>(width)),
                         static_cast<int>(shares_.right * static_cast<float>(width))});
}

void frmDNC::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!sharesApplied_) {
        sharesApplied_ = true;
        applyShares();
    }
}

void frmDNC::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    if (initialized_) {
        applyShares();
    }
    placeStopButton();
}

// ---- events --------------------------------------------------------------------------------

void frmDNC::takeEvents() {
    for (const SubNetEvent& event : link_->take()) {
        handle(event);
    }
}

void frmDNC::handle(const SubNetEvent& event) {
    using Kind = SubNetEvent::Kind;
    switch (event.kind) {
        case Kind::ConfigChanged:
            if (event.settings) {
                configChanged(*event.settings);
            }
            break;
        case Kind::FerixMemChanged:
            // Only the list on show can be stale; another unit's change is refreshed when
            // that unit is selected.
            if (event.unit != 0 && event.unit == selectedUnit()) {
                lblFerixLstChanged_->show();
            }
            if (refreshOnMemoryChange({settings_.autoFerixLst, settings_.autoFerixLstCont},
                                      batchRunning_)) {
                RefreshFerixMemoryList(event.unit);
            }
            break;
        case Kind::FerixDirChanged:
            RefreshFerixDirectory(event.unit);
            break;
        case Kind::ProgressChanged:
            progressBar_->setValue(event.progress);
            if (event.progress == 0) {
                progressBar_->setFixedWidth(progressPanel_->width());
                progressBar_->show();
            } else if (event.progress >= 100) {
                progressBar_->hide();
            }
            break;
        case Kind::OnError:
            lastErrorDescription_ = q(event.description);
            lastErrorHelpFile_ = q(event.helpFile);
            lastErrorContext_ = event.context;
            hasLastError_ = true;
            if (event.reqSidePC) {
                tellError(lastErrorDescription_, lastErrorHelpFile_, lastErrorContext_);
            } else {
                setInfo(q(unitErrorText(event.description, lookup)));
            }
            break;
        case Kind::ShowStop:
            applyShowStop(event.showButton, event.direction);
            break;
        case Kind::CommunicationStarted:
            communicating_ = true;
            startFromMenu_ = false;
            break;
        case Kind::CommunicationStopped:
            communicating_ = false;
            break;
        case Kind::StartFailed:
            communicating_ = false;
            if (startFromMenu_) {
                startFromMenu_ = false;
                tellError(q(event.description), q(event.helpFile), event.context);
            } else {
                setInfo(q(event.description));
                show();
            }
            break;
        case Kind::Closing:
            break;
    }
}

void frmDNC::tellError(const QString& description, const QString& helpFile, int context) {
    dialogs_.tell(this, text(str::kError), description, OperatorDialogs::Icon::Exclamation,
                  helpFile, context);
}

void frmDNC::configChanged(const ControlSettings& settings) {
    settings_ = settings;
    // The mask list of the unit directory.
    {
        const QSignalBlocker quiet(comboFerixDirPattern_);
        const QString typed = comboFerixDirPattern_->currentText();
        const int remembered = comboFerixDirPattern_->currentIndex();
        comboFerixDirPattern_->clear();
        for (const std::string& mask : maskList(settings_)) {
            comboFerixDirPattern_->addItem(q(mask));
        }
        const int index = keepIndex(remembered, comboFerixDirPattern_->count());
        if (index >= 0) {
            comboFerixDirPattern_->setCurrentIndex(index);
        } else {
            comboFerixDirPattern_->setCurrentText(typed);
        }
    }
    // The unit selector.
    const int remembered = comboFerixAdr_->currentIndex();
    {
        const QSignalBlocker quiet(comboFerixAdr_);
        comboFerixAdr_->clear();
        for (const UnitEntry& entry : unitEntries(settings_, lookup)) {
            comboFerixAdr_->addItem(q(entry.text), entry.unit);
        }
        comboFerixAdr_->setCurrentIndex(
            unitIndexAfterChange(settings_.protocol, remembered, comboFerixAdr_->count()));
    }
    if (initialized_) {
        setWindowTitle(appTitle());
        onUnitSelected();
    }
    if (selectedUnit() == 0) {
        setMemoryLabels(true, false);
    } else {
        lblFerixNotSelected_->hide();
    }
    layoutPanes();
}

void frmDNC::layoutPanes() {
    applyProtocolTable();
    if (transferRunning_) {
        applyShowStop(true, stopDirection_);
    }
}

void frmDNC::setElementEnabled(const QString& name, bool enabled) {
    for (QObject* element : findChildren<QObject*>(name)) {
        if (auto* a = qobject_cast<QAction*>(element)) {
            a->setEnabled(enabled);
        } else if (auto* w = qobject_cast<QWidget*>(element)) {
            if (!w->inherits("QMenu") && !w->inherits("QToolButton")) {
                w->setEnabled(enabled);
            }
        }
    }
}

void frmDNC::applyProtocolTable() {
    const ProtocolLayout layout = protocolLayout(settings_.protocol);
    if (settings_.protocol != comm::ProtFerix) {
        rightStack_->setCurrentWidget(layout.memoryPane ? frFerixLst_ : frFerix_);
    } else {
        rightStack_->setCurrentWidget(frFerix_);
    }
    auto apply = [this](const std::vector<std::string>& names, Availability availability) {
        if (availability == Availability::Unchanged) {
            return;
        }
        for (const std::string& name : names) {
            setElementEnabled(q(name), availability == Availability::Enabled);
        }
    };
    apply(listCommandNames(), layout.listCommands);
    apply(unitCommandNames(), layout.unitCommands);
    if (layout.unitSelector != Availability::Unchanged) {
        comboFerixAdr_->setEnabled(layout.unitSelector == Availability::Enabled);
    }
}

void frmDNC::applyShowStop(bool showButton, std::uint8_t direction) {
    transferRunning_ = showButton;
    stopDirection_ = direction;
    placeStopButton();
    cmdStop_->setVisible(showButton);
    if (showButton) {
        cmdStop_->raise();
    }
    for (const std::string& name : commandsSwitchedByShowStop(settings_.protocol)) {
        setElementEnabled(q(name), !showButton);
    }
}

void frmDNC::placeStopButton() {
    if (cmdStop_ == nullptr) {
        return;
    }
    QPushButton* target = stopDirection_ != 0 ? cmdTransferFerixPC_ : cmdTransferPCFerix_;
    cmdStop_->setGeometry(target->geometry());
}

bool frmDNC::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == cmdTransferPCFerix_ || watched == cmdTransferFerixPC_) &&
        (event->type() == QEvent::Move || event->type() == QEvent::Resize)) {
        placeStopButton();
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---- the information bar --------------------------------------------------------------------

void frmDNC::setInfo(const QString& text) {
    infoBar_->setText(text);
    infoBar_->setAccessibleDescription(text);
    infoBar_->repaint();
}

void frmDNC::showInformation(const QString& text) {
    setInfo(text);
}

QString frmDNC::infoText() const {
    return infoBar_->text();
}

void frmDNC::showLastError() {
    if (hasLastError_) {
        dialogs_.tell(this, text(str::kLastError), lastErrorDescription_,
                      OperatorDialogs::Icon::Exclamation, lastErrorHelpFile_, lastErrorContext_);
    } else {
        dialogs_.tell(this, appTitle(), text(str::kNoError), OperatorDialogs::Icon::Information);
    }
}

// ---- communication --------------------------------------------------------------------------

void frmDNC::StartCommunication() {
    if (!subNet_ || closed_) {
        return;
    }
    startFromMenu_ = true;
    subNet_->StartCommunication();
}

void frmDNC::StopCommunication() {
    if (subNet_ && !closed_) {
        subNet_->StopCommunication();
    }
}

// ---- the views --------------------------------------------------------------------------------

int frmDNC::selectedUnit() const {
    const int index = comboFerixAdr_->currentIndex();
    return index < 0 ? 0 : comboFerixAdr_->itemData(index).toInt();
}

QString frmDNC::listDirPath(int unit) const {
    return unit >= 1 && unit <= comm::kUnitCount ? listDirPath_[static_cast<std::size_t>(unit - 1)]
                                                 : QString();
}

void frmDNC::selectUnit(int unit) {
    comboFerixAdr_->setCurrentIndex(comboFerixAdr_->findData(unit));
    onUnitSelected();
}

void frmDNC::onUnitSelected() {
    const int unit = selectedUnit();
    if (unit == 0) {
        return;
    }
    RefreshPCDirectory({});
    RefreshFerixDirectory(unit);
    if (settings_.autoFerixLst &&
        (settings_.protocol == comm::ProtDNC || settings_.protocol == comm::ProtTavro1)) {
        RefreshFerixMemoryList(unit);
    }
}

void frmDNC::RefreshPCDirectory(const QString& path) {
    BusyPointer busy;
    const int unit = selectedUnit();
    if (unit == 0) {
        listDir_->clear();
        txtListDirPath_->clear();
        txtListDirPath_->setToolTip({});
        return;
    }
    QString& stored = listDirPath_[static_cast<std::size_t>(unit - 1)];
    if (!path.isEmpty()) {
        stored = path;
    }
    stored = q(trimDirectoryPath(s(stored)));
    txtListDirPath_->setText(stored);
    txtListDirPath_->setToolTip(stored);
    fill(listDir_, listFiles(s(stored), s(comboDirPattern_->currentText())));
    updateSummary(listDir_, lblDirSelFile_, lblDirSelSize_);
}

void frmDNC::RefreshFerixDirectory(int unit) {
    BusyPointer busy;
    if (unit == 0 || unit != selectedUnit()) {
        return;
    }
    const std::string directory = settings_.unitDirectory(unit);
    if (!directoryExists(directory)) {
        listFerixDir_->clear();
        updateSummary(listFerixDir_, lblFerixDirSelFile_, lblFerixDirSelSize_);
        dialogs_.tell(this, appTitle(), q(missingUnitDirectoryText(directory, lookup)),
                      OperatorDialogs::Icon::Information);
        return;
    }
    fill(listFerixDir_, listFiles(directory, s(comboFerixDirPattern_->currentText())));
    updateSummary(listFerixDir_, lblFerixDirSelFile_, lblFerixDirSelSize_);
}

void frmDNC::RefreshFerixMemoryList(int unit) {
    if (unit == 0 || unit != selectedUnit() || !subNet_ || closed_) {
        return;
    }
    setInfo(text(str::kMemoryListTransfer));
    lblFerixLstChanged_->hide();
    const auto address = static_cast<std::uint8_t>(unit);
    subNet_->postRequest([this, address](comm::ctrlFerixComm& c) {
        comm::MemoryList list = c.FerixLst(address);
        QMetaObject::invokeMethod(
            this, [this, address, list = std::move(list)] { fillMemoryList(address, list); },
            Qt::QueuedConnection);
    });
}

void frmDNC::setMemoryLabels(bool ready, bool selected) {
    const bool showValues = ready && selected;
    lblFerixNotReady_->setVisible(selected && !ready);
    lblFerixNotSelected_->setVisible(!selected);
    for (QWidget* w : std::initializer_list<QWidget*>{
             lblFree_, lblFerixFreeMem_, lblFreeBytes_, lblSection_, lblFerixMemSection_,
             lblFerixLstSelFile_, lblFerixLstSelSize_, lblFerixLstSelBytes_}) {
        w->setVisible(showValues);
    }
}

void frmDNC::fillMemoryList(int unit, const comm::MemoryList& list) {
    if (closed_ || unit != selectedUnit()) {
        emit memoryListShown(unit);
        return;
    }
    const bool notReady = list.kind == comm::MemoryList::Kind::List && list.count < 0;
    setMemoryLabels(!notReady, true);
    lblFerixFreeMem_->setText(
        list.freeMemory ? QString::number(static_cast<qint64>(*list.freeMemory)) : QString());
    lblFerixMemSection_->setText(list.section ? QString::number(*list.section) : QString());
    std::vector<ListEntry> entries;
    for (const comm::MemoryListEntry& e : list.entries) {
        entries.push_back({e.name, static_cast<std::int64_t>(e.size)});
    }
    fill(listFerixLst_, entries);
    updateSummary(listFerixLst_, lblFerixLstSelFile_, lblFerixLstSelSize_);
    setWindowTitle(appTitle());
    setInfo({});
    emit memoryListShown(unit);
}

void frmDNC::updateSummary(QListWidget* list, QLabel* files, QLabel* size) {
    std::vector<int> selected;
    for (const QModelIndex& index : list->selectionModel()->selectedIndexes()) {
        selected.push_back(index.row());
    }
    const SelectionSummary summary =
        summarizeSelection(entriesOf(list), selected, list->currentRow(), lookup);
    files->setText(q(summary.files));
    size->setText(QString::number(summary.size));
}

Selection frmDNC::selectionOf(QListWidget* list) const {
    Selection selection;
    selection.unit = selectedUnit();
    const std::vector<ListEntry> entries = entriesOf(list);
    for (int i = 0; i < list->count(); ++i) {
        if (list->item(i)->isSelected()) {
            selection.selected.push_back(entries[static_cast<std::size_t>(i)]);
        }
    }
    const int current = list->currentRow();
    if (current >= 0 && current < list->count()) {
        selection.current = entries[static_cast<std::size_t>(current)];
    }
    return selection;
}

// ---- transfers ------------------------------------------------------------------------------

void frmDNC::actFerixLst() {
    RefreshFerixMemoryList(selectedUnit());
}

void frmDNC::actTransferPCFerix() {
    if (closed_) {
        return;
    }
    const TransferPlan plan =
        planTransferToUnit(settings_.protocol, selectionOf(listFerixDir_),
                           {settings_.autoFerixLst, settings_.autoFerixLstCont});
    if (plan.refusal == TransferPlan::Refusal::NoFileSelected) {
        dialogs_.tell(this, appTitle(), text(str::kNoFileSelected),
                      OperatorDialogs::Icon::Information);
        return;
    }
    runPlan(plan, true);
}

void frmDNC::actTransferFerixPC() {
    if (closed_) {
        return;
    }
    const TransferPlan plan = planTransferFromUnit(settings_.protocol, selectionOf(listFerixLst_),
                                                   s(txtFerixFileName_->text()));
    if (plan.refusal == TransferPlan::Refusal::NoFileSelected) {
        dialogs_.tell(this, appTitle(), text(str::kNoFileSelected),
                      OperatorDialogs::Icon::Information);
        return;
    }
    if (plan.refusal == TransferPlan::Refusal::FileNameMissing) {
        dialogs_.tell(this, appTitle(), text(str::kFileNameMissing),
                      OperatorDialogs::Icon::Information);
        return;
    }
    runPlan(plan, false);
}

void frmDNC::actRemove() {
    if (closed_) {
        return;
    }
    const TransferPlan plan = planRemove(selectionOf(listFerixLst_),
                                         {settings_.autoFerixLst, settings_.autoFerixLstCont});
    if (plan.refusal != TransferPlan::Refusal::None) {
        return;
    }
    if (!dialogs_.ask(this, appTitle(), text(str::kDeleteQuestion)) || closed_) {
        return;
    }
    runRemovePlan(plan);
}

void frmDNC::runPlan(const TransferPlan& plan, bool toUnit) {
    if (!subNet_) {
        return;
    }
    if (plan.batch) {
        batchRunning_ = true;
    }
    subNet_->postRequest([this, plan, toUnit](comm::ctrlFerixComm& c) {
        for (const ListEntry& file : plan.files) {
            const QString info = q(toUnit ? transferToUnitText(file.name, lookup)
                                          : transferFromUnitText(file.name, lookup));
            QMetaObject::invokeMethod(
                this, [this, info] { setInfo(info); }, Qt::QueuedConnection);
            if (toUnit) {
                c.DoPcRequestFileToFerix(plan.unit, file.name);
            } else if (plan.withLength) {
                c.DoPcRequestFileFromFerix(plan.unit, file.name,
                                           static_cast<std::int32_t>(file.size));
            } else {
                c.DoPcRequestFileFromFerix(plan.unit, file.name);
            }
        }
        QMetaObject::invokeMethod(
            this, [this, plan] { finishBatch(plan); }, Qt::QueuedConnection);
    });
}

void frmDNC::runRemovePlan(const TransferPlan& plan) {
    if (!subNet_) {
        return;
    }
    if (plan.batch) {
        batchRunning_ = true;
    }
    subNet_->postRequest([this, plan](comm::ctrlFerixComm& c) {
        for (const ListEntry& file : plan.files) {
            const QString info = q(deleteText(file.name, lookup));
            QMetaObject::invokeMethod(
                this, [this, info] { setInfo(info); }, Qt::QueuedConnection);
            c.DoPCRequestRemoveFile(plan.unit, file.name);
        }
        QMetaObject::invokeMethod(
            this, [this, plan] { finishBatch(plan); }, Qt::QueuedConnection);
    });
}

void frmDNC::finishBatch(const TransferPlan& plan) {
    if (plan.batch) {
        batchRunning_ = false;
    }
    if (closed_) {
        return;
    }
    if (plan.refreshAtEnd) {
        RefreshFerixMemoryList(selectedUnit());
    }
    if (plan.clearInfoAtEnd && !plan.refreshAtEnd) {
        setInfo({});
    }
}

// ---- unit commands and the editor -------------------------------------------------------------

void frmDNC::runUnitCommand(UnitCommand command) {
    const int unit = selectedUnit();
    if (unit == 0 || closed_ || !subNet_) {
        return;
    }
    std::string fileName;
    if (command == UnitCommand::SelectFile) {
        const int current = listFerixLst_->currentRow();
        if (current < 0) {
            return;
        }
        fileName = s(listFerixLst_->item(current)->text());
    }
    const UnitCommandSpec& spec = unitCommandSpec(command);
    if (spec.question != 0 && (!dialogs_.ask(this, appTitle(), text(spec.question)) || closed_)) {
        return;
    }
    setInfo(q(unitCommandText(command, fileName, lookup)));
    const auto address = static_cast<std::uint8_t>(unit);
    subNet_->postRequest([command, address, fileName](comm::ctrlFerixComm& c) {
        callUnitCommand(c, command, address, fileName);
    });
}

void frmDNC::editSourceProgram() {
    const int unit = selectedUnit();
    QListWidgetItem* current = listDir_->currentItem();
    if (unit == 0 || current == nullptr) {
        return;
    }
    editFile(listDirPath(unit) + QLatin1Char('/') + current->text());
}

void frmDNC::editFerixProgram() {
    const int unit = selectedUnit();
    QListWidgetItem* current = listFerixDir_->currentItem();
    if (unit == 0 || current == nullptr) {
        return;
    }
    editFile(q(settings_.unitDirectory(unit)) + current->text());
}

void frmDNC::editFile(const QString& path) {
    const char* searchPath = std::getenv("PATH");
    const auto call =
        editorCall(settings_.editor, s(path), searchPath != nullptr ? searchPath : "");
    if (!call) {
        dialogs_.tell(this, appTitle(), q(editorNotFoundText(settings_.editor, lookup)),
                      OperatorDialogs::Icon::Information);
        return;
    }
    QStringList arguments;
    for (const std::string& a : call->arguments) {
        arguments << q(a);
    }
    QString error;
    if (!dialogs_.startDetached(q(call->program), arguments, &error)) {
        dialogs_.tell(this, appTitle(), error, OperatorDialogs::Icon::Information);
    }
}

// ---- help -----------------------------------------------------------------------------------

void frmDNC::showHelpContents() {
    QString page = installedManual(QCoreApplication::applicationDirPath());
    if (page.isEmpty()) {
        page = writeFallbackPage();
    }
    if (page.isEmpty()) {
        dialogs_.tell(this, appTitle(), text(str::kHelpMissing),
                      OperatorDialogs::Icon::Information);
        return;
    }
    if (!dialogs_.openUrl(QUrl::fromLocalFile(page))) {
        dialogs_.tell(this, appTitle(), text(str::kBrowserFailed) + QLatin1Char('\n') + page,
                      OperatorDialogs::Icon::Information);
    }
}

void frmDNC::showAbout() {
    frmAboutDNC about(this);
    about.exec();
}

void frmDNC::showControlAbout() {
    comm::widgets::showControlAbout(this, static_cast<std::int16_t>(loc::currentLanguage()));
}

// ---- closing --------------------------------------------------------------------------------

void frmDNC::closeEvent(QCloseEvent* event) {
    if (closed_) {
        event->accept();
        return;
    }
    closed_ = true;
    if (subNet_) {
        link_->beginClosing();
        // The line is switched off (a running transfer stopped) and released, then the
        // configuration is stored; only then the window's own keys.
        subNet_->CloseIt();
        takeEvents();
    }
    saveViewState();
    event->accept();
    emit subNetClosed(id_);
}

void frmDNC::saveViewState() {
    if (!initialized_) {
        return;
    }
    ConfigStore::Values values;
    values.emplace_back("DirPattern", s(comboDirPattern_->currentText()));
    values.emplace_back("FerixDirPattern", s(comboFerixDirPattern_->currentText()));
    for (int n = 1; n <= comm::kUnitCount; ++n) {
        values.emplace_back("listDirPath" + std::to_string(n), s(listDirPath(n)));
    }
    values.emplace_back("LeftSize", share(shares_.left));
    values.emplace_back("MiddleSize", share(shares_.middle));
    values.emplace_back("RightSize", share(shares_.right));
    QScreen* screen = this->screen() != nullptr ? this->screen() : QApplication::primaryScreen();
    const double dpi = screen != nullptr ? screen->logicalDotsPerInch() : 96.0;
    const QRect frame = geometry();
    values.emplace_back("Left", std::to_string(twipsFromPixels(frame.x(), dpi)));
    values.emplace_back("Top", std::to_string(twipsFromPixels(frame.y(), dpi)));
    values.emplace_back("Width", std::to_string(twipsFromPixels(frame.width(), dpi)));
    values.emplace_back("Height", std::to_string(twipsFromPixels(frame.height(), dpi)));
    store_.write(subNetSection(id_), values);
}

}  // namespace dnc::window
