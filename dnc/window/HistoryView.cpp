#include "dnc/window/HistoryView.h"

#include <unistd.h>

#include <QCheckBox>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "dnc/window/LoadResStrings.h"
#include "dnc/window/frmDNCParts.h"
#include "dnc/window/rules/HistoryRows.h"

namespace dnc::window {

using parts::lookup;
using parts::q;
using parts::s;
using parts::tag;

namespace {

constexpr int kSearchPauseMs = 300;

}  // namespace

HistoryView::HistoryView(std::filesystem::path database, int subNet, const QString& caption,
                         OperatorDialogs& dialogs, OpenInEditor openInEditor, QWidget* parent,
                         std::string site)
    : QDialog(parent),
      database_(std::move(database)),
      subNet_(subNet),
      site_(std::move(site)),
      dialogs_(dialogs),
      openInEditor_(std::move(openInEditor)) {
    setObjectName(QStringLiteral("frmHistory"));
    setModal(false);
    setWindowFlag(Qt::WindowMaximizeButtonHint);
    tag(this, histr::kTitle);

    auto* search = new QLabel(QString::number(histr::kSearch), this);
    search->setObjectName(QStringLiteral("lblHistorySearch"));
    txtSearch_ = new QLineEdit(this);
    txtSearch_->setObjectName(QStringLiteral("txtHistorySearch"));
    txtSearch_->setClearButtonEnabled(true);
    txtSearch_->setProperty("toolTipTag", histr::kSearchTip);
    search->setBuddy(txtSearch_);
    chkAllUnits_ = new QCheckBox(QString::number(histr::kAllUnits), this);
    chkAllUnits_->setObjectName(QStringLiteral("chkHistoryAllUnits"));
    auto* refresh = new QPushButton(QString::number(histr::kRefresh), this);
    refresh->setObjectName(QStringLiteral("cmdHistoryRefresh"));
    refresh->setAutoDefault(false);
    auto* top = new QHBoxLayout;
    top->addWidget(search);
    top->addWidget(txtSearch_, 1);
    top->addWidget(chkAllUnits_);
    top->addWidget(refresh);

    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("tvHistory"));
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setAlternatingRowColors(true);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setColumnCount(static_cast<int>(kHistoryColumnCount));
    QVariantList headerTags;
    QStringList headers;
    for (const int title : histr::kColumnTitles) {
        headerTags << title;
        headers << QString::number(title);
    }
    list_->setHeaderLabels(headers);
    list_->setProperty("headerTags", headerTags);
    list_->setProperty("toolTipTag", histr::kOpenTip);
    list_->setProperty("accessibleTag", histr::kTitle);  // a table is read by its cells otherwise

    lblStatus_ = new QLabel(this);
    lblStatus_->setObjectName(QStringLiteral("lblHistoryStatus"));
    lblStatus_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* close = new QPushButton(QString::number(histr::kClose), this);
    close->setObjectName(QStringLiteral("cmdHistoryClose"));
    close->setAutoDefault(false);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(lblStatus_, 1);
    bottom->addWidget(close);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(list_, 1);
    layout->addLayout(bottom);

    LoadResStrings(this, [](int id) { return programString(id); });
    setWindowTitle(windowTitle() + QStringLiteral(" - ") + caption);
    list_->header()->setSectionResizeMode(QHeaderView::Interactive);
    list_->header()->setStretchLastSection(false);
    resize(900, 420);

    searchPause_ = new QTimer(this);
    searchPause_->setSingleShot(true);
    searchPause_->setInterval(kSearchPauseMs);
    connect(searchPause_, &QTimer::timeout, this, &HistoryView::reload);
    connect(txtSearch_, &QLineEdit::textChanged, searchPause_, qOverload<>(&QTimer::start));
    connect(chkAllUnits_, &QCheckBox::toggled, this, &HistoryView::reload);
    connect(refresh, &QPushButton::clicked, this, &HistoryView::reload);
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    connect(list_, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { openRow(list_->indexOfTopLevelItem(item)); });
    // Return opens the current row as well, for the keyboard.
    auto* open = new QShortcut(QKeySequence(Qt::Key_Return), list_);
    open->setContext(Qt::WidgetShortcut);
    connect(open, &QShortcut::activated, this,
            [this] { openRow(list_->indexOfTopLevelItem(list_->currentItem())); });
}

HistoryView::~HistoryView() {
    if (worker_.joinable()) {
        worker_.join();
    }
}

std::filesystem::path HistoryView::copiesFolder() {
    return std::filesystem::path(s(QDir::tempPath())) /
           ("FerixDNC-history-" + std::to_string(::getuid()));
}

void HistoryView::setUnit(int unit) {
    if (unit == unit_) {
        return;
    }
    unit_ = unit;
    if (isVisible() && !chkAllUnits_->isChecked()) {
        reload();
    }
}

QString HistoryView::statusText() const {
    return lblStatus_->text();
}

void HistoryView::setStatus(const QString& text) {
    lblStatus_->setText(text);
    lblStatus_->setAccessibleDescription(text);
}

void HistoryView::reload() {
    searchPause_->stop();
    if (database_.empty()) {
        rows_.clear();
        list_->clear();
        setStatus(q(lookup(histr::kNoHistory)));
        emit loaded();
        return;
    }
    if (running_) {
        pending_ = true;  // the running query's rows are stale; ask again when it ends
        return;
    }
    startQuery();
}

void HistoryView::startQuery() {
    if (worker_.joinable()) {
        worker_.join();  // the last query has handed its rows over and is ending
    }
    running_ = true;
    pending_ = false;
    setStatus(q(lookup(histr::kReading)));
    const history::HistoryFilter filter =
        historyViewFilter(subNet_, unit_, chkAllUnits_->isChecked(), s(txtSearch_->text()), site_);
    worker_ = std::thread([this, filter, database = database_] {
        const auto opened =
            history::openHistoryStore(database, history::HistoryStore::Access::Read);
        history::HistoryStore& db = *opened;
        std::optional<std::vector<history::HistoryRow>> rows;
        if (db.ok()) {
            rows = db.query(filter);
        }
        const QString error = rows ? QString() : q(db.error());
        // The view waits for this thread before it goes, so it is still there to post to.
        QMetaObject::invokeMethod(
            this,
            [this, rows = std::move(rows), error]() mutable { showResult(std::move(rows), error); },
            Qt::QueuedConnection);
    });
}

void HistoryView::showResult(std::optional<std::vector<history::HistoryRow>> rows,
                             const QString& error) {
    running_ = false;
    if (pending_) {
        startQuery();
        return;
    }
    list_->clear();
    if (!rows) {
        rows_.clear();
        setStatus(q(lookup(histr::kCannotRead)).replace(QStringLiteral("%1"), error));
        emit loaded();
        return;
    }
    rows_ = std::move(*rows);
    QList<QTreeWidgetItem*> items;
    items.reserve(static_cast<qsizetype>(rows_.size()));
    for (const history::HistoryRow& row : rows_) {
        auto* item = new QTreeWidgetItem;
        const auto texts = historyRowTexts(row, lookup);
        for (std::size_t c = 0; c < texts.size(); ++c) {
            item->setText(static_cast<int>(c), q(texts[c]));
        }
        item->setToolTip(static_cast<int>(HistoryColumn::Time), q(row.time));
        item->setToolTip(static_cast<int>(HistoryColumn::Name), q(row.path));
        item->setToolTip(static_cast<int>(HistoryColumn::Error), q(row.error));
        if (row.sha256) {
            item->setToolTip(static_cast<int>(HistoryColumn::Sha256), q(*row.sha256));
        }
        item->setTextAlignment(static_cast<int>(HistoryColumn::Size),
                               Qt::AlignRight | Qt::AlignVCenter);
        item->setTextAlignment(static_cast<int>(HistoryColumn::Unit),
                               Qt::AlignRight | Qt::AlignVCenter);
        if (row.kept) {
            QFont font = item->font(static_cast<int>(HistoryColumn::Name));
            font.setUnderline(true);  // a kept program opens on a double click
            item->setFont(static_cast<int>(HistoryColumn::Name), font);
        }
        items << item;
    }
    list_->addTopLevelItems(items);
    for (int c = 0; c < list_->columnCount(); ++c) {
        list_->resizeColumnToContents(c);
    }
    setStatus(q(historyCountText(rows_.size(), lookup)));
    emit loaded();
}

void HistoryView::openRow(int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= rows_.size()) {
        return;
    }
    const history::HistoryRow& row = rows_[static_cast<std::size_t>(index)];
    const QString title = windowTitle();
    if (!row.kept || !row.sha256) {
        dialogs_.tell(this, title,
                      q(lookup(histr::kNotKept)).replace(QStringLiteral("%1"), q(row.name)),
                      OperatorDialogs::Icon::Information);
        return;
    }
    // One program, read on this thread: its size is that of one program, not of the history.
    const auto opened = history::openHistoryStore(database_, history::HistoryStore::Access::Read);
    history::HistoryStore& db = *opened;
    const std::optional<std::string> program = db.ok() ? db.program(*row.sha256) : std::nullopt;
    if (!program) {
        dialogs_.tell(this, title,
                      q(lookup(histr::kCannotRead)).replace(QStringLiteral("%1"), q(db.error())),
                      OperatorDialogs::Icon::Exclamation);
        return;
    }
    const std::string name = keptCopyName(row);
    const std::string failure = writeReadOnlyCopy(copiesFolder(), name, *program);
    if (!failure.empty()) {
        dialogs_.tell(this, title,
                      q(lookup(histr::kCannotWrite)).replace(QStringLiteral("%1"), q(failure)),
                      OperatorDialogs::Icon::Exclamation);
        return;
    }
    openInEditor_(q((copiesFolder() / name).string()));
}

}  // namespace dnc::window
