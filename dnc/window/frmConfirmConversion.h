// The question before an include or exclude: the new base name (one file) or "*" (several),
// the kind (include) or extension (exclude) of the targets, and whether to skip the chain.
// Modal; every showing starts as cancelled until the operator presses OK.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "dnc/window/rules/ConversionChoices.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

namespace dnc::window {

class frmConfirmConversion : public QDialog {
    Q_OBJECT
public:
    explicit frmConfirmConversion(QWidget* parent = nullptr);

    // Prepare the dialog for the selected files.
    void prepareInclude(const std::vector<std::string>& files,
                        const std::vector<KindChoice>& kinds);
    void prepareExclude(const std::vector<std::string>& files,
                        const std::vector<std::string>& extensions, const std::string& preset);

    // Shows the dialog modally; true when the operator left it with OK.
    bool confirm();

    bool Cancelled() const { return cancelled_; }
    std::string baseName() const;
    std::string extension() const;
    bool withoutConversion() const;

private:
    void prepare(const std::vector<std::string>& files, bool include);

    bool cancelled_ = true;
    bool include_ = true;
    QLabel* lblInclude_ = nullptr;
    QLabel* lblExclude_ = nullptr;
    QLineEdit* txtName_ = nullptr;
    QLabel* lblFileType_ = nullptr;
    QLabel* lblExtension_ = nullptr;
    QComboBox* comboExtensionIn_ = nullptr;
    QComboBox* comboExtensionOut_ = nullptr;
    QCheckBox* chkWithOutConversion_ = nullptr;
};

}  // namespace dnc::window
