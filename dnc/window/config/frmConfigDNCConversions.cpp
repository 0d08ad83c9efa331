#include "dnc/window/config/frmConfigDNCConversions.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "dnc/config/ChainFile.h"
#include "dnc/window/ConversionStrings.h"
#include "dnc/window/HelpPages.h"
#include "dnc/window/LoadResStrings.h"

namespace dnc::window {

namespace {

QPushButton* button(QWidget* parent, const char* name, int number) {
    auto* b = new QPushButton(parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setProperty("tag", number);
    return b;
}

QComboBox* editableBox(QWidget* parent, const char* name, QLabel* label) {
    auto* box = new QComboBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setProperty("labelledBy", label->objectName());
    label->setBuddy(box);
    return box;
}

QString q(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// Step texts are 8-bit characters as the chain file holds them.
std::string latin1(const QString& text) {
    return text.toLatin1().toStdString();
}

}  // namespace

frmConfigDNCConversions::frmConfigDNCConversions(OperatorDialogs& dialogs, QWidget* parent)
    : QDialog(parent), dialogs_(dialogs) {
    setObjectName(QStringLiteral("frmConfigDNCConversions"));
    setProperty("tag", convstr::kChainCaption);
    setModal(false);
    build();
    LoadResStrings(this, [](int id) { return programString(id); });
    showSelection();
}

void frmConfigDNCConversions::build() {
    auto* outer = new QVBoxLayout(this);
    auto* fileRow = new QHBoxLayout;
    auto* lblFile = new QLabel(this);
    lblFile->setObjectName(QStringLiteral("lblChainFileCaption"));
    lblFile->setProperty("tag", convstr::kChainFile);
    lblChainFile_ = new QLabel(this);
    lblChainFile_->setObjectName(QStringLiteral("lblChainFile"));
    lblChainFile_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    fileRow->addWidget(lblFile);
    fileRow->addWidget(lblChainFile_, 1);
    outer->addLayout(fileRow);

    auto* middle = new QHBoxLayout;
    lstSteps_ = new QListWidget(this);
    lstSteps_->setObjectName(QStringLiteral("lstConversions"));
    lstSteps_->setSelectionMode(QAbstractItemView::SingleSelection);
    lstSteps_->setProperty("accessibleTag", convstr::kStepList);
    QFont fixed = lstSteps_->font();
    fixed.setFamily(QStringLiteral("monospace"));
    fixed.setStyleHint(QFont::TypeWriter);
    lstSteps_->setFont(fixed);  // the blanks of a step matter and should be seen
    lstSteps_->setMinimumWidth(360);
    middle->addWidget(lstSteps_, 1);

    auto* listButtons = new QVBoxLayout;
    QPushButton* cmdAddBefore = button(this, "cmdAddBefore", convstr::kAddBefore);
    QPushButton* cmdAddAfter = button(this, "cmdAddAfter", convstr::kAddAfter);
    QPushButton* cmdDelete = button(this, "cmdDelete", convstr::kDelete);
    QPushButton* cmdUp = button(this, "cmdUp", 0);
    cmdUp->setProperty("toolTipTag", convstr::kTipUp);
    cmdUp->setIcon(style()->standardIcon(QStyle::SP_ArrowUp));
    QPushButton* cmdDown = button(this, "cmdDown", 0);
    cmdDown->setProperty("toolTipTag", convstr::kTipDown);
    cmdDown->setIcon(style()->standardIcon(QStyle::SP_ArrowDown));
    for (QPushButton* b : {cmdAddBefore, cmdAddAfter, cmdDelete, cmdUp, cmdDown}) {
        b->setAutoDefault(false);
        listButtons->addWidget(b);
    }
    listButtons->addStretch();
    middle->addLayout(listButtons);
    outer->addLayout(middle, 1);

    frStep_ = new QGroupBox(this);
    frStep_->setObjectName(QStringLiteral("frConversion"));
    frStep_->setProperty("tag", convstr::kStepFrame);
    auto* stepLayout = new QGridLayout(frStep_);
    chkUserConversion_ = new QCheckBox(frStep_);
    chkUserConversion_->setObjectName(QStringLiteral("chkUserConversion"));
    chkUserConversion_->setProperty("tag", convstr::kUserConversion);
    auto* lblConversion = new QLabel(frStep_);
    lblConversion->setObjectName(QStringLiteral("lblConversion"));
    lblConversion->setProperty("tag", convstr::kConversion);
    comboConversion_ = editableBox(frStep_, "comboConversion", lblConversion);
    comboConversion_->addItems({QStringLiteral("TXT>ISO"), QStringLiteral("ISO>TXT"),
                                QStringLiteral("TXT>EIA"), QStringLiteral("EIA>TXT"),
                                QStringLiteral("TXT>MGF"), QStringLiteral("MGF>TXT"),
                                QStringLiteral("TXT>TXT")});
    auto* lblParams = new QLabel(frStep_);
    lblParams->setObjectName(QStringLiteral("lblParams"));
    lblParams->setProperty("tag", convstr::kParameters);
    comboParams_ = editableBox(frStep_, "comboParams", lblParams);
    stepLayout->addWidget(chkUserConversion_, 0, 0, 1, 2);
    stepLayout->addWidget(lblConversion, 1, 0);
    stepLayout->addWidget(comboConversion_, 1, 1);
    stepLayout->addWidget(lblParams, 2, 0);
    stepLayout->addWidget(comboParams_, 2, 1);
    stepLayout->setColumnStretch(1, 1);
    outer->addWidget(frStep_);

    auto* bottom = new QHBoxLayout;
    QPushButton* cmdOK = button(this, "cmdOK", convstr::kOk);
    QPushButton* cmdCancel = button(this, "cmdCancel", convstr::kCancel);
    QPushButton* cmdUse = button(this, "cmdUse", convstr::kUse);
    QPushButton* cmdHelp = button(this, "cmdHelp", convstr::kHelp);
    cmdOK->setDefault(true);
    bottom->addStretch();
    for (QPushButton* b : {cmdOK, cmdCancel, cmdUse, cmdHelp}) {
        bottom->addWidget(b);
    }
    outer->addLayout(bottom);

    connect(cmdAddBefore, &QPushButton::clicked, this, &frmConfigDNCConversions::addBefore);
    connect(cmdAddAfter, &QPushButton::clicked, this, &frmConfigDNCConversions::addAfter);
    connect(cmdDelete, &QPushButton::clicked, this, &frmConfigDNCConversions::deleteStep);
    connect(cmdUp, &QPushButton::clicked, this, &frmConfigDNCConversions::moveUp);
    connect(cmdDown, &QPushButton::clicked, this, &frmConfigDNCConversions::moveDown);
    connect(cmdOK, &QPushButton::clicked, this, &frmConfigDNCConversions::ok);
    connect(cmdCancel, &QPushButton::clicked, this, &frmConfigDNCConversions::cancel);
    connect(cmdUse, &QPushButton::clicked, this, &frmConfigDNCConversions::use);
    connect(cmdHelp, &QPushButton::clicked, this, &frmConfigDNCConversions::help);
    connect(lstSteps_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (filling_) {
            return;
        }
        showFields(editor_.select(
            row < 0 ? std::nullopt : std::optional<std::size_t>(static_cast<std::size_t>(row))));
        frStep_->setEnabled(editor_.selection().has_value());
    });
    connect(chkUserConversion_, &QCheckBox::toggled, this, [this] { fieldsChanged(); });
    connect(comboConversion_, &QComboBox::editTextChanged, this, [this] { fieldsChanged(); });
    connect(comboParams_, &QComboBox::editTextChanged, this, [this] { fieldsChanged(); });
}

void frmConfigDNCConversions::ConfigureConversions(const std::filesystem::path& chainFile) {
    chainFile_ = chainFile;
    lblChainFile_->setText(QString::fromStdString(chainFile.string()));
    editor_.load(loadChainFile(chainFile));
    showList();
    show();
    raise();
    activateWindow();
}

// The list shows the editor's steps and selection; the fields follow the selection.
void frmConfigDNCConversions::showList() {
    filling_ = true;
    lstSteps_->clear();
    for (const std::string& step : editor_.steps()) {
        lstSteps_->addItem(q(step));
    }
    filling_ = false;
    showSelection();
}

void frmConfigDNCConversions::showSelection() {
    const auto selected = editor_.selection();
    filling_ = true;
    lstSteps_->setCurrentRow(selected ? static_cast<int>(*selected) : -1);
    if (!selected) {
        lstSteps_->clearSelection();
    }
    filling_ = false;
    showFields(editor_.select(selected));
    frStep_->setEnabled(selected.has_value());
}

void frmConfigDNCConversions::showFields(const StepFields& fields) {
    filling_ = true;
    chkUserConversion_->setChecked(fields.userConversion && editor_.selection().has_value());
    comboConversion_->setEditText(q(fields.conversion));
    comboParams_->setEditText(q(fields.parameters));
    filling_ = false;
}

void frmConfigDNCConversions::fieldsChanged() {
    if (filling_ || !editor_.selection()) {
        return;
    }
    StepFields fields;
    fields.userConversion = chkUserConversion_->isChecked();
    fields.conversion = latin1(comboConversion_->currentText());
    fields.parameters = latin1(comboParams_->currentText());
    const std::size_t index = *editor_.selection();
    switch (editor_.edit(fields)) {
        case ChainEditor::EditResult::Changed:
            lstSteps_->item(static_cast<int>(index))->setText(q(editor_.steps()[index]));
            break;
        case ChainEditor::EditResult::TooLong: {
            const std::size_t length = composeStep(fields).size();
            showFields(editor_.select(index));  // back to the step as it is kept
            dialogs_.tell(this, windowTitle(),
                          programString(convstr::kStepTooLong).arg(static_cast<qulonglong>(length)),
                          OperatorDialogs::Icon::Exclamation);
            break;
        }
        case ChainEditor::EditResult::NothingSelected:
            break;
    }
}

void frmConfigDNCConversions::addBefore() {
    editor_.addBefore();
    showList();
}

void frmConfigDNCConversions::addAfter() {
    editor_.addAfter();
    showList();
}

void frmConfigDNCConversions::deleteStep() {
    editor_.remove();
    showList();
}

void frmConfigDNCConversions::moveUp() {
    editor_.moveUp();
    showList();
}

void frmConfigDNCConversions::moveDown() {
    editor_.moveDown();
    showList();
}

bool frmConfigDNCConversions::save() {
    const comm::Status saved = saveChainFile(chainFile_, editor_.chain());
    if (!saved) {
        dialogs_.tell(this, windowTitle(),
                      programString(convstr::kChainNotSaved) + QLatin1Char('\n') +
                          QString::fromStdString(saved.error().description),
                      OperatorDialogs::Icon::Exclamation);
        return false;
    }
    return true;
}

void frmConfigDNCConversions::ok() {
    if (save()) {
        hide();
    }
}

void frmConfigDNCConversions::use() {
    save();
}

void frmConfigDNCConversions::cancel() {
    hide();
}

void frmConfigDNCConversions::help() {
    dialogs_.openUrl(helpPageUrl({}, convstr::kChainHelpTopic));
}

void frmConfigDNCConversions::closeEvent(QCloseEvent* event) {
    event->ignore();
    cancel();
}

}  // namespace dnc::window
