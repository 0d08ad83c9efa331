// The sub-net window's views and commands: the three lists and their refreshes, the selection
// summaries, the transfers, the unit commands, the editor and help.
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
#include "dnc/window/FileList.h"
#include "dnc/window/HelpPages.h"
#include "dnc/window/HistoryView.h"
#include "dnc/window/LoadResStrings.h"
#include "dnc/window/WindowLink.h"
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

using parts::BusyPointer;
using parts::kSizeRole;
using parts::lookup;
using parts::q;
using parts::s;

namespace {

std::vector<ListEntry> entriesOf(const QListWidget* list) {
    std::vector<ListEntry> entries;
    for (int i = 0; i < list->count(); ++i) {
        const QListWidgetItem* item = list->item(i);
        entries.push_back({s(item->text()), item->data(kSizeRole).toLongLong()});
    }
    return entries;
}

}  // namespace

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
    if (historyView_) {
        historyView_->setUnit(unit);
    }
    if (unit == 0) {
        return;
    }
    lblFerixNotSelected_->hide();  // also when no list is read now
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
    listDir_->setRows(listFileRows(s(stored), s(comboDirPattern_->currentText())));
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
    listFerixDir_->setRows(
        listFileRows(directory, s(comboFerixDirPattern_->currentText()), Listing::UnitDirectory));
    updateSummary(listFerixDir_, lblFerixDirSelFile_, lblFerixDirSelSize_);
}

void frmDNC::RefreshFerixMemoryList(int unit) {
    refreshMemoryList(unit, SubNet::Urgency::Operator);
}

void frmDNC::refreshMemoryList(int unit, SubNet::Urgency urgency) {
    if (unit == 0 || unit != selectedUnit() || !subNet_ || closed_) {
        return;
    }
    setInfo(text(str::kMemoryListTransfer));
    lblFerixLstChanged_->hide();
    if (!queuedRefreshes_->claim(unit)) {
        return;  // the refresh still waiting for the line shows this change too
    }
    const auto address = static_cast<std::uint8_t>(unit);
    subNet_->postRequest(
        [this, address, queued = queuedRefreshes_](comm::ctrlFerixComm& c) {
            queued->starting(address);
            comm::MemoryList list = c.FerixLst(address);
            QMetaObject::invokeMethod(
                this, [this, address, list = std::move(list)] { fillMemoryList(address, list); },
                Qt::QueuedConnection);
        },
        urgency);
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
    if (settings_.protocol == comm::ProtTavro1) {
        // The machine's listing has no free memory and no section: nothing is shown for them.
        for (QWidget* w : {static_cast<QWidget*>(lblFree_), static_cast<QWidget*>(lblFerixFreeMem_),
                           static_cast<QWidget*>(lblFreeBytes_), static_cast<QWidget*>(lblSection_),
                           static_cast<QWidget*>(lblFerixMemSection_)}) {
            w->hide();
        }
    }
    std::vector<ListRow> rows;
    for (const comm::MemoryListEntry& e : list.entries) {
        rows.push_back({{e.name, static_cast<std::int64_t>(e.size)}, std::nullopt});
    }
    listFerixLst_->setRows(std::move(rows));
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

bool frmDNC::refused(const TransferPlan& plan) {
    const int message = plan.refusal == TransferPlan::Refusal::NoFileSelected ? str::kNoFileSelected
                        : plan.refusal == TransferPlan::Refusal::FileNameMissing
                            ? str::kFileNameMissing
                            : 0;
    if (message != 0) {
        dialogs_.tell(this, appTitle(), text(message), OperatorDialogs::Icon::Information);
    }
    return plan.refusal != TransferPlan::Refusal::None;
}

void frmDNC::actTransferPCFerix() {
    if (closed_) {
        return;
    }
    const TransferPlan plan =
        planTransferToUnit(settings_.protocol, selectionOf(listFerixDir_),
                           {settings_.autoFerixLst, settings_.autoFerixLstCont});
    if (!refused(plan)) {
        runPlan(plan, true);
    }
}

void frmDNC::actTransferFerixPC() {
    if (closed_) {
        return;
    }
    const TransferPlan plan = planTransferFromUnit(settings_.protocol, selectionOf(listFerixLst_),
                                                   s(txtFerixFileName_->text()));
    if (!refused(plan)) {
        runPlan(plan, false);
    }
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
    std::vector<QString> infos;  // made here, in the window's language
    for (const ListEntry& file : plan.files) {
        infos.push_back(q(toUnit ? transferToUnitText(file.name, lookup)
                                 : transferFromUnitText(file.name, lookup)));
    }
    runBatch(plan, infos,
             [toUnit, withLength = plan.withLength](comm::ctrlFerixComm& c, std::uint8_t unit,
                                                    const ListEntry& file) {
                 if (toUnit) {
                     c.DoPcRequestFileToFerix(unit, file.name);
                 } else if (withLength) {
                     c.DoPcRequestFileFromFerix(unit, file.name,
                                                static_cast<std::int32_t>(file.size));
                 } else {
                     c.DoPcRequestFileFromFerix(unit, file.name);
                 }
             });
}

void frmDNC::runRemovePlan(const TransferPlan& plan) {
    std::vector<QString> infos;
    for (const ListEntry& file : plan.files) {
        infos.push_back(q(deleteText(file.name, lookup)));
    }
    runBatch(plan, infos, [](comm::ctrlFerixComm& c, std::uint8_t unit, const ListEntry& file) {
        c.DoPCRequestRemoveFile(unit, file.name);
    });
}

// The files go one after another on the sub net's thread; the window shows each one's text and
// hears of the end, after every event the requests raised.
void frmDNC::runBatch(const TransferPlan& plan, const std::vector<QString>& infos,
                      const FileRequest& request) {
    if (!subNet_) {
        return;
    }
    if (plan.batch) {
        batchRunning_ = true;
    }
    subNet_->postRequest([this, plan, infos, request](comm::ctrlFerixComm& c) {
        for (std::size_t i = 0; i < plan.files.size(); ++i) {
            const QString info = infos[i];
            QMetaObject::invokeMethod(
                this, [this, info] { setInfo(info); }, Qt::QueuedConnection);
            request(c, plan.unit, plan.files[i]);
        }
        QMetaObject::invokeMethod(
            this,
            [this, plan, last = infos.empty() ? QString() : infos.back()] {
                finishBatch(plan);
                // A request that ended says nothing more: its text goes, unless an error or a
                // note took its place.
                if (!closed_ && !last.isEmpty() && infoText() == last) {
                    setInfo({});
                }
            },
            Qt::QueuedConnection);
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
    const UnitCommandEntry& entry = unitCommandEntry(command);
    if (entry.question != 0 && (!dialogs_.ask(this, appTitle(), text(entry.question)) || closed_)) {
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

}  // namespace dnc::window
