// The sub-net window's revision views: the Revisions of the selected program, the Pending
// programs of the sub net, and the count of waiting programs in the status bar.
#include <QApplication>
#include <QListWidget>
#include <QPointer>
#include <QStatusBar>
#include <QThreadPool>

#include "dnc/window/LoadResStrings.h"
#include "dnc/window/RevisionsView.h"
#include "dnc/window/frmDNC.h"
#include "dnc/window/frmDNCParts.h"
#include "dnc/window/rules/RevisionRows.h"

namespace dnc::window {

namespace {

void bringUp(QDialog* view) {
    view->show();
    view->raise();
    view->activateWindow();
}

}  // namespace

void frmDNC::showRevisions() {
    const int unit = selectedUnit();
    QListWidgetItem* current = listFerixDir_->currentItem();
    if (unit == 0 || current == nullptr) {
        showInformation(programString(revstr::kSelectProgram));
        return;
    }
    if (!revisionsView_) {
        revisionsView_ = new RevisionsView(options_.revisions, subNet_.get(), id_,
                                           parts::q(settings_.caption), false, this);
        revisionsView_->setAttribute(Qt::WA_DeleteOnClose);
        connect(revisionsView_, &RevisionsView::decided, this, &frmDNC::refreshPendingCount);
    }
    revisionsView_->setProgram(unit, parts::s(current->text()));
    bringUp(revisionsView_);
}

void frmDNC::showPendingPrograms() {
    if (!pendingView_) {
        pendingView_ = new RevisionsView(options_.revisions, subNet_.get(), id_,
                                         parts::q(settings_.caption), true, this);
        pendingView_->setAttribute(Qt::WA_DeleteOnClose);
        connect(pendingView_, &RevisionsView::decided, this, &frmDNC::refreshPendingCount);
    }
    pendingView_->reload();
    bringUp(pendingView_);
}

void frmDNC::refreshPendingCount() {
    if (options_.revisions == nullptr || pendingPanel_ == nullptr) {
        return;
    }
    // Counted off the window's thread: a database another process holds must not stop it.
    QPointer<frmDNC> self(this);
    QThreadPool::globalInstance()->start(
        [self, desk = options_.revisions, filter = revisionViewFilter(id_, 0, {}, true)] {
            std::string error;
            const auto pending = desk->list(filter, error);
            const std::size_t count = pending ? pending->size() : 0;
            QMetaObject::invokeMethod(
                qApp,
                [self, count] {
                    if (self) {
                        self->showPendingCount(count);
                    }
                },
                Qt::QueuedConnection);
        });
}

void frmDNC::showPendingCount(std::size_t pending) {
    const QString text =
        parts::q(pendingCountText(pending, [](int id) { return parts::s(programString(id)); }));
    pendingPanel_->setText(text);
    pendingPanel_->setAccessibleName(text);
    pendingPanel_->setVisible(!text.isEmpty());
    if (pendingView_ && pendingView_->isVisible() && !pendingView_->deciding()) {
        pendingView_->reload();
    }
    emit pendingCounted();
}

QString frmDNC::pendingText() const {
    return pendingPanel_ != nullptr ? pendingPanel_->text() : QString();
}

}  // namespace dnc::window
