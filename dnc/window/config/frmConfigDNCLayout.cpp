// The fields of the configuration dialog and their places on the five tabs.
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <climits>

#include "dnc/config/ApplyChecks.h"
#include "dnc/config/ConfigDialogRules.h"
#include "dnc/window/config/frmConfigDNC.h"
#include "dnc/window/config/frmConfigDNCTexts.h"

namespace dnc::window {

using namespace configtext;

namespace {

template <typename T>
T* named(QWidget* parent, const QString& name) {
    auto* w = new T(parent);
    w->setObjectName(name);
    return w;
}

QLabel* labelFor(QWidget* parent, int text, QWidget* buddy) {
    auto* l = new QLabel(string(text), parent);
    l->setObjectName(QStringLiteral("lbl") + buddy->objectName());
    l->setBuddy(buddy);
    return l;
}

QCheckBox* check(QWidget* parent, const char* name, int text) {
    auto* box = named<QCheckBox>(parent, QString::fromLatin1(name));
    box->setText(string(text));
    return box;
}

QPushButton* push(QWidget* parent, const QString& name, int text) {
    auto* b = named<QPushButton>(parent, name);
    b->setText(string(text));
    b->setAutoDefault(false);
    return b;
}

QString indexed(const char* stem, int index) {
    return QString::fromLatin1(stem) + QString::number(index);
}

// A caption as a name: without its access key and closing colon.
QString plain(QString text) {
    text.remove(QLatin1Char('&'));
    text = text.trimmed();
    if (text.endsWith(QLatin1Char(':'))) {
        text.chop(1);
    }
    while (text.endsWith(QLatin1Char('.'))) {
        text.chop(1);
    }
    return text;
}

// Buttons that read alike on the screen ("Browse...", "In") are told apart by what they act on.
void nameFor(QPushButton* button, const QString& what) {
    button->setAccessibleName(plain(button->text()) + QLatin1Char(' ') + what);
}

}  // namespace

void frmConfigDNC::build() {
    setObjectName(QStringLiteral("frmConfigDNC"));
    setWindowTitle(string(kCaption));
    auto* outer = new QVBoxLayout(this);
    tabs_ = named<QTabWidget>(this, QStringLiteral("tabs"));
    tabs_->addTab(buildCommon(), string(kTabCommon));
    tabs_->addTab(buildPort(), string(kTabPort));
    tabs_->addTab(buildDirectories(), string(kTabDirectories));
    tabs_->addTab(buildDnc(), string(kTabDnc));
    tabs_->addTab(buildHeidenhain(), string(kTabHeidenhain));
    outer->addWidget(tabs_, 1);

    auto* buttons = new QHBoxLayout;
    QPushButton* help = push(this, QStringLiteral("cmdHelp"), kHelp);
    QPushButton* ok = push(this, QStringLiteral("cmdOK"), kOK);
    QPushButton* cancel = push(this, QStringLiteral("cmdCancel"), kCancel);
    cmdUse_ = push(this, QStringLiteral("cmdUse"), kUse);
    ok->setDefault(true);
    buttons->addWidget(help);
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    buttons->addWidget(cmdUse_);
    outer->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, [this] {
        if (apply()) {
            hide();
        }
    });
    connect(cmdUse_, &QPushButton::clicked, this, [this] { (void)apply(); });
    connect(cancel, &QPushButton::clicked, this, &QWidget::hide);
    connect(help, &QPushButton::clicked, this, &frmConfigDNC::showHelp);
    // A field is named by its label; a screen reader would name an editable list by its value.
    for (QLabel* label : findChildren<QLabel*>()) {
        if (QWidget* field = label->buddy();
            field != nullptr && field->accessibleName().isEmpty()) {
            field->setAccessibleName(plain(label->text()));
        }
    }
}

QWidget* frmConfigDNC::buildCommon() {
    auto* frame = named<QWidget>(this, QStringLiteral("frCommon"));
    auto* form = new QFormLayout(frame);
    txtCaption_ = named<QLineEdit>(frame, QStringLiteral("txtCaption"));
    form->addRow(labelFor(frame, kLabelCaption, txtCaption_), txtCaption_);
    comboProtocol_ = named<QComboBox>(frame, QStringLiteral("comboProtocol"));
    for (const configdialog::ListItem& item : configdialog::protocolItems()) {
        comboProtocol_->addItem(QString::fromUtf8(item.text), item.data);
    }
    form->addRow(labelFor(frame, kLabelProtocol, comboProtocol_), comboProtocol_);
    chkAutoFerixLst_ = check(frame, "chkAutoFerixLst", kLabelAutoFerixLst);
    chkAutoFerixLstCont_ = check(frame, "chkAutoFerixLstCont", kLabelAutoFerixLstCont);
    form->addRow(chkAutoFerixLst_);
    form->addRow(chkAutoFerixLstCont_);
    txtEditor_ = named<QLineEdit>(frame, QStringLiteral("txtEditor"));
    auto* editorRow = new QHBoxLayout;
    editorRow->addWidget(txtEditor_, 1);
    QPushButton* browse = push(frame, QStringLiteral("cmdChangeEditor"), kBrowse);
    editorRow->addWidget(browse);
    nameFor(browse, plain(string(kLabelEditor)));
    form->addRow(labelFor(frame, kLabelEditor, txtEditor_), editorRow);
    // An editor that is not found is said beside the field; the settings apply all the same.
    lblEditorWarning_ = named<QLabel>(frame, QStringLiteral("lblEditorWarning"));
    lblEditorWarning_->setWordWrap(true);
    lblEditorWarning_->hide();
    form->addRow(lblEditorWarning_);
    connect(txtEditor_, &QLineEdit::textChanged, this, &frmConfigDNC::checkEditor);
    connect(browse, &QPushButton::clicked, this, &frmConfigDNC::browseEditor);
    connect(comboProtocol_, &QComboBox::currentIndexChanged, this, [this] {
        if (!filling_) {
            protocolSelected();
        }
    });
    return frame;
}

QWidget* frmConfigDNC::buildPort() {
    auto* frame = named<QWidget>(this, QStringLiteral("frPort"));
    auto* form = new QFormLayout(frame);
    comboCommPort_ = named<QComboBox>(frame, QStringLiteral("comboCommPort"));
    form->addRow(labelFor(frame, kLabelPort, comboCommPort_), comboCommPort_);
    comboPortDevice_ = named<QComboBox>(frame, QStringLiteral("comboPortDevice"));
    comboPortDevice_->setEditable(true);
    comboPortDevice_->setInsertPolicy(QComboBox::NoInsert);
    comboPortDevice_->setToolTip(string(kPortDeviceTip));
    form->addRow(labelFor(frame, kLabelPortDevice, comboPortDevice_), comboPortDevice_);
    lblPortPermission_ = named<QLabel>(frame, QStringLiteral("lblPortPermission"));
    lblPortPermission_->setText(string(configdialog::kPortPermissionHint));
    lblPortPermission_->setWordWrap(true);
    lblPortPermission_->hide();
    form->addRow(lblPortPermission_);

    comboCommSpeed_ = named<QComboBox>(frame, QStringLiteral("comboCommSpeed"));
    comboCommSpeed_->setEditable(true);
    comboCommSpeed_->setInsertPolicy(QComboBox::NoInsert);
    for (const char* speed : configdialog::speedItems()) {
        comboCommSpeed_->addItem(QString::fromLatin1(speed));
    }
    form->addRow(labelFor(frame, kLabelSpeed, comboCommSpeed_), comboCommSpeed_);
    comboCommDataBit_ = named<QComboBox>(frame, QStringLiteral("comboCommDataBit"));
    for (const char* bits : configdialog::dataBitItems()) {
        comboCommDataBit_->addItem(QString::fromLatin1(bits));
    }
    form->addRow(labelFor(frame, kLabelDataBits, comboCommDataBit_), comboCommDataBit_);
    comboCommStopBit_ = named<QComboBox>(frame, QStringLiteral("comboCommStopBit"));
    for (const char* bits : configdialog::stopBitItems()) {
        comboCommStopBit_->addItem(QString::fromLatin1(bits));
    }
    form->addRow(labelFor(frame, kLabelStopBits, comboCommStopBit_), comboCommStopBit_);
    comboCommParity_ = named<QComboBox>(frame, QStringLiteral("comboCommParity"));
    for (const configdialog::ListItem& item : configdialog::parityItems()) {
        comboCommParity_->addItem(QString::fromUtf8(item.text), item.data);
    }
    form->addRow(labelFor(frame, kLabelParity, comboCommParity_), comboCommParity_);
    comboCommHandshaking_ = named<QComboBox>(frame, QStringLiteral("comboCommHandshaking"));
    for (const char* item : configdialog::handshakingItems()) {
        comboCommHandshaking_->addItem(QString::fromUtf8(item));
    }
    form->addRow(labelFor(frame, kLabelHandshaking, comboCommHandshaking_), comboCommHandshaking_);
    txtCommXOnChar_ = named<QLineEdit>(frame, QStringLiteral("txtCommXOnChar"));
    form->addRow(labelFor(frame, fieldlabel::XOn, txtCommXOnChar_), txtCommXOnChar_);
    txtCommXOffChar_ = named<QLineEdit>(frame, QStringLiteral("txtCommXOffChar"));
    form->addRow(labelFor(frame, fieldlabel::XOff, txtCommXOffChar_), txtCommXOffChar_);

    // Digits only as one types; the range itself is checked when the fields are applied.
    constexpr int kLargestCharacter = 255;
    for (QLineEdit* character : {txtCommXOnChar_, txtCommXOffChar_}) {
        character->setValidator(new QIntValidator(0, kLargestCharacter, character));
    }
    comboCommSpeed_->setValidator(new QIntValidator(1, INT_MAX, comboCommSpeed_));
    connect(comboCommPort_, &QComboBox::currentIndexChanged, this, [this] { showPortDevice(); });
    connect(comboPortDevice_, &QComboBox::activated, this, [this] { devicePicked(); });
    connect(comboPortDevice_->lineEdit(), &QLineEdit::editingFinished, this,
            [this] { devicePicked(); });
    return frame;
}

QWidget* frmConfigDNC::buildDirectories() {
    auto* frame = named<QWidget>(this, QStringLiteral("frDirectories"));
    auto* outer = new QVBoxLayout(frame);
    auto* rootRow = new QHBoxLayout;
    txtFerixHomeDir_ = named<QLineEdit>(frame, QStringLiteral("txtFerixHomeDir"));
    rootRow->addWidget(labelFor(frame, kLabelRoot, txtFerixHomeDir_));
    rootRow->addWidget(txtFerixHomeDir_, 1);
    QPushButton* browseRoot = push(frame, QStringLiteral("cmdChangeFerixHomeDir"), kBrowse);
    rootRow->addWidget(browseRoot);
    nameFor(browseRoot, plain(string(kLabelRoot)));
    outer->addLayout(rootRow);
    connect(browseRoot, &QPushButton::clicked, this, &frmConfigDNC::browseRoot);

    auto* grid = new QGridLayout;
    int column = 0;
    for (const int heading :
         {kHeadUnit, kHeadConnected, kHeadDirectory, 0, kHeadPrefix, kHeadConversions}) {
        if (heading != 0) {
            grid->addWidget(new QLabel(string(heading), frame), 0, column, 1,
                            heading == kHeadConversions ? 2 : 1);
        }
        ++column;
    }
    for (int i = 0; i < comm::kUnitCount; ++i) {
        const int row = i + 1;
        grid->addWidget(new QLabel(QString::number(i + 1), frame), row, 0, Qt::AlignRight);
        chkConnected_[i] = named<QCheckBox>(frame, indexed("chkConnected", i));
        chkConnected_[i]->setAccessibleName(string(kHeadConnected) + QLatin1Char(' ') +
                                            QString::number(i + 1));
        grid->addWidget(chkConnected_[i], row, 1, Qt::AlignCenter);
        txtFerixDir_[i] = named<QLineEdit>(frame, indexed("txtFerixDir", i));
        txtFerixDir_[i]->setAccessibleName(string(kHeadDirectory) + QLatin1Char(' ') +
                                           QString::number(i + 1));
        grid->addWidget(txtFerixDir_[i], row, 2);
        cmdChangeFerixDir_[i] = push(frame, indexed("cmdChangeFerixDir", i), kBrowse);
        grid->addWidget(cmdChangeFerixDir_[i], row, 3);
        nameFor(cmdChangeFerixDir_[i],
                string(kHeadDirectory) + QLatin1Char(' ') + QString::number(i + 1));
        txtPrefix_[i] = named<QLineEdit>(frame, indexed("txtPrefix", i));
        txtPrefix_[i]->setMaxLength(3);
        txtPrefix_[i]->setFixedWidth(
            txtPrefix_[i]->fontMetrics().horizontalAdvance(QStringLiteral("WWWW")) + 12);
        txtPrefix_[i]->setAccessibleName(string(kHeadPrefix) + QLatin1Char(' ') +
                                         QString::number(i + 1));
        grid->addWidget(txtPrefix_[i], row, 4);
        cmdConversionsIn_[i] = push(frame, indexed("cmdConversionsIn", i), kConversionsIn);
        cmdConversionsOut_[i] = push(frame, indexed("cmdConversionsOut", i), kConversionsOut);
        grid->addWidget(cmdConversionsIn_[i], row, 5);
        grid->addWidget(cmdConversionsOut_[i], row, 6);
        for (QPushButton* chain : {cmdConversionsIn_[i], cmdConversionsOut_[i]}) {
            chain->setAccessibleName(string(kHeadConversions) + QLatin1Char(' ') +
                                     plain(chain->text()) + QLatin1Char(' ') +
                                     QString::number(i + 1));
        }
        connect(chkConnected_[i], &QCheckBox::toggled, this, [this] {
            if (!filling_) {
                applyUnitRules();
            }
        });
        connect(cmdChangeFerixDir_[i], &QPushButton::clicked, this, [this, i] { browseUnit(i); });
        connect(cmdConversionsIn_[i], &QPushButton::clicked, this,
                [this, i] { conversions(i, true); });
        connect(cmdConversionsOut_[i], &QPushButton::clicked, this,
                [this, i] { conversions(i, false); });
    }
    grid->setColumnStretch(2, 1);
    outer->addLayout(grid);
    chkProtectPrograms_ = check(frame, "chkProtectPrograms", kLabelProtectPrograms);
    outer->addWidget(chkProtectPrograms_);
    outer->addStretch(1);
    return frame;
}

QWidget* frmConfigDNC::buildDnc() {
    auto* frame = named<QWidget>(this, QStringLiteral("frDNC"));
    auto* outer = new QVBoxLayout(frame);
    auto* form = new QFormLayout;
    chkZerosInName_ = check(frame, "chkZerosInName", kLabelZerosInName);
    form->addRow(chkZerosInName_);
    txtF4COPYTimeout_ = named<QLineEdit>(frame, QStringLiteral("txtF4COPYTimeout"));
    form->addRow(labelFor(frame, fieldlabel::Timeout, txtF4COPYTimeout_), txtF4COPYTimeout_);
    txtDNCMaxRepeatNo_ = named<QLineEdit>(frame, QStringLiteral("txtDNCMaxRepeatNo"));
    // No negative time-out or repeat count can be typed.
    constexpr int kLargestCount = 32767;
    for (QLineEdit* count : {txtF4COPYTimeout_, txtDNCMaxRepeatNo_}) {
        count->setValidator(new QIntValidator(0, kLargestCount, count));
    }
    form->addRow(labelFor(frame, fieldlabel::Repeats, txtDNCMaxRepeatNo_), txtDNCMaxRepeatNo_);
    outer->addLayout(form);
    auto* box = named<QGroupBox>(frame, QStringLiteral("frExtensions"));
    box->setTitle(string(kLabelExtensions));
    auto* extensions = new QFormLayout(box);
    static const char* const names[comm::kKindExtCount] = {
        "txtSourceTextExt", "txtWorkTextExt",   "txtListExt",    "txtSourceMacroExt",
        "txtWorkMacroExt",  "txtSourceDiagExt", "txtWorkDiagExt"};
    for (int k = 0; k < comm::kKindExtCount; ++k) {
        txtExt_[k] = named<QLineEdit>(box, QString::fromLatin1(names[k]));
        extensions->addRow(labelFor(box, kLabelFirstExtension + k, txtExt_[k]), txtExt_[k]);
    }
    outer->addWidget(box);
    outer->addStretch(1);
    return frame;
}

QWidget* frmConfigDNC::buildHeidenhain() {
    auto* frame = named<QWidget>(this, QStringLiteral("frHeidenhain"));
    auto* form = new QFormLayout(frame);
    chkHeidenhainMaster_ = check(frame, "chkHeidenhainMaster", kLabelHeidenhainMaster);
    chkHeidenhainCRLF_ = check(frame, "chkHeidenhainCRLF", kLabelHeidenhainCRLF);
    form->addRow(chkHeidenhainMaster_);
    form->addRow(chkHeidenhainCRLF_);
    comboHeidenhainFileType_ = named<QComboBox>(frame, QStringLiteral("comboHeidenhainFileType"));
    comboHeidenhainFileType_->setEditable(true);
    comboHeidenhainFileType_->setInsertPolicy(QComboBox::NoInsert);
    comboHeidenhainFileType_->setMinimumContentsLength(40);
    form->addRow(labelFor(frame, kLabelFileType, comboHeidenhainFileType_),
                 comboHeidenhainFileType_);
    return frame;
}

// Every edit of any field sets the changed flag.
void frmConfigDNC::watchEdits() {
    auto mark = [this] {
        if (!filling_) {
            setChanged(true);
        }
    };
    for (QLineEdit* edit : findChildren<QLineEdit*>()) {
        connect(edit, &QLineEdit::textChanged, this, mark);
    }
    for (QComboBox* box : findChildren<QComboBox*>()) {
        connect(box, &QComboBox::currentIndexChanged, this, mark);
        if (box->isEditable()) {
            connect(box, &QComboBox::editTextChanged, this, mark);
        }
    }
    for (QCheckBox* box : findChildren<QCheckBox*>()) {
        connect(box, &QCheckBox::toggled, this, mark);
    }
}

}  // namespace dnc::window
