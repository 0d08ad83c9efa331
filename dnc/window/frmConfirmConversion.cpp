#include "dnc/window/frmConfirmConversion.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "dnc/window/ConversionStrings.h"
#include "dnc/window/LoadResStrings.h"

namespace dnc::window {

namespace {

QLabel* label(QWidget* parent, const char* name, int number) {
    auto* l = new QLabel(parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setProperty("tag", number);
    return l;
}

QComboBox* box(QWidget* parent, const char* name, QLabel* label, bool editable) {
    auto* b = new QComboBox(parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setEditable(editable);
    b->setInsertPolicy(QComboBox::NoInsert);
    b->setProperty("labelledBy", label->objectName());
    label->setBuddy(b);
    return b;
}

}  // namespace

frmConfirmConversion::frmConfirmConversion(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmConfirmConversion"));
    setProperty("tag", convstr::kConfirmCaption);
    setModal(true);

    auto* layout = new QGridLayout(this);
    lblInclude_ = label(this, "lblInclude", convstr::kIncludeQuestion);
    lblExclude_ = label(this, "lblExclude", convstr::kExcludeQuestion);
    for (QLabel* question : {lblInclude_, lblExclude_}) {
        QFont bold = question->font();
        bold.setBold(true);
        question->setFont(bold);
    }
    QLabel* lblName = label(this, "lblName", convstr::kName);
    txtName_ = new QLineEdit(this);
    txtName_->setObjectName(QStringLiteral("txtName"));
    txtName_->setProperty("labelledBy", lblName->objectName());
    lblName->setBuddy(txtName_);
    lblFileType_ = label(this, "lblFileType", convstr::kFileType);
    lblExtension_ = label(this, "lblExtension", convstr::kExtension);
    comboExtensionIn_ = box(this, "comboExtensionIn", lblFileType_, false);
    comboExtensionOut_ = box(this, "comboExtensionOut", lblExtension_, true);
    chkWithOutConversion_ = new QCheckBox(this);
    chkWithOutConversion_->setObjectName(QStringLiteral("chkWithOutConversion"));
    chkWithOutConversion_->setProperty("tag", convstr::kWithoutConversion);

    auto* cmdOK = new QPushButton(this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setProperty("tag", convstr::kOk);
    cmdOK->setDefault(true);
    auto* cmdCancel = new QPushButton(this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setProperty("tag", convstr::kCancel);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);

    layout->addWidget(lblInclude_, 0, 0, 1, 2);
    layout->addWidget(lblExclude_, 1, 0, 1, 2);
    layout->addWidget(lblName, 2, 0);
    layout->addWidget(txtName_, 2, 1);
    layout->addWidget(lblFileType_, 3, 0);
    layout->addWidget(comboExtensionIn_, 3, 1);
    layout->addWidget(lblExtension_, 4, 0);
    layout->addWidget(comboExtensionOut_, 4, 1);
    layout->addWidget(chkWithOutConversion_, 5, 0, 1, 2);
    layout->addLayout(buttons, 6, 0, 1, 2);
    layout->setColumnStretch(1, 1);

    connect(cmdOK, &QPushButton::clicked, this, [this] {
        cancelled_ = false;
        accept();
    });
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    LoadResStrings(this, [](int id) { return programString(id); });
    setMinimumWidth(380);
}

void frmConfirmConversion::prepare(const std::vector<std::string>& files, bool include) {
    include_ = include;
    cancelled_ = true;
    lblInclude_->setVisible(include);
    lblFileType_->setVisible(include);
    comboExtensionIn_->setVisible(include);
    lblExclude_->setVisible(!include);
    lblExtension_->setVisible(!include);
    comboExtensionOut_->setVisible(!include);
    chkWithOutConversion_->setChecked(false);
    txtName_->setText(QString::fromStdString(proposedName(files, include)));
    txtName_->setEnabled(files.size() == 1);
}

void frmConfirmConversion::prepareInclude(const std::vector<std::string>& files,
                                          const std::vector<KindChoice>& kinds) {
    prepare(files, true);
    comboExtensionIn_->clear();
    for (const KindChoice& kind : kinds) {
        comboExtensionIn_->addItem(QString::fromStdString(kind.text),
                                   QString::fromStdString(kind.extension));
    }
    comboExtensionIn_->setCurrentIndex(0);
}

void frmConfirmConversion::prepareExclude(const std::vector<std::string>& files,
                                          const std::vector<std::string>& extensions,
                                          const std::string& preset) {
    prepare(files, false);
    comboExtensionOut_->clear();
    for (const std::string& extension : extensions) {
        comboExtensionOut_->addItem(QString::fromStdString(extension));
    }
    comboExtensionOut_->setEditText(QString::fromStdString(preset));
}

bool frmConfirmConversion::confirm() {
    cancelled_ = true;
    (txtName_->isEnabled() ? static_cast<QWidget*>(txtName_)
     : include_            ? static_cast<QWidget*>(comboExtensionIn_)
                           : static_cast<QWidget*>(comboExtensionOut_))
        ->setFocus();
    exec();
    return !cancelled_;
}

std::string frmConfirmConversion::baseName() const {
    return txtName_->text().trimmed().toStdString();
}

std::string frmConfirmConversion::extension() const {
    if (include_) {
        return comboExtensionIn_->currentData().toString().toStdString();
    }
    return comboExtensionOut_->currentText().trimmed().toStdString();
}

bool frmConfirmConversion::withoutConversion() const {
    return chkWithOutConversion_->isChecked();
}

}  // namespace dnc::window
