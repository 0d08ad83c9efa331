// The property page of the unit table: for units 1 to 10 the unit directory, the prefix and
// whether the unit is connected.
#pragma once

#include <array>

#include "comm/widgets/PropertyPage.h"

class QLabel;

namespace comm::widgets {

class FERIXCOMMWIDGETS_API ppFerixFerixes : public PropertyPage {
    Q_OBJECT
public:
    explicit ppFerixFerixes(QWidget* parent = nullptr);

    void LoadResStrings() override;

protected:
    void fill(const PageValues& first) override;
    void clearFields() override;
    void write(PropertyWriter& target) const override;

private:
    struct Row {
        QLabel* label = nullptr;
        QLineEdit* ferixDir = nullptr;
        QLineEdit* prefix = nullptr;
        QCheckBox* connected = nullptr;
    };

    std::array<QLabel*, 3> headers_{};
    std::array<Row, kUnitCount> rows_{};
};

}  // namespace comm::widgets
