// The sub-net window's elements: menus, tool bar, the three panes, the information bar and the
// status bar, with the numbers of their texts.
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
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QStylePainter>
#include <QTime>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>
#include <QWhatsThis>
#include <cstdio>
#include <cstdlib>

#include "comm/widgets/AboutBox.h"
#include "dnc/config/SubNetConfiguration.h"
#include "dnc/window/ControlPropertiesDialog.h"
#include "dnc/window/ControlPropertiesStrings.h"
#include "dnc/window/ConversionStrings.h"
#include "dnc/window/FileList.h"
#include "dnc/window/HelpPages.h"
#include "dnc/window/LoadResStrings.h"
#include "dnc/window/WindowLink.h"
#include "dnc/window/frmAboutDNC.h"
#include "dnc/window/frmDNCParts.h"
#include "dnc/window/rules/CommandSets.h"
#include "dnc/window/rules/DirectoryFiles.h"
#include "dnc/window/rules/HistoryRows.h"
#include "dnc/window/rules/ProgramLaunch.h"
#include "dnc/window/rules/RevisionRows.h"
#include "dnc/window/rules/UnitSelector.h"
#include "dnc/window/rules/WindowGeometry.h"
#include "dnc/window/rules/WindowStrings.h"
#include "dnc/window/rules/WindowTexts.h"
#include "localizing/lookup/ResourceStrings.h"

namespace dnc::window {

using parts::lookup;
using parts::q;
using parts::s;
using parts::tag;

namespace {

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

QGroupBox* pane(QWidget* parent, const char* name, int number, int whatsThis) {
    auto* box = new QGroupBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    tag(box, number);
    box->setProperty("whatsThisTag", whatsThis);
    return box;
}

// A text box with the label that names it (for the eye and for assistive technology).
QLineEdit* labelledEdit(QWidget* parent, QLabel* label, const char* name) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setProperty("labelledBy", label->objectName());
    label->setBuddy(edit);
    return edit;
}

FileList* fileList(QWidget* parent, const char* name, const char* labelledBy, bool dated) {
    auto* list = new FileList(parent, dated);
    list->setObjectName(QString::fromLatin1(name));
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setProperty("labelledBy", QString::fromLatin1(labelledBy));
    return list;
}

}  // namespace

InfoBar::InfoBar(QWidget* parent) : QLabel(parent) {
    setObjectName(QStringLiteral("InfoBar"));
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    // The interaction flags set the focus policy too: the bar's own policy comes after them.
    setTextInteractionFlags(Qt::NoTextInteraction);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumHeight(fontMetrics().height() + 6);
}

void InfoBar::paintEvent(QPaintEvent* event) {
    QLabel::paintEvent(event);
    if (hasFocus()) {
        // A label draws no focus of its own; the keyboard user must see where it is.
        QStylePainter painter(this);
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = contentsRect().adjusted(1, 1, -1, -1);
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, option);
    }
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
    auto menu = [bar](const char* name, int number) {
        QMenu* m = bar->addMenu(QString::number(number));
        m->setObjectName(QString::fromLatin1(name));
        m->menuAction()->setObjectName(QString::fromLatin1(name));
        return m;
    };
    QMenu* system = menu("mnuSystem", str::kSystemMenu);
    system->addAction(
        action("mnuSystemConfigDNC", str::kNetworkConfiguration, &frmDNC::actConfigDNC));
    // The control's properties can be changed only while the line is off; the item's tip says
    // so while it is disabled.
    system->setToolTipsVisible(true);
    QAction* properties = action("mnuSystemControlProperties", str::kControlPropertiesMenu,
                                 &frmDNC::showControlProperties, str::kTipControlProperties);
    properties->setToolTip(QString::number(str::kTipControlProperties));
    system->addAction(properties);
    system->addSeparator();
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

    QMenu* conversions = menu("mnuConversion", convstr::kConversionsMenu);
    conversions->addAction(
        action("mnuConversionIn", convstr::kIncludeFile, &frmDNC::actConversionIn));
    conversions->addAction(
        action("mnuConversionOut", convstr::kExcludeFile, &frmDNC::actConversionOut));
    conversions->addSeparator();
    conversions->addAction(
        action("mnuConversionRemove", convstr::kDeleteFile, &frmDNC::actConversionRemove));

    QMenu* transfers = menu("mnuTransfer", str::kTransfersMenu);
    transfers->addAction(
        action("mnuTransferPCFerix", str::kTransferPCFerix, &frmDNC::actTransferPCFerix));
    transfers->addAction(
        action("mnuTransferFerixPC", str::kTransferFerixPC, &frmDNC::actTransferFerixPC));
    transfers->addSeparator();
    transfers->addAction(action("mnuTransferLst", str::kUpdateMemoryList, &frmDNC::actFerixLst));
    transfers->addAction(action("mnuTransferRemove", str::kDeleteInMemory, &frmDNC::actRemove));
    transfers->addSeparator();
    transfers->addAction(
        action("mnuTransferHistory", histr::kMenuItem, &frmDNC::showTransferHistory));
    transfers->addAction(action("mnuRevisions", revstr::kMenuRevisions, &frmDNC::showRevisions));
    transfers->addAction(
        action("mnuPendingPrograms", revstr::kMenuPending, &frmDNC::showPendingPrograms));

    QMenu* ferix = menu("mnuFerix", 250);
    for (const UnitCommandEntry& entry : unitCommands()) {
        QAction* a = action(entry.element, entry.caption, nullptr);
        const UnitCommand command = entry.command;
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
    help->addAction(action("mnuHelpLastError", str::kLastErrorMenu, &frmDNC::showLastError));
    help->addSeparator();
    help->addAction(action("mnuHelpAbout", str::kAbout, &frmDNC::showAbout));
    help->addAction(action("mnuHelpAboutFerixComm", str::kAboutControl, &frmDNC::showControlAbout));
}

void frmDNC::buildToolBar() {
    toolBar_ = addToolBar(QStringLiteral("Toolbar"));
    toolBar_->setObjectName(QStringLiteral("Toolbar"));
    toolBar_->setMovable(false);
    auto add = [this](const char* name, QStyle::StandardPixmap icon, int tip,
                      void (frmDNC::*slot)(), int help) {
        QAction* a = action(name, tip, slot, tip);
        a->setToolTip(QString::number(tip));
        a->setProperty("whatsThisTag", help);
        a->setIcon(style()->standardIcon(icon));
        toolBar_->addAction(a);
        if (QWidget* w = toolBar_->widgetForAction(a)) {
            w->setObjectName(QString::fromLatin1(name));
        }
        return a;
    };
    add("btnTransferPCFerix", QStyle::SP_ArrowRight, str::kTipTransferPCFerix,
        &frmDNC::actTransferPCFerix, str::kWhatsThisTransferPCFerix);
    add("btnTransferFerixPC", QStyle::SP_ArrowLeft, str::kTipTransferFerixPC,
        &frmDNC::actTransferFerixPC, str::kWhatsThisTransferFerixPC);
    add("btnFerixLst", QStyle::SP_BrowserReload, str::kTipFerixLst, &frmDNC::actFerixLst,
        str::kWhatsThisFerixLst);
    add("btnRemove", QStyle::SP_TrashIcon, str::kTipRemove, &frmDNC::actRemove,
        str::kWhatsThisRemove);
    QAction* purge = add("btnClearMemory", QStyle::SP_DialogDiscardButton, str::kTipClearMemory,
                         nullptr, str::kWhatsThisClearMemory);
    connect(purge, &QAction::triggered, this, [this] { runUnitCommand(UnitCommand::PurgeMemory); });
    toolBar_->addSeparator();
    add("btnConfigDNC", QStyle::SP_FileDialogDetailedView, str::kTipConfigDNC,
        &frmDNC::actConfigDNC, str::kWhatsThisConfigDNC);
    add("btnStopCommunication", QStyle::SP_MediaStop, str::kTipStopCommunication,
        &frmDNC::StopCommunication, str::kWhatsThisStopCommunication);
    add("btnStartCommunication", QStyle::SP_MediaPlay, str::kTipStartCommunication,
        &frmDNC::StartCommunication, str::kWhatsThisStartCommunication);
    toolBar_->addSeparator();
    QAction* what = add("btnWhatIsThis", QStyle::SP_TitleBarContextHelpButton, str::kTipWhatIsThis,
                        nullptr, str::kWhatsThisWhatIsThis);
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
    // A long unit directory must not widen the window's least size.
    constexpr int kUnitSelectorCharacters = 24;
    comboFerixAdr_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    comboFerixAdr_->setMinimumContentsLength(kUnitSelectorCharacters);
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
    frDir_ = pane(splitter_, "frDir", str::kPcPrograms, str::kWhatsThisFirst + 1);
    auto* dirLayout = new QGridLayout(frDir_);
    QLabel* lblPath = label(frDir_, "lblListDirPath", str::kPath);
    txtListDirPath_ = labelledEdit(frDir_, lblPath, "txtListDirPath");
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
    listDir_ = fileList(frDir_, "listDir", "frDir", true);
    lblDirSelFile_ = dataLabel(frDir_, "lblDirSelFile");
    lblDirSelSize_ = dataLabel(frDir_, "lblDirSelSize");
    QPushButton* cmdRefreshDir = button(frDir_, "cmdRefreshDir", 0, str::kTipRefreshDir);
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
    watchSummary(listDir_, lblDirSelFile_, lblDirSelSize_);
    connect(listDir_, &QListWidget::itemDoubleClicked, this, [this] { editSourceProgram(); });

    // The unit directory.
    frFerixDir_ = pane(splitter_, "frFerixDir", str::kUnitDirectory, str::kWhatsThisFirst + 2);
    auto* ferixDirLayout = new QGridLayout(frFerixDir_);
    QLabel* lblFerixDirPattern = label(frFerixDir_, "lblFerixDirPattern", str::kUnitMask);
    comboFerixDirPattern_ = new QComboBox(frFerixDir_);
    comboFerixDirPattern_->setObjectName(QStringLiteral("comboFerixDirPattern"));
    comboFerixDirPattern_->setEditable(true);
    comboFerixDirPattern_->setProperty("labelledBy", QStringLiteral("lblFerixDirPattern"));
    lblFerixDirPattern->setBuddy(comboFerixDirPattern_);
    QPushButton* cmdRefreshFerixDir =
        button(frFerixDir_, "cmdRefreshFerixDir", 0, str::kTipRefreshFerixDir);
    cmdRefreshFerixDir->setIcon(style()->standardIcon(QStyle::SP_BrowserReload));
    // Captioned: no standard icon says "through the conversion chain".
    QPushButton* cmdConversionIn =
        button(frFerixDir_, "cmdConversionIn", convstr::kIncludeFile, convstr::kTipInclude);
    QPushButton* cmdConversionOut =
        button(frFerixDir_, "cmdConversionOut", convstr::kExcludeFile, convstr::kTipExclude);
    QPushButton* cmdFerixDirRemove =
        button(frFerixDir_, "cmdFerixDirRemove", 0, convstr::kTipDeleteFile);
    cmdFerixDirRemove->setIcon(style()->standardIcon(QStyle::SP_TrashIcon));
    listFerixDir_ = fileList(frFerixDir_, "listFerixDir", "frFerixDir", true);
    lblFerixDirSelFile_ = dataLabel(frFerixDir_, "lblFerixDirSelFile");
    lblFerixDirSelSize_ = dataLabel(frFerixDir_, "lblFerixDirSelSize");
    ferixDirLayout->addWidget(lblFerixDirPattern, 0, 0);
    ferixDirLayout->addWidget(comboFerixDirPattern_, 0, 1);
    ferixDirLayout->addWidget(cmdRefreshFerixDir, 0, 2);
    auto* conversionButtons = new QHBoxLayout;
    conversionButtons->addWidget(cmdConversionIn);
    conversionButtons->addWidget(cmdConversionOut);
    conversionButtons->addStretch();
    conversionButtons->addWidget(cmdFerixDirRemove);
    ferixDirLayout->addLayout(conversionButtons, 4, 0, 1, 3);
    ferixDirLayout->addWidget(listFerixDir_, 1, 0, 1, 3);
    ferixDirLayout->addWidget(lblFerixDirSelFile_, 2, 0, 1, 3);
    auto* ferixDirSize = new QHBoxLayout;
    ferixDirSize->addWidget(lblFerixDirSelSize_);
    ferixDirSize->addWidget(label(frFerixDir_, "lblFerixDirBytes", str::kBytes));
    ferixDirSize->addStretch();
    ferixDirLayout->addLayout(ferixDirSize, 3, 0, 1, 3);
    connect(cmdRefreshFerixDir, &QPushButton::clicked, this,
            [this] { RefreshFerixDirectory(selectedUnit()); });
    connect(cmdConversionIn, &QPushButton::clicked, this, &frmDNC::actConversionIn);
    connect(cmdConversionOut, &QPushButton::clicked, this, &frmDNC::actConversionOut);
    connect(cmdFerixDirRemove, &QPushButton::clicked, this, &frmDNC::actConversionRemove);
    connect(comboFerixDirPattern_, &QComboBox::currentTextChanged, this, [this] {
        if (initialized_) {
            RefreshFerixDirectory(selectedUnit());
        }
    });
    watchSummary(listFerixDir_, lblFerixDirSelFile_, lblFerixDirSelSize_);
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
    cmdStop_->setProperty("whatsThisTag", str::kWhatsThisStop);
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
    frFerixLst_ = pane(rightStack_, "frFerixLst", str::kUnitMemory, str::kWhatsThisFirst + 3);
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
    listFerixLst_ = fileList(frFerixLst_, "listFerixLst", "frFerixLst", false);
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
    watchSummary(listFerixLst_, lblFerixLstSelFile_, lblFerixLstSelSize_);

    frFerix_ = pane(rightStack_, "frFerix", str::kUnitFile, str::kWhatsThisFirst + 4);
    auto* fileLayout = new QVBoxLayout(frFerix_);
    QLabel* lblFileName = label(frFerix_, "lblFerixFileName", str::kFileName);
    txtFerixFileName_ = labelledEdit(frFerix_, lblFileName, "txtFerixFileName");
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

    // Each list offers the commands that act on its selection, and a double click in the
    // memory list fetches the entry.
    const auto offer = [this](QListWidget* list, std::initializer_list<const char*> names) {
        list->setContextMenuPolicy(Qt::ActionsContextMenu);
        for (const char* name : names) {
            if (QAction* a = findChild<QAction*>(QString::fromLatin1(name))) {
                list->addAction(a);
            }
        }
    };
    offer(listDir_, {"mnuEditSource", "mnuConversionIn"});
    offer(listFerixDir_,
          {"mnuTransferPCFerix", "mnuEditFerixSource", "mnuConversionOut", "mnuConversionRemove"});
    offer(listFerixLst_,
          {"mnuTransferFerixPC", "mnuFerixSelectFile", "mnuTransferRemove", "mnuTransferLst"});
    // Dragged from the PC programs onto the unit directory: include; from the unit directory
    // onto the memory list: send to the unit.
    for (QListWidget* source : {listDir_, listFerixDir_}) {
        source->setDragEnabled(true);
        source->setDragDropMode(QAbstractItemView::DragOnly);
    }
    for (QListWidget* target : {listFerixDir_, listFerixLst_}) {
        target->setAcceptDrops(true);
        target->viewport()->setAcceptDrops(true);
        target->viewport()->installEventFilter(this);
    }
    connect(listFerixLst_, &QListWidget::itemDoubleClicked, this, [this] {
        if (!transferRunning_) {
            actTransferFerixPC();
        }
    });

    infoBar_ = new InfoBar(central);
    infoBar_->setProperty("toolTipTag", str::kTipInfoBar);
    infoBar_->setProperty("whatsThisTag", str::kWhatsThisFirst + 5);
    infoBar_->setProperty("accessibleTag", str::kInformationBar);  // the text is its description
    outer->addWidget(infoBar_);
    connect(infoBar_, &InfoBar::clicked, this, &frmDNC::showLastError);
    setCentralWidget(central);
}

// The summary under a list follows its selection and its current entry.
void frmDNC::watchSummary(QListWidget* list, QLabel* files, QLabel* size) {
    const auto update = [this, list, files, size] { updateSummary(list, files, size); };
    connect(list, &QListWidget::itemSelectionChanged, this, update);
    connect(list, &QListWidget::currentRowChanged, this, update);
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
    linePanel_ = new QLabel(bar);
    linePanel_->setObjectName(QStringLiteral("LineState"));
    linePanel_->setMinimumWidth(1);  // its whole text is in its tip
    bar->addPermanentWidget(linePanel_);
    timePanel_ = new QLabel(bar);
    timePanel_->setObjectName(QStringLiteral("Time"));
    datePanel_ = new QLabel(bar);
    datePanel_->setObjectName(QStringLiteral("Date"));
    pendingPanel_ = new QLabel(bar);
    pendingPanel_->setObjectName(QStringLiteral("Pending"));
    pendingPanel_->hide();
    bar->addPermanentWidget(pendingPanel_);
    behindPanel_ = new QLabel(bar);
    behindPanel_->setObjectName(QStringLiteral("HistoryBehind"));
    behindPanel_->hide();
    bar->addPermanentWidget(behindPanel_);
    bar->addPermanentWidget(timePanel_);
    bar->addPermanentWidget(datePanel_);
    auto* clock = new QTimer(this);
    auto tick = [this] {
        const QLocale locale;
        timePanel_->setText(locale.toString(QTime::currentTime(), QLocale::ShortFormat));
        datePanel_->setText(locale.toString(QDate::currentDate(), QLocale::ShortFormat));
        showHistoryBehind();
    };
    connect(clock, &QTimer::timeout, this, tick);
    clock->start(1000);
    tick();
}

void frmDNC::showHistoryBehind() {
    if (!options_.historyBehind) {
        return;
    }
    const QString text = q(historyBehindText(options_.historyBehind(), lookup));
    if (text != behindPanel_->text()) {
        behindPanel_->setText(text);
        behindPanel_->setAccessibleName(text);
        behindPanel_->setVisible(!text.isEmpty());
    }
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
          "cmdTransferFerixPC", "cmdRefreshFerixLst", "cmdFerixLstRemove", "cmdFerixDirRemove"}) {
        if (auto* b = findChild<QPushButton*>(QString::fromLatin1(name))) {
            b->setAccessibleName(b->toolTip());  // icon buttons: the tip names them
        }
    }
    // The menu's texts on the buttons, without access keys that would clash with the menu bar.
    for (const char* name : {"cmdConversionIn", "cmdConversionOut"}) {
        if (auto* b = findChild<QPushButton*>(QString::fromLatin1(name))) {
            b->setText(b->text().remove(QLatin1Char('&')));
        }
    }
    lblFerixLstChanged_->setToolTip(text(str::kUpdateMemoryList).remove(QLatin1Char('&')));
    const QStringList columns = {text(str::kColumnName), text(str::kColumnSize),
                                 text(str::kColumnDate)};
    const QStringList sortCommands = {text(str::kSortByName), text(str::kSortBySize),
                                      text(str::kSortByDate)};
    for (FileList* list : {listDir_, listFerixDir_, listFerixLst_}) {
        list->setColumnTitles(columns, text(str::kSortHeader), sortCommands);
    }
    // The stop button takes a transfer button's place: both are as large as it needs.
    const QSize stopSize = cmdStop_->sizeHint();
    cmdTransferPCFerix_->setMinimumSize(stopSize);
    cmdTransferFerixPC_->setMinimumSize(stopSize);
}

}  // namespace dnc::window
