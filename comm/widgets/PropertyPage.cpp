#include "comm/widgets/PropertyPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include "localizing/lookup/ResourceStrings.h"

namespace comm::widgets {

PropertyPage::PropertyPage(QWidget* parent) : QWidget(parent) {}

void PropertyPage::setSelection(const std::vector<PageValues>& selected) {
    hasSelection_ = !selected.empty();
    if (hasSelection_) {
        fill(selected.front());
    } else {
        clearFields();
    }
    setEnabled(hasSelection_);
    setChanged(false);
}

bool PropertyPage::apply(PropertyWriter& target) {
    if (!hasSelection_ || invalidField() != nullptr) {
        return false;
    }
    write(target);
    setChanged(false);
    return true;
}

void PropertyPage::setChanged(bool changed) {
    if (changed_ != changed) {
        changed_ = changed;
        emit changedStateChanged(changed);
    }
}

void PropertyPage::watch(QLineEdit* edit) {
    connect(edit, &QLineEdit::textEdited, this, [this] { setChanged(true); });
}

void PropertyPage::watch(QComboBox* list) {
    connect(list, &QComboBox::activated, this, [this] { setChanged(true); });
}

void PropertyPage::watch(QCheckBox* box) {
    connect(box, &QCheckBox::clicked, this, [this] { setChanged(true); });
}

void selectPageLanguage(std::int16_t langId) {
    loc::selectLanguage(static_cast<std::uint16_t>(langId));
}

}  // namespace comm::widgets
