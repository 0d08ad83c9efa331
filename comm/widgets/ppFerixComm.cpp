#include "comm/widgets/ppFerixComm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <algorithm>

#include "comm/widgets/PageText.h"

namespace comm::widgets {

namespace {

constexpr int kCaption = 201;
constexpr int kPortLabel = 210;
constexpr int kZerosInName = 213;
constexpr int kF4COPYMax = 32767;  // the property is a 16-bit number of milliseconds

constexpr std::array<const char*, kKindExtCount> kExtNames = {
    "SourceTextExt", "WorkTextExt",   "ListExt",    "SourceMacroExt",
    "WorkMacroExt",  "SourceDiagExt", "WorkDiagExt"};

// Fills a drop-down list with its entries and selects `current`; a value outside the entries
// is added in its numeric place, so that Apply writes back what the control holds.
void fillList(QComboBox* list, const QStringList& entries, const QString& current) {
    QStringList all = entries;
    if (!current.isEmpty() && !all.contains(current)) {
        const auto place = std::find_if(all.begin(), all.end(), [&current](const QString& e) {
            return e.toLongLong() > current.toLongLong();
        });
        all.insert(place, current);
    }
    list->clear();
    list->addItems(all);
    list->setCurrentIndex(all.indexOf(current));
}

}  // namespace

ppFerixComm::ppFerixComm(QWidget* parent) : PropertyPage(parent) {
    setObjectName(QStringLiteral("ppFerixComm"));
    auto* grid = new QGridLayout(this);
    int row = 0;
    int labelIndex = 0;
    auto addRow = [&](const QString& name, QWidget* field) {
        auto* label = new QLabel(this);
        // The label is named after the property: lblCommPort for comboCommPort.
        QString property = name;
        property.remove(0, static_cast<int>(std::find_if(name.begin(), name.end(),
                                                         [](QChar c) { return c.isUpper(); }) -
                                            name.begin()));
        label->setObjectName(QStringLiteral("lbl") + property);
        label->setBuddy(field);
        field->setObjectName(name);
        grid->addWidget(label, row, 0);
        grid->addWidget(field, row, 1);
        labels_[static_cast<std::size_t>(labelIndex++)] = label;
        ++row;
    };

    comboCommPort_ = new QComboBox(this);
    addRow(QStringLiteral("comboCommPort"), comboCommPort_);
    comboCommSpeed_ = new QComboBox(this);
    addRow(QStringLiteral("comboCommSpeed"), comboCommSpeed_);
    txtFerixHomeDir_ = new QLineEdit(this);
    // Room for a usual path; longer ones scroll.
    txtFerixHomeDir_->setMinimumWidth(txtFerixHomeDir_->fontMetrics().averageCharWidth() * 44);
    addRow(QStringLiteral("txtFerixHomeDir"), txtFerixHomeDir_);
    chkZerosInName_ = new QCheckBox(this);
    chkZerosInName_->setObjectName(QStringLiteral("chkZerosInName"));
    grid->addWidget(chkZerosInName_, row++, 1);
    txtF4COPYTimeout_ = new QLineEdit(this);
    txtF4COPYTimeout_->setValidator(new QIntValidator(0, kF4COPYMax, txtF4COPYTimeout_));
    addRow(QStringLiteral("txtF4COPYTimeout"), txtF4COPYTimeout_);
    for (int k = 0; k < kKindExtCount; ++k) {
        auto* edit = new QLineEdit(this);
        txtExt_[static_cast<std::size_t>(k)] = edit;
        addRow(QStringLiteral("txt") + QLatin1String(kExtNames[static_cast<std::size_t>(k)]), edit);
    }
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(row, 1);

    watch(comboCommPort_);
    watch(comboCommSpeed_);
    watch(txtFerixHomeDir_);
    watch(chkZerosInName_);
    watch(txtF4COPYTimeout_);
    for (QLineEdit* edit : txtExt_) {
        watch(edit);
    }
    setSelection({});
    LoadResStrings();
}

QStringList ppFerixComm::portEntries() {
    return {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4")};
}

QStringList ppFerixComm::speedEntries() {
    return {QStringLiteral("110"),  QStringLiteral("300"),  QStringLiteral("1200"),
            QStringLiteral("2400"), QStringLiteral("4800"), QStringLiteral("9600")};
}

void ppFerixComm::LoadResStrings() {
    setWindowTitle(pageText(kCaption));
    int number = kPortLabel;
    for (QLabel* label : labels_) {
        if (number == kZerosInName) {
            ++number;
        }
        label->setText(pageText(number++));
    }
    chkZerosInName_->setText(pageText(kZerosInName));
}

QWidget* ppFerixComm::invalidField() const {
    if (hasSelection() && !txtF4COPYTimeout_->hasAcceptableInput()) {
        return txtF4COPYTimeout_;
    }
    return nullptr;
}

void ppFerixComm::fill(const PageValues& first) {
    fillList(comboCommPort_, portEntries(), QString::number(first.commPort));
    fillList(comboCommSpeed_, speedEntries(), QString::fromStdString(first.commSpeed));
    txtFerixHomeDir_->setText(QString::fromStdString(first.ferixHomeDir));
    chkZerosInName_->setChecked(first.zerosInName);
    txtF4COPYTimeout_->setText(QString::number(first.f4copyTimeout));
    for (std::size_t k = 0; k < txtExt_.size(); ++k) {
        txtExt_[k]->setText(QString::fromStdString(first.extensions[k]));
    }
}

void ppFerixComm::clearFields() {
    fillList(comboCommPort_, portEntries(), QString());
    fillList(comboCommSpeed_, speedEntries(), QString());
    txtFerixHomeDir_->clear();
    chkZerosInName_->setChecked(false);
    txtF4COPYTimeout_->clear();
    for (QLineEdit* edit : txtExt_) {
        edit->clear();
    }
}

void ppFerixComm::write(PropertyWriter& target) const {
    // An empty list (no entry chosen) writes nothing rather than a made-up value.
    if (!comboCommPort_->currentText().isEmpty()) {
        target.setCommPort(static_cast<std::int16_t>(comboCommPort_->currentText().toInt()));
    }
    if (!comboCommSpeed_->currentText().isEmpty()) {
        target.setCommSpeed(comboCommSpeed_->currentText().toStdString());
    }
    target.setFerixHomeDir(txtFerixHomeDir_->text().toStdString());
    target.setZerosInName(chkZerosInName_->isChecked());
    target.setF4COPYTimeout(static_cast<std::int16_t>(txtF4COPYTimeout_->text().toInt()));
    for (std::size_t k = 0; k < txtExt_.size(); ++k) {
        target.setExt(static_cast<KindExt>(k), txtExt_[k]->text().toStdString());
    }
}

}  // namespace comm::widgets
