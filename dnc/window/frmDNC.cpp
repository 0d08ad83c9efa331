#include "dnc/window/frmDNC.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QDropEvent>
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
#include "dnc/window/HelpPages.h"
#include "dnc/window/LoadResStrings.h"
#include "dnc/window/QtLanguage.h"
#include "dnc/window/WindowLink.h"
#include "dnc/window/config/frmConfigDNC.h"
#include "dnc/window/frmAboutDNC.h"
#include "dnc/window/frmDNCParts.h"
#include "dnc/window/rules/CommandSets.h"
#include "dnc/window/rules/DirectoryFiles.h"
#include "dnc/window/rules/ProgramLaunch.h"
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

constexpr int kDefaultWidth = 960;
constexpr int kDefaultHeight = 620;

std::string share(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.4g", static_cast<double>(value));
    return text;
}

}  // namespace

frmDNC::frmDNC(ConfigStore& store, int ID, OperatorDialogs& dialogs, Options options,
               QWidget* parent)
    : QMainWindow(parent), store_(store), id_(ID), dialogs_(dialogs), options_(std::move(options)) {
    setObjectName(QStringLiteral("frmDNC"));
    tag(this, 201);
    // Window load: the language of this thread, the texts, the default shares, the limits.
    const auto language =
        static_cast<std::uint16_t>(store_.section("Common").readInt("LangID", 0, 0, 0xFFFF));
    // Qt's own texts and the date follow too: the whole window is in the language chosen last.
    applyQtLanguage(loc::selectLanguage(language));
    buildMenus();
    buildToolBar();
    buildPanes();
    buildStatusBar();
    loadTexts();
    lineRetryTimer_ = new QTimer(this);
    lineRetryTimer_->setSingleShot(true);
    connect(lineRetryTimer_, &QTimer::timeout, this, [this] {
        if (lineRetrying_ && subNet_ && !closed_) {
            subNet_->StartCommunication();  // not the operator's: a failure needs no box
        }
    });
    applyLineState();
    // No smaller than every element can be read at in this language (the panes do not fold
    // away), and never below the window's fixed limit.
    splitter_->setChildrenCollapsible(false);
    applyMinimumSize();
    resize(kDefaultWidth, kDefaultHeight);
    configDialog_ = new frmConfigDNC(store_, dialogs_, this);
    // The chain editor belongs to the configuration dialog: made at its first use, gone with it.
    configDialog_->openConversions = [this](const std::filesystem::path& chainFile) {
        if (!chainDialog_) {
            chainDialog_ = new frmConfigDNCConversions(dialogs_, configDialog_);
        }
        chainDialog_->ConfigureConversions(chainFile);
    };
    updateControlPropertiesAvailability();
    link_ = std::make_unique<WindowLink>(
        this,
        [this] { QMetaObject::invokeMethod(this, &frmDNC::takeEvents, Qt::QueuedConnection); },
        [this](const std::string& caption, const std::string& text) {
            dialogs_.tell(this, caption.empty() ? appTitle() : q(caption), q(text),
                          OperatorDialogs::Icon::Information);
        });
}

frmDNC::~frmDNC() {
    if (options_.revisions != nullptr && revisionListener_ != 0) {
        options_.revisions->removeListener(revisionListener_);
    }
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

// ---- start sequence ------------------------------------------------------------------------

void frmDNC::Initialize() {
    subNet_ = std::make_unique<SubNet>(id_, store_, *link_, options_.ports, options_.setup,
                                       options_.journal);
    // listDirPath defaults to the control's root directory before the configuration is read.
    const std::string home =
        subNet_->call<std::string>([](comm::ctrlFerixComm& c) { return c.FerixHomeDir(); });
    const StoreSection section = store_.section(subNetSection(id_));
    for (int n = 1; n <= comm::kUnitCount; ++n) {
        listDirPath_[static_cast<std::size_t>(n - 1)] =
            q(section.readString("listDirPath" + std::to_string(n), home));
    }
    subNet_->Initialize();  // loads the configuration; the start of communication is queued
    if (options_.revisions != nullptr) {
        // From the history's thread: the count is read again on the window's.
        QPointer<frmDNC> self(this);
        const int subNet = id_;
        revisionListener_ =
            options_.revisions->addListener([self, subNet](const history::RevisionNotice& n) {
                if (n.subNet == subNet) {
                    QMetaObject::invokeMethod(
                        qApp,
                        [self] {
                            if (self) {
                                self->refreshPendingCount();
                            }
                        },
                        Qt::QueuedConnection);
                }
            });
        refreshPendingCount();
    }
    takeEvents();  // the configuration's ConfigChanged
    setWindowTitle(appTitle());
    // The window's own title already begins with the program's name; a display name would be
    // appended to it by the platform ("FerixDNC Hall A - FerixDNC"). An empty one is appended
    // to no title.
    QApplication::setApplicationDisplayName(QString());
    comboDirPattern_->setCurrentText(q(section.readString("DirPattern", "*.*")));
    comboFerixDirPattern_->setCurrentText(q(section.readString("FerixDirPattern", "*.*")));
    initialized_ = true;
    // A DNC line shows the unit that was shown when the window last closed (none the first
    // time); the other lines have one unit.
    comboFerixAdr_->setCurrentIndex(settings_.protocol == comm::ProtDNC
                                        ? comboFerixAdr_->findData(static_cast<int>(section.readInt(
                                              "SelectedUnit", 0, 0, comm::kUnitCount)))
                                    : comboFerixAdr_->count() == 0 ? -1
                                                                   : 0);
    onUnitSelected();
    if (selectedUnit() == 0) {
        setMemoryLabels(true, false);
    }
    shares_ = validatePaneShares(static_cast<float>(section.readDouble("LeftSize", 0.334)),
                                 static_cast<float>(section.readDouble("MiddleSize", 0.333)),
                                 static_cast<float>(section.readDouble("RightSize", 0.333)));
    loadGeometry();
    applyShares();
    // Every size label has its number (and "Select None") from the start.
    updateSummary(listDir_, lblDirSelFile_, lblDirSelSize_);
    updateSummary(listFerixDir_, lblFerixDirSelFile_, lblFerixDirSelSize_);
    updateSummary(listFerixLst_, lblFerixLstSelFile_, lblFerixLstSelSize_);
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
    const PixelRect restored = restoredWindowGeometry(limited, dpi);
    move(restored.x, restored.y);  // the frame's position, as stored
    resize(restored.width, restored.height);
}

void frmDNC::applyMinimumSize() {
    setMinimumSize(QSize(kMinWidthPixels, kMinHeightPixels));
    const QSize least = minimumSizeHint().expandedTo(QSize(kMinWidthPixels, kMinHeightPixels));
    setMinimumSize(least);
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
        applyMinimumSize();  // the texts and lists are in place now
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
        if (options_.told) {
            options_.told(event);
        }
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
                refreshMemoryList(event.unit, SubNet::Urgency::Background);
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
                setInfo(q(unitErrorText(event.description, lookup, failedUnit_)));
            }
            failedUnit_ = 0;
            break;
        case Kind::TransferBegun:
        case Kind::TransferFinished:
            if (event.transfer) {
                transferNoted(event.kind == Kind::TransferBegun, *event.transfer);
            }
            break;
        case Kind::ShowStop:
            applyShowStop(event.showButton, event.direction);
            break;
        case Kind::CommunicationStarted:
            communicating_ = true;
            startFromMenu_ = false;
            stopLineRetry();
            lineError_.clear();
            updateControlPropertiesAvailability();
            applyLineState();
            break;
        case Kind::CommunicationStopped:
            communicating_ = false;
            updateControlPropertiesAvailability();
            applyLineState();
            break;
        case Kind::StartFailed:
            communicating_ = false;
            lineError_ = q(event.description);
            updateControlPropertiesAvailability();
            applyLineState();
            if (startFromMenu_) {
                startFromMenu_ = false;
                tellError(q(event.description), q(event.helpFile), event.context);
            } else {
                // The port may come back (a cable, a converter, another program letting go).
                lineRetrying_ = !closed_;
                if (lineRetrying_) {
                    lineRetryTimer_->start(options_.lineRetry);
                }
                applyLineState();
                setInfo(q(event.description));
                show();
            }
            break;
        case Kind::SettingProblem:
            // Each problem of the stored settings comes once, before the line starts; all of
            // them stay readable in the bar's tip, the newest is in the bar.
            settingProblems_ << q(event.description);
            infoBar_->setToolTip(settingProblems_.join(QLatin1Char('\n')));
            setInfo(q(event.description));
            break;
        case Kind::Closing:
            break;
    }
}

void frmDNC::transferNoted(bool began, const comm::TransferEnd& transfer) {
    const bool byUnit = transfer.startedBy == comm::TransferStarter::Unit;
    const bool toUnit = transfer.way == comm::TransferWay::ToUnit;
    if (began) {
        failedUnit_ = 0;
        if (byUnit) {
            // The unit's own request: the bar says who asks for what while it runs.
            unitTransferInfo_ = q(unitTransferText(transfer.unit, toUnit, transfer.name, lookup));
            setInfo(unitTransferInfo_);
        }
        return;
    }
    if (byUnit) {
        // A failure is told next (OnError); its text names the unit.
        failedUnit_ = transfer.outcome == comm::TransferOutcome::Failed ? transfer.unit : 0;
        if (!unitTransferInfo_.isEmpty() && infoText() == unitTransferInfo_) {
            setInfo({});
        }
        unitTransferInfo_.clear();
        return;
    }
    if (!toUnit && transfer.outcome == comm::TransferOutcome::Stopped && transfer.bytes.empty() &&
        transfer.error.empty()) {
        setInfo(q(nothingReceivedText(transfer.name, lookup)));
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
    if (sharesApplied_) {
        applyMinimumSize();
    }
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
    applyLineState();
    if (!showButton) {
        // A transfer that ended without reaching 100 (an empty program, a receive of unknown
        // length) leaves no bar behind.
        progressBar_->hide();
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
    const bool ontoUnitDirectory = watched == listFerixDir_->viewport();
    if ((ontoUnitDirectory || watched == listFerixLst_->viewport()) &&
        (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove ||
         event->type() == QEvent::Drop)) {
        auto* drop = static_cast<QDropEvent*>(event);
        const QString from =
            QString::fromUtf8(drop->mimeData()->data(QString::fromLatin1(kListDragFormat)));
        const QListWidget* expected = ontoUnitDirectory ? listDir_ : listFerixDir_;
        if (from != expected->objectName() || transferRunning_ || closed_) {
            event->ignore();
            return true;
        }
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        if (event->type() == QEvent::Drop) {
            // The dragged entries are the list's selection: the command acts on them.
            QMetaObject::invokeMethod(
                this,
                [this, ontoUnitDirectory] {
                    ontoUnitDirectory ? actConversionIn() : actTransferPCFerix();
                },
                Qt::QueuedConnection);
        }
        return true;
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
    stopLineRetry();
    subNet_->StartCommunication();
}

void frmDNC::stopLineRetry() {
    lineRetrying_ = false;
    lineRetryTimer_->stop();
}

void frmDNC::actConfigDNC() {
    if (!subNet_ || closed_) {
        return;
    }
    if (!dialogs_.ask(this, text(str::kContinue), text(str::kConfigWarning))) {
        return;
    }
    configDialog_->ConfigureFerixComm(*subNet_);
}

void frmDNC::StopCommunication() {
    if (lineRetrying_) {
        stopLineRetry();
        applyLineState();
    }
    if (subNet_ && !closed_) {
        if (transferRunning_) {
            setInfo(text(str::kStopWaitsForTransfer));  // the line goes off after it
        }
        subNet_->StopCommunication();
    }
}

// Only the command that changes the line's state is offered; while a transfer runs neither.
// The status bar says how the line is.
void frmDNC::applyLineState() {
    setElementEnabled(QStringLiteral("mnuSystemStart"), !communicating_);
    // Stopping a line that is being retried ends the retries.
    setElementEnabled(QStringLiteral("mnuSystemStop"), communicating_ || lineRetrying_);
    setElementEnabled(QStringLiteral("btnStartCommunication"),
                      !communicating_ && !transferRunning_);
    setElementEnabled(QStringLiteral("btnStopCommunication"),
                      (communicating_ || lineRetrying_) && !transferRunning_);
    const QString state = communicating_  ? text(str::kLineRunning)
                          : lineRetrying_ ? q(filled(lookup(str::kLineRetrying), s(lineError_)))
                          : lineError_.isEmpty()
                              ? text(str::kLineStopped)
                              : q(filled(lookup(str::kLineStoppedBy), s(lineError_)));
    constexpr int kLinePanelWidth = 260;  // the whole text is in the tip
    linePanel_->setText(
        linePanel_->fontMetrics().elidedText(state, Qt::ElideRight, kLinePanelWidth));
    linePanel_->setToolTip(state);
    linePanel_->setAccessibleName(state);
}

// ---- closing --------------------------------------------------------------------------------

void frmDNC::closeEvent(QCloseEvent* event) {
    if (closed_) {
        event->accept();
        return;
    }
    closed_ = true;
    stopLineRetry();
    configDialog_->hide();
    // The views that belong to this window go with it.
    if (controlProperties_) {
        controlProperties_->reject();
    }
    if (historyView_) {
        historyView_->close();
    }
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
    values.emplace_back("SelectedUnit", std::to_string(selectedUnit()));
    values.emplace_back("LeftSize", share(shares_.left));
    values.emplace_back("MiddleSize", share(shares_.middle));
    values.emplace_back("RightSize", share(shares_.right));
    QScreen* screen = this->screen() != nullptr ? this->screen() : QApplication::primaryScreen();
    const double dpi = screen != nullptr ? screen->logicalDotsPerInch() : 96.0;
    const QRect frame = frameGeometry();
    const QRect inner = geometry();
    const TwipsRect stored =
        storedWindowGeometry({frame.x(), frame.y(), frame.width(), frame.height()},
                             {inner.x(), inner.y(), inner.width(), inner.height()}, dpi);
    values.emplace_back("Left", std::to_string(stored.left));
    values.emplace_back("Top", std::to_string(stored.top));
    values.emplace_back("Width", std::to_string(stored.width));
    values.emplace_back("Height", std::to_string(stored.height));
    store_.write(subNetSection(id_), values);
}

}  // namespace dnc::window
