#include "comm/widgets/ppFerixFerixes.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

#include "comm/widgets/PageText.h"

namespace comm::widgets {

namespace {

constexpr int kCaption = 301;
constexpr int kFirstHeader = 310;  // directory, prefix, connected
constexpr int kFirstRow = 313;     // "Ferix &1:" .. "Ferix &10:"

}  // namespace

ppFerixFerixes::ppFerixFerixes(QWidget* parent) : PropertyPage(parent) {
    setObjectName(QStringLiteral("ppFerixFerixes"));
    auto* grid = new QGridLayout(this);
    static constexpr std::array<const char*, 3> kHeaderNames = {"lblDirectory", "lblPrefix",
                                                                "lblConnected"};
    for (std::size_t c = 0; c < headers_.size(); ++c) {
        headers_[c] = new QLabel(this);
        headers_[c]->setObjectName(QLatin1String(kHeaderNames[c]));
        grid->addWidget(headers_[c], 0, static_cast<int>(c) + 1);
    }
    for (int n = 1; n <= kUnitCount; ++n) {
        Row& row = rows_[static_cast<std::size_t>(n - 1)];
        const QString number = QString::number(n);
        row.label = new QLabel(this);
        row.label->setObjectName(QStringLiteral("lblFerix") + number);
        row.ferixDir = new QLineEdit(this);
        row.ferixDir->setObjectName(QStringLiteral("txtFerixDir") + number);
        row.ferixDir->setMinimumWidth(row.ferixDir->fontMetrics().averageCharWidth() * 30);
        row.label->setBuddy(row.ferixDir);
        row.prefix = new QLineEdit(this);
        row.prefix->setObjectName(QStringLiteral("txtPrefix") + number);
        row.prefix->setMaximumWidth(row.prefix->fontMetrics().horizontalAdvance(QLatin1Char('W')) *
                                    6);
        row.connected = new QCheckBox(this);
        row.connected->setObjectName(QStringLiteral("chkConnected") + number);
        grid->addWidget(row.label, n, 0);
        grid->addWidget(row.ferixDir, n, 1);
        grid->addWidget(row.prefix, n, 2);
        grid->addWidget(row.connected, n, 3, Qt::AlignHCenter);
        watch(row.ferixDir);
        watch(row.prefix);
        watch(row.connected);
    }
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(kUnitCount + 1, 1);
    setSelection({});
    LoadResStrings();
}

void ppFerixFerixes::LoadResStrings() {
    setWindowTitle(pageText(kCaption));
    for (std::size_t c = 0; c < headers_.size(); ++c) {
        headers_[c]->setText(pageText(kFirstHeader + static_cast<int>(c)));
    }
    for (std::size_t r = 0; r < rows_.size(); ++r) {
        const QString caption = pageText(kFirstRow + static_cast<int>(r));
        rows_[r].label->setText(caption);
        // The check box has no text of its own: its row and column name it.
        QString plain = caption;
        plain.remove(QLatin1Char('&'));
        rows_[r].prefix->setAccessibleName(plain + QLatin1Char(' ') + headers_[1]->text());
        rows_[r].connected->setAccessibleName(plain + QLatin1Char(' ') + headers_[2]->text());
    }
}

void ppFerixFerixes::fill(const PageValues& first) {
    for (std::size_t r = 0; r < rows_.size(); ++r) {
        rows_[r].ferixDir->setText(QString::fromStdString(first.units[r].ferixDir));
        rows_[r].prefix->setText(QString::fromStdString(first.units[r].prefix));
        rows_[r].connected->setChecked(first.units[r].connected);
    }
}

void ppFerixFerixes::clearFields() {
    for (Row& row : rows_) {
        row.ferixDir->clear();
        row.prefix->clear();
        row.connected->setChecked(false);
    }
}

void ppFerixFerixes::write(PropertyWriter& target) const {
    for (int n = 1; n <= kUnitCount; ++n) {
        const Row& row = rows_[static_cast<std::size_t>(n - 1)];
        target.setFerixDir(n, row.ferixDir->text().toStdString());
        target.setPrefix(n, row.prefix->text().toStdString());
        target.setConnected(n, row.connected->isChecked());
    }
}

}  // namespace comm::widgets
