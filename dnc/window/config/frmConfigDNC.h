// The configuration dialog of one sub net: five tabs of fields, filled from the sub net's
// running control and applied to it in one message after the root directory, the connected
// units' directories, the editor and the numbers were checked. It lives on the GUI thread and
// reaches the control only through the sub net's messages; the apply is one message that runs
// between two exchanges of the line, so a transfer never sees a part of it. Not modal; the
// sub-net window keeps one for its whole life.
#pragma once

#include <QDialog>
#include <QString>
#include <array>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>

#include "comm/FerixComm.h"
#include "dnc/config/ConfigFields.h"
#include "dnc/config/DeviceProbe.h"
#include "dnc/config/SerialDevices.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace dnc {
class ConfigStore;
class SubNet;
}  // namespace dnc

namespace dnc::window {

class OperatorDialogs;

class frmConfigDNC : public QDialog {
    Q_OBJECT
public:
    frmConfigDNC(ConfigStore& store, OperatorDialogs& dialogs, QWidget* parent = nullptr);
    ~frmConfigDNC() override;

    // Keeps the sub net, fills the dialog from its control and shows the dialog.
    void ConfigureFerixComm(SubNet& subNet);
    // Fills the dialog from the control of the kept sub net (the edits are dropped).
    void fill();
    // OK and Use: checks, then hands the fields to the sub net, which applies them in one
    // message as soon as its line stands between two exchanges and raises ConfigChanged. False
    // when a check failed (the operator was told) or the sub net is gone.
    bool apply();

    bool changed() const { return changed_; }
    // The fields as they stand now.
    ConfigFields fields() const;

    // Opens the conversion chain dialog for a unit's chain file (root text + unit text +
    // "In.cnv"/"Out.cnv"); set by the owner.
    std::function<void(const std::filesystem::path& chainFile)> openConversions;
    // Picks a program file (the editor); by default the desktop's file dialog.
    std::function<std::optional<QString>(QWidget* parent, const QString& title,
                                         const QString& start)>
        chooseProgram;
    // Where the port list looks (tests stand in for the system here).
    DeviceAccess* deviceAccess = nullptr;  // null: the system's
    DeviceFolders deviceFolders;
    std::function<std::string()> searchPath;  // the editor's search path; default $PATH

private:
    void build();
    QWidget* buildCommon();
    QWidget* buildPort();
    QWidget* buildDirectories();
    QWidget* buildDnc();
    QWidget* buildHeidenhain();
    void watchEdits();
    void setChanged(bool value);
    void fillFrom(const ConfigFields& f, bool active);
    void fillPortList(int selectedPort, bool active);
    void fillDeviceList();
    void showPortDevice();
    void devicePicked();
    void fillFileTypes(comm::ProtocolEnum protocol);
    void protocolSelected();
    void applyUnitRules();
    comm::ProtocolEnum selectedProtocol() const;
    std::string portDeviceOf(int port) const;
    void browseRoot();
    void browseUnit(int index);
    void browseEditor();
    void checkEditor();
    QWidget* fieldLabelled(int label) const;
    void focusField(QWidget* field);
    void offerUnitFolders(const ConfigFields& f);
    void conversions(int index, bool in);
    void showHelp();
    void tell(const QString& text);
    bool storePortDevices();

    ConfigStore& store_;
    OperatorDialogs& dialogs_;
    SubNet* subNet_ = nullptr;
    bool filling_ = false;
    // The line's stored ticks, shown again when a one-unit protocol is left in the dialog.
    std::array<bool, comm::kUnitCount> storedTicks_{};
    bool ticksOfOneUnit_ = false;
    bool changed_ = false;
    bool active_ = false;
    std::map<int, std::string> devices_;  // edited devices of ports, until applied
    std::map<int, PortState> states_;
    int shownPort_ = 0;

    QTabWidget* tabs_ = nullptr;
    QLineEdit* txtCaption_ = nullptr;
    QComboBox* comboProtocol_ = nullptr;
    QCheckBox* chkAutoFerixLst_ = nullptr;
    QCheckBox* chkAutoFerixLstCont_ = nullptr;
    QLineEdit* txtEditor_ = nullptr;
    QLabel* lblEditorWarning_ = nullptr;
    QComboBox* comboCommPort_ = nullptr;
    QComboBox* comboPortDevice_ = nullptr;
    QLabel* lblPortPermission_ = nullptr;
    QComboBox* comboCommSpeed_ = nullptr;
    QComboBox* comboCommDataBit_ = nullptr;
    QComboBox* comboCommStopBit_ = nullptr;
    QComboBox* comboCommParity_ = nullptr;
    QComboBox* comboCommHandshaking_ = nullptr;
    QLineEdit* txtCommXOnChar_ = nullptr;
    QLineEdit* txtCommXOffChar_ = nullptr;
    QLineEdit* txtFerixHomeDir_ = nullptr;
    std::array<QLineEdit*, comm::kUnitCount> txtFerixDir_{};
    std::array<QLineEdit*, comm::kUnitCount> txtPrefix_{};
    std::array<QCheckBox*, comm::kUnitCount> chkConnected_{};
    std::array<QPushButton*, comm::kUnitCount> cmdChangeFerixDir_{};
    std::array<QPushButton*, comm::kUnitCount> cmdConversionsIn_{};
    std::array<QPushButton*, comm::kUnitCount> cmdConversionsOut_{};
    QCheckBox* chkZerosInName_ = nullptr;
    QCheckBox* chkProtectPrograms_ = nullptr;
    QLineEdit* txtF4COPYTimeout_ = nullptr;
    QLineEdit* txtDNCMaxRepeatNo_ = nullptr;
    std::array<QLineEdit*, comm::kKindExtCount> txtExt_{};
    QCheckBox* chkHeidenhainMaster_ = nullptr;
    QCheckBox* chkHeidenhainCRLF_ = nullptr;
    QComboBox* comboHeidenhainFileType_ = nullptr;
    QPushButton* cmdUse_ = nullptr;
};

}  // namespace dnc::window
