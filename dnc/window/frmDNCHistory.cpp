// The sub-net window's History view: one per window, not modal, following the window's unit.
#include "dnc/window/HistoryView.h"
#include "dnc/window/frmDNC.h"
#include "dnc/window/frmDNCParts.h"

namespace dnc::window {

void frmDNC::showTransferHistory() {
    if (!historyView_) {
        historyView_ = new HistoryView(
            options_.history, id_, parts::q(settings_.caption), dialogs_,
            [this](const QString& path) { editFile(path); }, this, options_.historySite);
        historyView_->setAttribute(Qt::WA_DeleteOnClose);
        historyView_->setUnit(selectedUnit());
        historyView_->show();
        historyView_->reload();
    }
    historyView_->show();
    historyView_->raise();
    historyView_->activateWindow();
}

}  // namespace dnc::window
