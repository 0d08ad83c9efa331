// The editor of one conversion chain of a unit ("In.cnv" or "Out.cnv" in its unit directory):
// the steps in order, the fields of the selected step, and the list operations. Not modal; the
// edited list lives only here until OK or Use writes it.
#pragma once

#include <QDialog>
#include <filesystem>

#include "dnc/config/ChainEditor.h"
#include "dnc/window/OperatorDialogs.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QListWidget;

namespace dnc::window {

class frmConfigDNCConversions : public QDialog {
    Q_OBJECT
public:
    explicit frmConfigDNCConversions(OperatorDialogs& dialogs, QWidget* parent = nullptr);

    // Remembers the chain file, loads its steps (a missing file gives an empty chain) and shows
    // the dialog.
    void ConfigureConversions(const std::filesystem::path& chainFile);

    const std::filesystem::path& chainFile() const { return chainFile_; }
    const ChainEditor& editor() const { return editor_; }

    // The buttons' operations.
    void addBefore();
    void addAfter();
    void deleteStep();
    void moveUp();
    void moveDown();
    // Writes the list to the chain file; false (after telling the operator) when it failed.
    bool save();
    void ok();
    void use();
    void cancel();
    void help();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void build();
    void showList();
    void showSelection();
    void fieldsChanged();
    void showFields(const StepFields& fields);

    OperatorDialogs& dialogs_;
    ChainEditor editor_;
    std::filesystem::path chainFile_;
    bool filling_ = false;

    QListWidget* lstSteps_ = nullptr;
    QLabel* lblChainFile_ = nullptr;
    QGroupBox* frStep_ = nullptr;
    QCheckBox* chkUserConversion_ = nullptr;
    QComboBox* comboConversion_ = nullptr;
    QComboBox* comboParams_ = nullptr;
};

}  // namespace dnc::window
