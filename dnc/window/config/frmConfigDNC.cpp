#include "dnc/window/config/frmConfigDNC.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabWidget>

#include "dnc/common/FileChecks.h"
#include "dnc/config/ApplyChecks.h"
#include "dnc/config/ConfigDialogRules.h"
#include "dnc/config/ConfigStore.h"
#include "dnc/config/SubNetConfiguration.h"
#include "dnc/manager/SubNet.h"
#include "dnc/window/HelpPages.h"
#include "dnc/window/OperatorDialogs.h"
#include "dnc/window/config/frmConfigDNCTexts.h"
#include "dnc/window/rules/WindowStrings.h"

namespace dnc::window {

using namespace configtext;

namespace {

QString q(const std::string& text) {
    return QString::fromStdString(text);
}

std::string s(const QString& text) {
    return text.toStdString();
}

std::string lookup(int id) {
    return loc::resString(id);
}

}  // namespace

frmConfigDNC::frmConfigDNC(ConfigStore& store, OperatorDialogs& dialogs, QWidget* parent)
    : QDialog(parent), store_(store), dialogs_(dialogs) {
    build();
    watchEdits();
    setChanged(false);
    chooseProgram = [](QWidget* owner, const QString& title, const QString& start) {
        const QString file = QFileDialog::getOpenFileName(owner, title, start);
        return file.isEmpty() ? std::nullopt : std::optional<QString>(file);
    };
    searchPath = [] { return processSearchPath(); };
}

frmConfigDNC::~frmConfigDNC() = default;

void frmConfigDNC::setChanged(bool value) {
    changed_ = value;
    cmdUse_->setEnabled(value);
}

// ---- filling --------------------------------------------------------------------------------

void frmConfigDNC::ConfigureFerixComm(SubNet& subNet) {
    subNet_ = &subNet;
    fill();
    show();
    raise();
    activateWindow();
}

void frmConfigDNC::fill() {
    if (subNet_ == nullptr || subNet_->closed()) {
        return;
    }
    SubNet* subNet = subNet_;
    const ControlSnapshot snapshot =
        subNet->call<ControlSnapshot>([subNet](comm::ctrlFerixComm& control) {
            if (const SubNetConfiguration* configuration = subNet->configuration()) {
                return readControl(control, *configuration);
            }
            return readControl(control, SubNetConfiguration());
        });
    fillFrom(snapshot.fields, snapshot.active);
}

void frmConfigDNC::fillFrom(const ConfigFields& f, bool active) {
    filling_ = true;
    active_ = active;
    devices_.clear();
    txtCaption_->setText(q(f.caption));
    chkAutoFerixLst_->setChecked(f.autoFerixLst);
    chkAutoFerixLstCont_->setChecked(f.autoFerixLstCont);
    txtEditor_->setText(q(f.editor));
    checkEditor();
    fillDeviceList();
    fillPortList(f.commPort, active);
    comboCommSpeed_->setCurrentText(q(f.commSpeed));
    comboCommDataBit_->setCurrentText(q(f.commDataBit));
    comboCommStopBit_->setCurrentText(q(f.commStopBit));
    comboCommParity_->setCurrentIndex(configdialog::parityIndex(std::string(1, f.commParity)));
    comboCommHandshaking_->setCurrentIndex(f.commHandshaking);
    comboProtocol_->setCurrentIndex(
        configdialog::indexOfData(configdialog::protocolItems(), f.protocol));
    txtCommXOnChar_->setText(q(f.commXOnChar));
    txtCommXOffChar_->setText(q(f.commXOffChar));
    txtFerixHomeDir_->setText(q(f.ferixHomeDir));
    txtF4COPYTimeout_->setText(q(f.f4copyTimeout));
    txtDNCMaxRepeatNo_->setText(q(f.dncMaxRepeatNo));
    for (std::size_t k = 0; k < txtExt_.size(); ++k) {
        txtExt_[k]->setText(q(f.extensions[k]));
    }
    chkZerosInName_->setChecked(f.zerosInName);
    chkProtectPrograms_->setChecked(f.protectPrograms);
    // The protocol of a running line cannot be changed.
    comboProtocol_->setEnabled(!active);
    for (std::size_t i = 0; i < chkConnected_.size(); ++i) {
        txtFerixDir_[i]->setText(q(f.ferixDir[i]));
        txtPrefix_[i]->setText(q(f.prefix[i]));
        chkConnected_[i]->setChecked(f.connected[i]);
    }
    storedTicks_ = f.storedConnected;
    ticksOfOneUnit_ = configdialog::protocolChange(f.protocol).oneUnit;
    chkHeidenhainMaster_->setChecked(f.heidenhainMaster);
    chkHeidenhainCRLF_->setChecked(f.heidenhainCRLF);
    fillFileTypes(f.protocol);
    std::vector<std::string> items;
    for (int i = 0; i < comboHeidenhainFileType_->count(); ++i) {
        items.push_back(s(comboHeidenhainFileType_->itemText(i)));
    }
    const int index = configdialog::fileTypeIndex(items, f.heidenhainFileType);
    if (index >= 0) {
        comboHeidenhainFileType_->setCurrentIndex(index);
    } else {
        comboHeidenhainFileType_->setCurrentIndex(-1);
        comboHeidenhainFileType_->setEditText(q(f.heidenhainFileType));
    }
    applyUnitRules();
    filling_ = false;
    setChanged(false);
}

std::string frmConfigDNC::portDeviceOf(int port) const {
    const auto edited = devices_.find(port);
    return edited != devices_.end() ? edited->second : portDevice(store_, port);
}

void frmConfigDNC::fillPortList(int selectedPort, bool active) {
    const QSignalBlocker quiet(comboCommPort_);
    comboCommPort_->clear();
    states_.clear();
    int last = configdialog::kPortCount;
    // A port beyond the list (set in the file by hand) is kept, not replaced by port 1.
    if (selectedPort > last) {
        last = selectedPort;
    }
    DeviceAccess& access = deviceAccess != nullptr ? *deviceAccess : systemDeviceAccess();
    for (int port = 1; port <= last; ++port) {
        if (port > configdialog::kPortCount && port != selectedPort) {
            continue;
        }
        const std::string device = portDeviceOf(port);
        std::optional<PortState> state;
        if (!active) {
            state = probeDevice(device, access).state;
            states_[port] = *state;
        }
        comboCommPort_->addItem(q(configdialog::portItemText(port, device, state, lookup)), port);
    }
    comboCommPort_->setCurrentIndex(comboCommPort_->findData(selectedPort));
    comboCommPort_->setEnabled(!active);
    comboPortDevice_->setEnabled(!active);
    showPortDevice();
}

void frmConfigDNC::fillDeviceList() {
    const QSignalBlocker quiet(comboPortDevice_);
    comboPortDevice_->clear();
    for (const SerialDevice& device : listSerialDevices(deviceFolders)) {
        comboPortDevice_->addItem(q(device.path));
        if (!device.target.empty()) {
            comboPortDevice_->setItemData(comboPortDevice_->count() - 1, q(device.target),
                                          Qt::ToolTipRole);
        }
    }
}

// The device field shows the device of the port selected in the list.
void frmConfigDNC::showPortDevice() {
    const int port = comboCommPort_->currentData().toInt();
    shownPort_ = port;
    {
        const QSignalBlocker quiet(comboPortDevice_);
        comboPortDevice_->setCurrentIndex(-1);
        comboPortDevice_->setEditText(port > 0 ? q(portDeviceOf(port)) : QString());
    }
    const auto state = states_.find(port);
    lblPortPermission_->setVisible(state != states_.end() &&
                                   state->second == PortState::NoPermission);
}

// A device chosen from the machine's devices or typed: the port's item shows it and its state.
void frmConfigDNC::devicePicked() {
    const int port = shownPort_;
    const std::string device = configdialog::trimmed(s(comboPortDevice_->currentText()));
    if (port <= 0 || device == portDeviceOf(port)) {
        return;
    }
    devices_[port] = device;
    setChanged(true);
    const int index = comboCommPort_->findData(port);
    if (index < 0) {
        return;
    }
    std::optional<PortState> state;
    if (!active_) {
        DeviceAccess& access = deviceAccess != nullptr ? *deviceAccess : systemDeviceAccess();
        state = probeDevice(device, access).state;
        states_[port] = *state;
    }
    comboCommPort_->setItemText(index, q(configdialog::portItemText(port, device, state, lookup)));
    lblPortPermission_->setVisible(state == PortState::NoPermission);
}

void frmConfigDNC::fillFileTypes(comm::ProtocolEnum protocol) {
    const QSignalBlocker quiet(comboHeidenhainFileType_);
    comboHeidenhainFileType_->clear();
    if (protocol == comm::ProtTavro1) {
        for (int id = configdialog::kFileTypeFirst; id <= configdialog::kFileTypeLast; ++id) {
            comboHeidenhainFileType_->addItem(string(id));
        }
    }
}

// ---- the rules of the fields ----------------------------------------------------------------

comm::ProtocolEnum frmConfigDNC::selectedProtocol() const {
    const QVariant data = comboProtocol_->currentData();
    return data.isValid() ? static_cast<comm::ProtocolEnum>(data.toInt()) : comm::ProtDNC;
}

void frmConfigDNC::protocolSelected() {
    setChanged(true);
    const std::string remembered =
        configdialog::firstCharacter(s(comboHeidenhainFileType_->currentText()));
    const comm::ProtocolEnum protocol = selectedProtocol();
    const configdialog::ProtocolChange change = configdialog::protocolChange(protocol);
    filling_ = true;  // the changes below belong to this one edit
    if (change.dataBits) {
        comboCommDataBit_->setCurrentText(q(*change.dataBits));
    }
    if (change.parity) {
        comboCommParity_->setCurrentIndex(
            configdialog::indexOfData(configdialog::parityItems(), *change.parity));
    }
    if (change.stopBits) {
        comboCommStopBit_->setCurrentText(q(*change.stopBits));
    }
    if (change.handshaking) {
        comboCommHandshaking_->setCurrentIndex(*change.handshaking);
    }
    fillFileTypes(protocol);
    {
        const QSignalBlocker quiet(comboHeidenhainFileType_);
        std::vector<std::string> items;
        for (int i = 0; i < comboHeidenhainFileType_->count(); ++i) {
            items.push_back(s(comboHeidenhainFileType_->itemText(i)));
        }
        const int index = configdialog::fileTypeIndex(items, remembered);
        comboHeidenhainFileType_->setCurrentIndex(index);
        if (index < 0) {
            comboHeidenhainFileType_->setEditText(q(remembered));
        }
    }
    if (change.oneUnit) {
        for (std::size_t i = 0; i < chkConnected_.size(); ++i) {
            chkConnected_[i]->setChecked(i == 0);
        }
    } else if (ticksOfOneUnit_) {
        for (std::size_t i = 0; i < chkConnected_.size(); ++i) {
            chkConnected_[i]->setChecked(storedTicks_[i]);
        }
    }
    ticksOfOneUnit_ = change.oneUnit;
    filling_ = false;
    applyUnitRules();
}

void frmConfigDNC::applyUnitRules() {
    std::array<bool, comm::kUnitCount> connected{};
    for (std::size_t i = 0; i < connected.size(); ++i) {
        connected[i] = chkConnected_[i]->isChecked();
    }
    const auto units = configdialog::unitRules(selectedProtocol(), connected);
    for (std::size_t i = 0; i < units.size(); ++i) {
        chkConnected_[i]->setEnabled(units[i].connectedBox);
        for (QWidget* w :
             std::initializer_list<QWidget*>{txtFerixDir_[i], cmdChangeFerixDir_[i], txtPrefix_[i],
                                             cmdConversionsIn_[i], cmdConversionsOut_[i]}) {
            w->setEnabled(units[i].fields);
        }
    }
}

ConfigFields frmConfigDNC::fields() const {
    ConfigFields f;
    f.caption = s(txtCaption_->text());
    f.protocol = selectedProtocol();
    f.autoFerixLst = chkAutoFerixLst_->isChecked();
    f.autoFerixLstCont = chkAutoFerixLstCont_->isChecked();
    f.editor = s(txtEditor_->text());
    f.commPort = comboCommPort_->currentData().isValid() ? comboCommPort_->currentData().toInt()
                                                         : comboCommPort_->currentIndex() + 1;
    f.commSpeed = s(comboCommSpeed_->currentText());
    f.commDataBit = s(comboCommDataBit_->currentText());
    f.commStopBit = s(comboCommStopBit_->currentText());
    const QVariant parity = comboCommParity_->currentData();
    f.commParity = parity.isValid() ? static_cast<char>(parity.toInt()) : 'N';
    f.commHandshaking = std::max(0, comboCommHandshaking_->currentIndex());
    f.commXOnChar = s(txtCommXOnChar_->text());
    f.commXOffChar = s(txtCommXOffChar_->text());
    f.ferixHomeDir = s(txtFerixHomeDir_->text());
    for (std::size_t i = 0; i < chkConnected_.size(); ++i) {
        f.ferixDir[i] = s(txtFerixDir_[i]->text());
        f.prefix[i] = s(txtPrefix_[i]->text());
        f.connected[i] = chkConnected_[i]->isChecked();
    }
    f.zerosInName = chkZerosInName_->isChecked();
    f.protectPrograms = chkProtectPrograms_->isChecked();
    f.f4copyTimeout = s(txtF4COPYTimeout_->text());
    f.dncMaxRepeatNo = s(txtDNCMaxRepeatNo_->text());
    for (std::size_t k = 0; k < txtExt_.size(); ++k) {
        f.extensions[k] = s(txtExt_[k]->text());
    }
    f.heidenhainMaster = chkHeidenhainMaster_->isChecked();
    f.heidenhainCRLF = chkHeidenhainCRLF_->isChecked();
    f.heidenhainFileType = s(comboHeidenhainFileType_->currentText());
    return f;
}

// ---- applying -------------------------------------------------------------------------------

QWidget* frmConfigDNC::fieldLabelled(int label) const {
    const QString caption = string(label);
    for (QLabel* l : findChildren<QLabel*>()) {
        if (l->text() == caption && l->buddy() != nullptr) {
            return l->buddy();
        }
    }
    return nullptr;
}

// The refused field is shown, on its tab, with the focus in it.
void frmConfigDNC::focusField(QWidget* field) {
    if (field == nullptr) {
        return;
    }
    for (QWidget* w = field; w != nullptr && w != this; w = w->parentWidget()) {
        if (const int tab = tabs_->indexOf(w); tab >= 0) {
            tabs_->setCurrentIndex(tab);
            break;
        }
    }
    field->setFocus(Qt::OtherFocusReason);
}

// A connected unit's folder that is not there (under a root that is) is offered for creation.
void frmConfigDNC::offerUnitFolders(const ConfigFields& f) {
    const std::string root = configdialog::trimmed(f.ferixHomeDir);
    if (!DirectoryExists(root)) {
        return;
    }
    for (int n = 1; n <= comm::kUnitCount; ++n) {
        const auto i = static_cast<std::size_t>(n - 1);
        const std::string folder = root + configdialog::trimmed(f.ferixDir[i]);
        if (!f.connected[i] || configdialog::trimmed(f.ferixDir[i]).empty() ||
            DirectoryExists(folder)) {
            continue;
        }
        const QString question = string(configdialog::kUnitMissingStart) + QString::number(n) +
                                 QLatin1Char(' ') + string(configdialog::kUnitMissingEnd) +
                                 QStringLiteral("\n(") + q(folder) + QStringLiteral(")\n\n") +
                                 string(kCreateFolder);
        if (!dialogs_.ask(this, string(kCaption), question)) {
            focusField(txtFerixDir_[i]);
            return;
        }
        std::error_code ec;
        std::filesystem::create_directories(folder, ec);
    }
}

void frmConfigDNC::checkEditor() {
    if (!searchPath) {
        return;
    }
    const auto problem = configdialog::editorProblem(s(txtEditor_->text()), searchPath(), lookup);
    lblEditorWarning_->setText(problem ? q(*problem) : QString());
    lblEditorWarning_->setVisible(problem.has_value());
    txtEditor_->setAccessibleDescription(lblEditorWarning_->text());
}

void frmConfigDNC::tell(const QString& text) {
    dialogs_.tell(this, string(kCaption), text, OperatorDialogs::Icon::Information);
}

bool frmConfigDNC::apply() {
    if (subNet_ == nullptr || subNet_->closed()) {
        return false;
    }
    const ConfigFields f = fields();
    ConfigNumbers numbers;
    if (const auto refusal = readNumbers(f, numbers)) {
        tell(string(refusal->field) + QLatin1Char(' ') + q(refusal->message));
        focusField(fieldLabelled(refusal->field));
        return false;
    }
    for (const auto& [port, device] : devices_) {
        if (const auto message = refusal("Ports", "1", device)) {
            tell(QStringLiteral("Com %1: ").arg(port) + string(kLabelPortDevice) +
                 QLatin1Char(' ') + q(*message));
            focusField(comboPortDevice_);
            return false;
        }
    }
    offerUnitFolders(f);
    if (const auto problem = configdialog::applyProblem(f, searchPath(), lookup)) {
        tell(q(*problem));
        focusField(txtFerixHomeDir_);
        return false;
    }
    if (!storePortDevices()) {
        tell(string(kPortsNotStored));
        return false;
    }
    SubNet* subNet = subNet_;
    // One message, run between two exchanges of the line: a transfer never sees a part of the
    // new configuration, and the port is never reframed under it. ConfigChanged tells the
    // window when it is in place.
    subNet->postChange([subNet, f, numbers](comm::ctrlFerixComm& control) {
        if (SubNetConfiguration* configuration = subNet->configuration()) {
            (void)applyToControl(f, numbers, control, *configuration);
        }
    });
    setChanged(false);
    return true;
}

bool frmConfigDNC::storePortDevices() {
    ConfigStore::Values values;
    for (const auto& [port, device] : devices_) {
        if (device != portDevice(store_, port)) {
            values.emplace_back(std::to_string(port), device);
        }
    }
    if (!values.empty() && !store_.write("Ports", values)) {
        return false;
    }
    devices_.clear();
    return true;
}

// ---- browse buttons, conversions, help -----------------------------------------------------

void frmConfigDNC::browseRoot() {
    const auto chosen =
        dialogs_.chooseDirectory(this, string(kSelectDirectory), txtFerixHomeDir_->text());
    if (chosen) {
        txtFerixHomeDir_->setText(q(configdialog::rootDirectoryText(s(*chosen))));
        setChanged(true);
    }
}

void frmConfigDNC::browseUnit(int index) {
    const std::string root = configdialog::trimmed(s(txtFerixHomeDir_->text()));
    const auto i = static_cast<std::size_t>(index);
    const auto chosen =
        dialogs_.chooseDirectory(this, string(kSelectDirectory),
                                 q(root + configdialog::trimmed(s(txtFerixDir_[i]->text()))));
    if (!chosen) {
        return;
    }
    const auto text = configdialog::unitDirectoryText(root, s(*chosen));
    if (!text) {
        tell(string(kOutsideRoot) + QStringLiteral("\n(") + *chosen + QLatin1Char(')'));
        return;
    }
    txtFerixDir_[i]->setText(q(*text));
    setChanged(true);
}

void frmConfigDNC::browseEditor() {
    const QString current = txtEditor_->text().trimmed();
    const auto found = findOnPath(s(current), searchPath());
    const auto chosen = chooseProgram(this, string(kSelectEditor), found ? q(*found) : current);
    if (chosen) {
        txtEditor_->setText(*chosen);
        setChanged(true);
    }
}

void frmConfigDNC::conversions(int index, bool in) {
    if (!openConversions) {
        return;
    }
    const auto i = static_cast<std::size_t>(index);
    openConversions(
        configdialog::chainFilePath(s(txtFerixHomeDir_->text()), s(txtFerixDir_[i]->text()),
                                    in ? configdialog::Chain::In : configdialog::Chain::Out));
}

void frmConfigDNC::showHelp() {
    const QUrl page = helpPageUrl({}, kHelpTopic);
    if (page.isEmpty()) {
        tell(string(str::kHelpMissing));
    } else if (!dialogs_.openUrl(page)) {
        tell(string(str::kBrowserFailed) + QLatin1Char('\n') + page.toString());
    }
}

}  // namespace dnc::window
