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
#include <QThreadPool>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <functional>
#include <memory>
#include <optional>

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

// Runs `read` on a worker thread and `show` with its result on the window's thread, unless the
// view has gone meanwhile.
template <typename Result>
void readOffWindow(RevisionsView* view, std::function<Result()> read,
                   std::function<void(RevisionsView&, const Result&)> show) {
    QPointer<RevisionsView> self(view);
    QThreadPool::globalInstance()->start(
        [self, read = std::move(read), show = std::move(show)]() mutable {
            auto result = std::make_shared<Result>(read());
            QMetaObject::invokeMethod(
                qApp,
                [self, result, show = std::move(show)] {
                    if (self) {
                        show(*self, *result);
                    }
                },
                Qt::QueuedConnection);
        });
}

QString revisionColumn(const history::RevisionRow& row) {
    return text(revstr::kRevisionColumn)
        .arg(row.id)
        .arg(text(revstr::kFirstState + static_cast<int>(row.state)));
}

}  // namespace

struct RevisionsView::Listing {
    unsigned number = 0;
    std::optional<std::vector<history::RevisionRow>> rows;
    std::string error;
};

struct RevisionsView::Comparison {
    unsigned number = 0;
    std::int64_t id = 0;
    std::optional<std::string> before;
    std::optional<std::string> after;
    QString beforeName;  // the column header of each side
    QString afterName;
    QString otherName;  // for the heading: the other revision's id, or "the released one"
    std::string error;
};

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
    compare_->setHorizontalHeaderLabels({text(revstr::kLineColumn), text(revstr::kBefore),
                                         text(revstr::kLineColumn), text(revstr::kAfter),
                                         text(revstr::kMarkColumn)});
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

void RevisionsView::beginReading() {
    if (reading_++ == 0) {
        setStatus(text(revstr::kReading));
    }
    updateButtons();
}

void RevisionsView::endReading() {
    --reading_;
    updateButtons();
}

void RevisionsView::reload() {
    if (desk_ == nullptr) {
        return;
    }
    const unsigned number = ++listing_;
    beginReading();
    readOffWindow<Listing>(
        this,
        [desk = desk_, number, filter = revisionViewFilter(subNetId_, unit_, name_, pendingOnly_)] {
            Listing listing;
            listing.number = number;
            listing.rows = desk->list(filter, listing.error);
            return listing;
        },
        [](RevisionsView& view, const Listing& listing) { view.showListing(listing); });
}

void RevisionsView::showListing(const Listing& listing) {
    endReading();
    if (listing.number != listing_) {
        return;  // a newer list is on its way
    }
    list_->clear();
    rows_ = listing.rows.value_or(std::vector<history::RevisionRow>{});
    QString status = statusAfterRead_;
    statusAfterRead_.clear();
    if (!listing.rows) {
        status = q(listing.error);
    } else if (rows_.empty() && !pendingOnly_ && !name_.empty() && status.isEmpty()) {
        status = text(revstr::kNoRevisions).arg(q(name_));
    }
    setStatus(status);
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
    emit listed();
    if (decisionRead_) {
        decisionRead_ = false;
        emit decided();
    }
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
    const bool one = selected.size() == 1 && desk_ != nullptr && !deciding_ && reading_ == 0;
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
    const history::RevisionRow row = rows_[static_cast<std::size_t>(selected[0])];
    std::optional<history::RevisionRow> other;
    if (selected.size() == 2) {
        other = rows_[static_cast<std::size_t>(selected[1])];
    }
    const unsigned number = ++comparing_;
    beginReading();
    readOffWindow<Comparison>(
        this,
        [desk = desk_, number, row, other, subNet = subNetId_] {
            Comparison c;
            c.number = number;
            c.id = row.id;
            c.after = desk->content(row.id, c.error);
            c.afterName = revisionColumn(row);
            c.before = std::string();
            c.otherName = text(revstr::kReleasedOne);
            c.beforeName = c.otherName;
            if (other) {
                c.before = desk->content(other->id, c.error);
                c.otherName = QString::number(other->id);
                c.beforeName = revisionColumn(*other);
                return c;
            }
            std::string ignored;
            const auto all =
                desk->list(revisionViewFilter(subNet, row.unit, row.name, false), ignored);
            for (const history::RevisionRow& r :
                 all.value_or(std::vector<history::RevisionRow>{})) {
                if (r.state == revisions::State::Released) {
                    c.before = desk->content(r.id, c.error);
                    c.otherName = QString::number(r.id);
                    c.beforeName = revisionColumn(r);
                    break;
                }
            }
            return c;
        },
        [](RevisionsView& view, const Comparison& c) { view.showComparison(c); });
}

void RevisionsView::showComparison(const Comparison& c) {
    endReading();
    if (c.number != comparing_) {
        return;
    }
    if (!c.after || !c.before) {
        setStatus(q(c.error));
        return;
    }
    setStatus(QString());
    const revisions::ProgramDiff diff = revisions::compare(*c.before, *c.after);
    QString header = text(revstr::kCompareHeader).arg(c.id).arg(c.otherName);
    if (diff.linesChanged == 0 && diff.endsChanged > 0) {
        header += QStringLiteral(" - ") + text(revstr::kLineEndsOnly);
    }
    lblCompare_->setText(header);
    compare_->setHorizontalHeaderLabels({text(revstr::kLineColumn), c.beforeName,
                                         text(revstr::kLineColumn), c.afterName,
                                         text(revstr::kMarkColumn)});
    const std::vector<revisions::SideBySideRow> rows = revisions::sideBySide(diff);
    compare_->setRowCount(static_cast<int>(rows.size()));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const revisions::SideBySideRow& r = rows[i];
        const QBrush brush = background(r.kind, r.endChanged);
        const QString cells[5] = {
            r.first == 0 ? QString() : QString::number(r.first), q(r.firstText),
            r.second == 0 ? QString() : QString::number(r.second), q(r.secondText), q(rowMark(r))};
        for (int col = 0; col < 5; ++col) {
            auto* item = new QTableWidgetItem(cells[col]);
            item->setBackground(brush);
            compare_->setItem(static_cast<int>(i), col, item);
        }
    }
    compare_->resizeColumnToContents(0);
    compare_->resizeColumnToContents(2);
    compare_->resizeColumnToContents(4);
    emit compared();
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
    deciding_ = true;
    updateButtons();
    QPointer<RevisionsView> self(this);
    // From the sub net's, the history's or a worker's thread to the window's.
    auto ended = [self, what](const history::ActionResult& result) {
        QMetaObject::invokeMethod(
            qApp,
            [self, what, result] {
                if (self) {
                    self->decisionEnded(
                        result.ok ? QString() : text(revstr::kFailed).arg(what, q(result.error)));
                }
            },
            Qt::QueuedConnection);
    };
    // The refusal and what the decision needs are read off the window's thread; the sub net,
    // which lives only as long as the window, is handed the change back on the window's thread.
    QThreadPool::globalInstance()->start(
        [self, desk = desk_, subNetId = subNetId_, action, id = row.id, ended] {
            std::string error;
            std::optional<RevisionDesk::Change> change;
            if (auto refused = desk->refusal(action, subNetId, id)) {
                error = *refused;
            } else {
                change = desk->prepare(action, id, error);
            }
            if (!change) {
                ended({false, error, 0});
                return;
            }
            QMetaObject::invokeMethod(
                qApp,
                [self, change = std::move(*change), ended]() mutable {
                    if (self && self->subNet_ != nullptr) {
                        self->desk_->carryOut(*self->subNet_, std::move(change), userName(), ended);
                    }
                },
                Qt::QueuedConnection);
        });
}

void RevisionsView::decisionEnded(const QString& status) {
    deciding_ = false;
    statusAfterRead_ = status;
    decisionRead_ = true;
    reload();
}

}  // namespace dnc::window
