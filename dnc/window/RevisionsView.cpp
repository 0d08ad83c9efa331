#include "dnc/window/RevisionsView.h"

#include <pwd.h>
#include <unistd.h>

#include <QBrush>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "dnc/window/LoadResStrings.h"
#include "dnc/window/frmDNCParts.h"
#include "dnc/window/rules/RevisionRows.h"

namespace dnc::window {

using parts::q;
using parts::s;

namespace {

StringLookup strings() {
    return [](int id) { return s(programString(id)); };
}

QString text(int id) {
    return programString(id);
}

// Changed lines stand out by colour and by the mark column, for those who cannot see colour.
QBrush background(revisions::RowKind kind, bool endChanged) {
    switch (kind) {
        case revisions::RowKind::Changed:
            return QColor(255, 236, 179);
        case revisions::RowKind::Removed:
            return QColor(255, 205, 210);
        case revisions::RowKind::Added:
            return QColor(200, 230, 201);
        case revisions::RowKind::Same:
            break;
    }
    return endChanged ? QBrush(QColor(227, 242, 253)) : QBrush();
}

}  // namespace

RevisionsView::RevisionsView(RevisionDesk* desk, SubNet* subNet, int subNetId,
                             const QString& caption, bool pendingOnly, QWidget* parent)
    : QDialog(parent),
      desk_(desk),
      subNet_(subNet),
      subNetId_(subNetId),
      pendingOnly_(pendingOnly) {
    setObjectName(pendingOnly ? QStringLiteral("frmPendingPrograms")
                              : QStringLiteral("frmRevisions"));
    setModal(false);
    setWindowFlag(Qt::WindowMaximizeButtonHint);
    setWindowTitle(text(pendingOnly ? revstr::kTitlePending : revstr::kTitleRevisions) +
                   QStringLiteral(" - ") + caption);

    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("tvRevisions"));
    list_->setAccessibleName(windowTitle());
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setAlternatingRowColors(true);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    QStringList headers;
    for (int n = 0; n < static_cast<int>(kRevisionColumnCount); ++n) {
        headers << text(revstr::kFirstColumn + n);
    }
    list_->setHeaderLabels(headers);

    lblCompare_ = new QLabel(this);
    lblCompare_->setObjectName(QStringLiteral("lblCompare"));
    compare_ = new QTableWidget(this);
    compare_->setObjectName(QStringLiteral("tblCompare"));
    compare_->setColumnCount(5);
    compare_->setHorizontalHeaderLabels(
        {QStringLiteral("#"), QString(), QStringLiteral("#"), QString(), QString()});
    compare_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    compare_->verticalHeader()->hide();
    compare_->setToolTip(text(revstr::kMarkTip));
    compare_->setAccessibleDescription(text(revstr::kMarkTip));
    compare_->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    compare_->horizontalHeader()->setSectionResizeMode(3, QHeaderView::Stretch);
    auto* comparePane = new QWidget(this);
    auto* compareLayout = new QVBoxLayout(comparePane);
    compareLayout->setContentsMargins(0, 0, 0, 0);
    compareLayout->addWidget(lblCompare_);
    compareLayout->addWidget(compare_, 1);
    lblCompare_->setBuddy(compare_);

    auto* split = new QSplitter(Qt::Vertical, this);
    split->addWidget(list_);
    split->addWidget(comparePane);

    auto button = [this](const char* name, int label) {
        auto* b = new QPushButton(text(label), this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        return b;
    };
    cmdCompare_ = button("cmdCompare", revstr::kCompare);
    cmdAccept_ = button("cmdAccept", revstr::kAccept);
    cmdReject_ = button("cmdReject", revstr::kReject);
    cmdRestore_ = button("cmdRestore", revstr::kRestore);
    auto* close = button("cmdRevisionsClose", revstr::kClose);
    lblStatus_ = new QLabel(this);
    lblStatus_->setObjectName(QStringLiteral("lblRevisionsStatus"));
    lblStatus_->setWordWrap(true);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {cmdCompare_, cmdAccept_, cmdReject_, cmdRestore_}) {
        buttons->addWidget(b);
    }
    buttons->addWidget(lblStatus_, 1);
    buttons->addWidget(close);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(split, 1);
    layout->addLayout(buttons);
    resize(960, 600);

    connect(cmdCompare_, &QPushButton::clicked, this, &RevisionsView::compareSelected);
    connect(cmdAccept_, &QPushButton::clicked, this,
            [this] { decideSelected(revisions::Action::Accept); });
    connect(cmdReject_, &QPushButton::clicked, this,
            [this] { decideSelected(revisions::Action::Reject); });
    connect(cmdRestore_, &QPushButton::clicked, this,
            [this] { decideSelected(revisions::Action::Restore); });
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    connect(list_, &QTreeWidget::itemSelectionChanged, this, &RevisionsView::updateButtons);
    connect(list_, &QTreeWidget::itemDoubleClicked, this, &RevisionsView::compareSelected);
    if (desk_ == nullptr) {
        setStatus(text(revstr::kNoHistory));
    }
    updateButtons();
}

std::string RevisionsView::userName() {
    struct passwd entry {};
    struct passwd* found = nullptr;
    char buffer[1024];
    if (getpwuid_r(::getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr) {
        return found->pw_name;
    }
    return "uid " + std::to_string(::getuid());
}

void RevisionsView::setProgram(int unit, const std::string& name) {
    unit_ = unit;
    name_ = name;
    setWindowTitle(text(revstr::kTitleRevisions) + QStringLiteral(" - ") + q(name));
    reload();
}

QString RevisionsView::statusText() const {
    return lblStatus_->text();
}

void RevisionsView::setStatus(const QString& status) {
    lblStatus_->setText(status);
    lblStatus_->setAccessibleDescription(status);
}

void RevisionsView::reload() {
    if (desk_ == nullptr) {
        return;
    }
    std::string error;
    auto rows = desk_->list(revisionViewFilter(subNetId_, unit_, name_, pendingOnly_), error);
    list_->clear();
    rows_ = rows.value_or(std::vector<history::RevisionRow>{});
    if (!rows) {
        setStatus(q(error));
    }
    const StringLookup lookup = strings();
    for (const history::RevisionRow& row : rows_) {
        QStringList cells;
        for (const std::string& cell : revisionRowTexts(row, lookup)) {
            cells << q(cell);
        }
        list_->addTopLevelItem(new QTreeWidgetItem(cells));
    }
    for (int c = 0; c < list_->columnCount(); ++c) {
        list_->resizeColumnToContents(c);
    }
    updateButtons();
}

void RevisionsView::select(int index, int other) {
    list_->clearSelection();
    for (const int i : {index, other}) {
        if (i >= 0 && i < list_->topLevelItemCount()) {
            list_->topLevelItem(i)->setSelected(true);
        }
    }
    if (index >= 0 && index < list_->topLevelItemCount()) {
        list_->setCurrentItem(list_->topLevelItem(index), 0, QItemSelectionModel::NoUpdate);
    }
}

std::vector<int> RevisionsView::selectedRows() const {
    std::vector<int> rows;
    for (QTreeWidgetItem* item : list_->selectedItems()) {
        rows.push_back(list_->indexOfTopLevelItem(item));
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

void RevisionsView::updateButtons() {
    const std::vector<int> selected = selectedRows();
    const bool one = selected.size() == 1 && desk_ != nullptr && !deciding_;
    const auto allows = [&](revisions::Action action) {
        return one && subNet_ != nullptr &&
               !revisions::refusal(action, rows_[static_cast<std::size_t>(selected[0])].state,
                                   !rows_[static_cast<std::size_t>(selected[0])].sha256.empty());
    };
    cmdCompare_->setEnabled(desk_ != nullptr && (selected.size() == 1 || selected.size() == 2));
    cmdAccept_->setEnabled(allows(revisions::Action::Accept));
    cmdReject_->setEnabled(allows(revisions::Action::Reject));
    cmdRestore_->setEnabled(allows(revisions::Action::Restore));
}

void RevisionsView::compareSelected() {
    const std::vector<int> selected = selectedRows();
    if (desk_ == nullptr || selected.empty() || selected.size() > 2) {
        return;
    }
    // The newer one (listed first) against the older, or against the released one.
    const history::RevisionRow& row = rows_[static_cast<std::size_t>(selected[0])];
    const history::RevisionRow* other =
        selected.size() == 2 ? &rows_[static_cast<std::size_t>(selected[1])] : nullptr;
    std::string error;
    const auto after = desk_->content(row.id, error);
    std::optional<std::string> before = std::string();
    QString otherName = text(revstr::kReleasedOne);
    if (other != nullptr) {
        before = desk_->content(other->id, error);
        otherName = QString::number(other->id);
    } else {
        std::string ignored;
        const auto released =
            desk_->list(revisionViewFilter(subNetId_, row.unit, row.name, false), ignored);
        if (released) {
            for (const history::RevisionRow& r : *released) {
                if (r.state == revisions::State::Released) {
                    before = desk_->content(r.id, error);
                    otherName = QString::number(r.id);
                    break;
                }
            }
        }
    }
    if (!after || !before) {
        setStatus(q(error));
        return;
    }
    const revisions::ProgramDiff diff = revisions::compare(*before, *after);
    QString header = text(revstr::kCompareHeader).arg(row.id).arg(otherName);
    if (diff.linesChanged == 0 && diff.endsChanged > 0) {
        header += QStringLiteral(" - ") + text(revstr::kLineEndsOnly);
    }
    lblCompare_->setText(header);
    compare_->setHorizontalHeaderLabels(
        {QStringLiteral("#"), otherName, QStringLiteral("#"), QString::number(row.id), QString()});
    const std::vector<revisions::SideBySideRow> rows = revisions::sideBySide(diff);
    compare_->setRowCount(static_cast<int>(rows.size()));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const revisions::SideBySideRow& r = rows[i];
        const QBrush brush = background(r.kind, r.endChanged);
        const QString cells[5] = {
            r.first == 0 ? QString() : QString::number(r.first), q(r.firstText),
            r.second == 0 ? QString() : QString::number(r.second), q(r.secondText), q(rowMark(r))};
        for (int c = 0; c < 5; ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            item->setBackground(brush);
            compare_->setItem(static_cast<int>(i), c, item);
        }
    }
    compare_->resizeColumnToContents(0);
    compare_->resizeColumnToContents(2);
    compare_->resizeColumnToContents(4);
}

void RevisionsView::decideSelected(revisions::Action action) {
    const std::vector<int> selected = selectedRows();
    if (desk_ == nullptr || subNet_ == nullptr || selected.size() != 1 || deciding_) {
        return;
    }
    const history::RevisionRow row = rows_[static_cast<std::size_t>(selected[0])];
    const int label = action == revisions::Action::Accept   ? revstr::kAccept
                      : action == revisions::Action::Reject ? revstr::kReject
                                                            : revstr::kRestore;
    const QString what = text(label).remove(QLatin1Char('&'));
    if (auto refused = desk_->refusal(action, subNetId_, row.id)) {
        setStatus(text(revstr::kFailed).arg(what, q(*refused)));
        return;
    }
    deciding_ = true;
    updateButtons();
    QPointer<RevisionsView> self(this);
    desk_->act(
        *subNet_, action, row.id, userName(), [self, what](const history::ActionResult& result) {
            // From the sub net's or the history's thread to the window's.
            QMetaObject::invokeMethod(
                qApp,
                [self, what, result] {
                    if (!self) {
                        return;
                    }
                    self->deciding_ = false;
                    self->setStatus(result.ok ? QString()
                                              : text(revstr::kFailed).arg(what, q(result.error)));
                    self->reload();
                    emit self->decided();
                },
                Qt::QueuedConnection);
        });
}

}  // namespace dnc::window
