#include "dnc/window/ControlPropertiesDialog.h"
#include "dnc/window/ControlPropertiesStrings.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "comm/widgets/ppFerixComm.h"
#include "comm/widgets/ppFerixFerixes.h"
#include "dnc/window/OperatorDialogs.h"
#include "dnc/window/frmDNCParts.h"
#include "dnc/window/rules/WindowStrings.h"
#include "localizing/lookup/ResourceStrings.h"

namespace dnc::window {

using parts::lookup;
using parts::q;

namespace {

QString text(int id) {
    return q(lookup(id));
}

}  // namespace

ControlPropertiesDialog::ControlPropertiesDialog(ControlPropertiesAccess& access,
                                                 OperatorDialogs& dialogs, const QString& caption,
                                                 bool communicating, QWidget* parent)
    : QDialog(parent), access_(access), dialogs_(dialogs) {
    setObjectName(QStringLiteral("frmControlProperties"));
    QString title = text(str::kControlProperties);
    if (!caption.isEmpty()) {
        title += QStringLiteral(" - ") + caption;
    }
    setWindowTitle(title);
    // The pages' texts come from the control's table, in the window's language.
    comm::widgets::selectPageLanguage(static_cast<std::int16_t>(loc::currentLanguage()));

    auto* layout = new QVBoxLayout(this);
    tabs_ = new QTabWidget(this);
    tabs_->setObjectName(QStringLiteral("tabPages"));
    common_ = new comm::widgets::ppFerixComm(tabs_);
    units_ = new comm::widgets::ppFerixFerixes(tabs_);
    for (comm::widgets::PropertyPage* page : pages()) {
        tabs_->addTab(page, page->windowTitle());
        connect(page, &comm::widgets::PropertyPage::changedStateChanged, this,
                &ControlPropertiesDialog::updateButtons);
    }
    layout->addWidget(tabs_);
    lblRunning_ = new QLabel(text(str::kControlPropertiesRunning), this);
    lblRunning_->setObjectName(QStringLiteral("lblRunning"));
    lblRunning_->setWordWrap(true);
    layout->addWidget(lblRunning_);
    buttons_ = new QDialogButtonBox(
        QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, this);
    buttons_->setObjectName(QStringLiteral("buttons"));
    buttons_->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("cmdOK"));
    buttons_->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cmdCancel"));
    buttons_->button(QDialogButtonBox::Apply)->setObjectName(QStringLiteral("cmdApply"));
    layout->addWidget(buttons_);
    connect(buttons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons_->button(QDialogButtonBox::Apply), &QPushButton::clicked, this,
            &ControlPropertiesDialog::applyChanges);

    reload();
    setCommunicating(communicating);
    // A list box is named by its label: a screen reader would name it by its value.
    for (QLabel* label : findChildren<QLabel*>()) {
        auto* box = qobject_cast<QComboBox*>(label->buddy());
        if (box != nullptr && box->accessibleName().isEmpty()) {
            QString name = label->text().remove(QLatin1Char('&')).trimmed();
            if (name.endsWith(QLatin1Char(':'))) {
                name.chop(1);
            }
            box->setAccessibleName(name);
        }
    }
}

std::vector<comm::widgets::PropertyPage*> ControlPropertiesDialog::pages() const {
    return {common_, units_};
}

void ControlPropertiesDialog::reload() {
    const std::vector<comm::PageValues> selected = access_.read();
    for (comm::widgets::PropertyPage* page : pages()) {
        page->setSelection(selected);
    }
    updateButtons();
}

void ControlPropertiesDialog::setCommunicating(bool communicating) {
    communicating_ = communicating;
    tabs_->setEnabled(!communicating);
    lblRunning_->setVisible(communicating);
    updateButtons();
}

void ControlPropertiesDialog::updateButtons() {
    bool changed = false;
    for (const comm::widgets::PropertyPage* page : pages()) {
        changed = changed || page->changed();
    }
    buttons_->button(QDialogButtonBox::Apply)->setEnabled(changed && !communicating_);
    buttons_->button(QDialogButtonBox::Ok)->setEnabled(!communicating_);
}

bool ControlPropertiesDialog::applyChanges() {
    if (communicating_) {
        return false;
    }
    comm::RecordedWrites writes;
    for (comm::widgets::PropertyPage* page : pages()) {
        if (!page->changed()) {
            continue;
        }
        if (QWidget* invalid = page->invalidField()) {
            tabs_->setCurrentWidget(page);
            dialogs_.tell(this, text(str::kError), text(str::kControlPropertiesBadPause),
                          OperatorDialogs::Icon::Exclamation);
            invalid->setFocus();
            return false;
        }
    }
    std::vector<comm::widgets::PropertyPage*> applied;
    for (comm::widgets::PropertyPage* page : pages()) {
        if (page->changed() && page->apply(writes)) {
            applied.push_back(page);
        }
    }
    if (writes.empty()) {
        return true;
    }
    const ApplyOutcome outcome = access_.apply(writes);
    if (outcome.refusedWhileRunning) {
        for (comm::widgets::PropertyPage* page : applied) {
            page->setChanged(true);  // the edits are still to be applied
        }
        updateButtons();
        dialogs_.tell(this, text(str::kError), text(str::kControlPropertiesNotApplied),
                      OperatorDialogs::Icon::Exclamation);
        return false;
    }
    // What the control holds now, with its rules applied (a prefix cut, blanks trimmed).
    reload();
    if (!outcome.errors.empty()) {
        QString message = text(str::kControlPropertiesRefused);
        for (const std::string& error : outcome.errors) {
            message += QLatin1Char('\n') + q(error);
        }
        dialogs_.tell(this, text(str::kError), message, OperatorDialogs::Icon::Exclamation);
        return false;
    }
    return true;
}

void ControlPropertiesDialog::done(int result) {
    if (result == QDialog::Accepted && !applyChanges()) {
        return;  // the operator sees why and may correct or cancel
    }
    QDialog::done(result);
}

}  // namespace dnc::window
