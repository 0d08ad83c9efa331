// The property page of the line and file settings: port, speed, root directory, leading
// zeros, the F4COPY pause and the seven file-kind extensions.
#pragma once

#include <QStringList>
#include <array>

#include "comm/widgets/PropertyPage.h"

class QLabel;

namespace comm::widgets {

class FERIXCOMMWIDGETS_API ppFerixComm : public PropertyPage {
    Q_OBJECT
public:
    explicit ppFerixComm(QWidget* parent = nullptr);

    void LoadResStrings() override;
    QWidget* invalidField() const override;

    // The entries the lists offer (a control's own value outside them is added when shown).
    static QStringList portEntries();
    static QStringList speedEntries();

protected:
    void fill(const PageValues& first) override;
    void clearFields() override;
    void write(PropertyWriter& target) const override;

private:
    QComboBox* comboCommPort_ = nullptr;
    QComboBox* comboCommSpeed_ = nullptr;
    QLineEdit* txtFerixHomeDir_ = nullptr;
    QCheckBox* chkZerosInName_ = nullptr;
    QLineEdit* txtF4COPYTimeout_ = nullptr;
    std::array<QLineEdit*, kKindExtCount> txtExt_{};
    std::array<QLabel*, 11> labels_{};  // messages 210 to 221 but 213 (the check box's own)
};

}  // namespace comm::widgets
