// The sub-net window's "Control Properties": the control's pages, reached on the sub net's
// thread by one message to read and one to apply.
#include <QAction>

#include "dnc/config/SubNetConfiguration.h"
#include "dnc/window/ControlPropertiesDialog.h"
#include "dnc/window/ControlPropertiesStrings.h"
#include "dnc/window/frmDNC.h"
#include "dnc/window/frmDNCParts.h"

namespace dnc::window {

namespace {

class SubNetControlAccess : public ControlPropertiesAccess {
public:
    explicit SubNetControlAccess(SubNet& subNet) : subNet_(subNet) {}

    std::vector<comm::PageValues> read() override {
        return {subNet_.call<comm::PageValues>(
            [](comm::ctrlFerixComm& control) { return comm::readPageValues(control); })};
    }

    ApplyOutcome apply(const comm::RecordedWrites& writes) override {
        SubNet* subNet = &subNet_;
        return subNet_.call<ApplyOutcome>([subNet, writes](comm::ctrlFerixComm& control) {
            ApplyOutcome outcome;
            // The window may not have heard yet that the line went on; a port or speed must
            // not change under a running line.
            if (control.Active()) {
                outcome.refusedWhileRunning = true;
                return outcome;
            }
            comm::ControlWriter writer(control);
            writes.replay(writer);
            outcome.errors = writer.errors();
            if (SubNetConfiguration* configuration = subNet->configuration()) {
                configuration->raiseConfigChanged();
            }
            return outcome;
        });
    }

private:
    SubNet& subNet_;
};

}  // namespace

void frmDNC::showControlProperties() {
    if (!subNet_ || closed_ || communicating_) {
        return;
    }
    if (!controlProperties_) {
        if (!controlAccess_) {
            controlAccess_ = std::make_unique<SubNetControlAccess>(*subNet_);
        }
        controlProperties_ = new ControlPropertiesDialog(
            *controlAccess_, dialogs_, parts::q(settings_.caption), communicating_, this);
        controlProperties_->setAttribute(Qt::WA_DeleteOnClose);
        controlProperties_->setWindowModality(Qt::WindowModal);
    }
    controlProperties_->show();
    controlProperties_->raise();
    controlProperties_->activateWindow();
}

void frmDNC::updateControlPropertiesAvailability() {
    auto* item = findChild<QAction*>(QStringLiteral("mnuSystemControlProperties"));
    if (item == nullptr) {
        return;
    }
    item->setEnabled(!communicating_);
    const QString tip =
        text(communicating_ ? str::kControlPropertiesRunning : str::kTipControlProperties);
    item->setToolTip(tip);
    item->setStatusTip(tip);
    if (controlProperties_) {
        controlProperties_->setCommunicating(communicating_);
    }
}

}  // namespace dnc::window
