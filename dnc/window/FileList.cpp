#include "dnc/window/FileList.h"

#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QHeaderView>
#include <QMimeData>
#include <QPainter>
#include <QStandardItemModel>
#include <QStyledItemDelegate>
#include <algorithm>
#include <set>

#include "dnc/window/frmDNC.h"
#include "dnc/window/rules/UnitSelector.h"

namespace dnc::window {

namespace {

// As the history view writes times: the same in every language, and short.
QString dateText(const QVariant& date) {
    return date.isValid() ? QDateTime::fromSecsSinceEpoch(date.toLongLong())
                                .toString(QStringLiteral("yyyy-MM-dd HH:mm"))
                          : QString();
}

// Paints an entry's name, size and date where the header puts their columns.
class ColumnDelegate : public QStyledItemDelegate {
public:
    ColumnDelegate(QHeaderView* header, QObject* parent)
        : QStyledItemDelegate(parent), header_(header) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem opt(option);
        initStyleOption(&opt, index);
        const QString name = opt.text;
        opt.text.clear();
        const QWidget* widget = opt.widget;
        QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
        const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget);
        const QString texts[] = {name,
                                 QString::number(index.data(FileList::kSizeRole).toLongLong()),
                                 dateText(index.data(FileList::kDateRole))};
        painter->save();
        const bool selected = (opt.state & QStyle::State_Selected) != 0;
        painter->setPen(opt.palette.color(
            (opt.state & QStyle::State_Enabled) != 0 ? QPalette::Normal : QPalette::Disabled,
            selected ? QPalette::HighlightedText : QPalette::Text));
        const int pad = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 2;
        for (int column = 0; column < header_->count(); ++column) {
            if (header_->isSectionHidden(column)) {
                continue;
            }
            const int left = column == 0
                                 ? textRect.left()
                                 : opt.rect.left() + header_->sectionViewportPosition(column);
            const int right = opt.rect.left() + header_->sectionViewportPosition(column) +
                              header_->sectionSize(column);
            const QRect cell(left + pad, opt.rect.top(), right - left - 2 * pad, opt.rect.height());
            const Qt::Alignment align =
                (column == 1 ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
            painter->drawText(
                cell, static_cast<int>(align),
                opt.fontMetrics.elidedText(texts[column], Qt::ElideRight, cell.width()));
        }
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setWidth(std::max(1, header_->length()));  // the columns, never wider
        return size;
    }

private:
    QHeaderView* header_;
};

}  // namespace

FileList::FileList(QWidget* parent, bool dated)
    : QListWidget(parent),
      headerModel_(new QStandardItemModel(0, dated ? 3 : 2, this)),
      header_(new QHeaderView(Qt::Horizontal, this)) {
    header_->setObjectName(QStringLiteral("header"));
    header_->setModel(headerModel_);
    header_->setSectionsClickable(true);
    header_->setSortIndicatorShown(true);
    header_->setSortIndicator(0, Qt::AscendingOrder);
    header_->setStretchLastSection(false);
    header_->setSectionResizeMode(0, QHeaderView::Stretch);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setItemDelegate(new ColumnDelegate(header_, this));
    connect(header_, &QHeaderView::sectionClicked, this,
            [this](int section) { clickColumn(static_cast<SortColumn>(section)); });
    connect(header_, &QHeaderView::sectionResized, this, [this] {
        scheduleDelayedItemsLayout();
        viewport()->update();
    });
    setViewportMargins(0, header_->sizeHint().height(), 0, 0);
}

void FileList::setColumnTitles(const QStringList& titles, const QString& headerName,
                               const QStringList& sortCommands) {
    if (sortActions_.isEmpty()) {
        // After the commands that the window offers on the list's entries.
        auto* separator = new QAction(this);
        separator->setSeparator(true);
        addAction(separator);
        for (int column = 0; column < headerModel_->columnCount(); ++column) {
            auto* sort = new QAction(this);
            sort->setObjectName(QStringLiteral("sortBy%1").arg(column));
            connect(sort, &QAction::triggered, this,
                    [this, column] { clickColumn(static_cast<SortColumn>(column)); });
            addAction(sort);
            sortActions_ << sort;
        }
    }
    for (int column = 0; column < headerModel_->columnCount(); ++column) {
        headerModel_->setHeaderData(column, Qt::Horizontal, titles.value(column));
        sortActions_[column]->setText(sortCommands.value(column));
    }
    header_->setAccessibleName(headerName);
    // Sizes and dates take what they need in the window's language; the name takes the rest.
    const QFontMetrics metrics(font());
    const int pad = metrics.horizontalAdvance(QStringLiteral("00"));
    header_->resizeSection(1, std::max(header_->sectionSizeHint(1),
                                       metrics.horizontalAdvance(QStringLiteral("0000000")) + pad));
    if (headerModel_->columnCount() > 2) {
        header_->resizeSection(
            2, std::max(
                   header_->sectionSizeHint(2),
                   metrics.horizontalAdvance(dateText(QDateTime::currentSecsSinceEpoch())) + pad));
    }
    setViewportMargins(0, header_->sizeHint().height(), 0, 0);
    updateGeometries();
}

void FileList::updateGeometries() {
    QListWidget::updateGeometries();
    const QRect area = viewport()->geometry();
    const int height = header_->sizeHint().height();
    header_->setGeometry(area.left(), area.top() - height, area.width(), height);
}

void FileList::fillRows(const std::vector<ListRow>& rows) {
    clear();
    for (const ListRow& row : rows) {
        auto* item = new QListWidgetItem(QString::fromStdString(row.entry.name), this);
        item->setToolTip(item->text());  // the column may be too narrow for the whole name
        item->setData(kSizeRole, QVariant::fromValue<qint64>(row.entry.size));
        if (row.modified) {
            item->setData(kDateRole, QVariant::fromValue<qint64>(*row.modified));
        }
    }
}

void FileList::setRows(std::vector<ListRow> rows) {
    const int remembered = currentRow();
    sortRows(rows, order_);
    fillRows(rows);
    const int index = keepIndex(remembered, count());
    if (index >= 0) {
        setCurrentRow(index);
        item(index)->setSelected(true);
    }
}

std::vector<ListRow> FileList::rows() const {
    std::vector<ListRow> result;
    for (int i = 0; i < count(); ++i) {
        const QListWidgetItem* entry = item(i);
        ListRow row{{entry->text().toStdString(), entry->data(kSizeRole).toLongLong()}, {}};
        if (const QVariant date = entry->data(kDateRole); date.isValid()) {
            row.modified = date.toLongLong();
        }
        result.push_back(std::move(row));
    }
    return result;
}

// The selected entries and the current one stay selected and current where they move to.
void FileList::clickColumn(SortColumn column) {
    if (static_cast<int>(column) >= headerModel_->columnCount()) {
        return;
    }
    order_ = clickedColumn(order_, column);
    header_->setSortIndicator(static_cast<int>(order_.column),
                              order_.descending ? Qt::DescendingOrder : Qt::AscendingOrder);
    std::vector<ListRow> rows = this->rows();
    std::set<std::string> selectedNames;
    for (int i = 0; i < count(); ++i) {
        if (item(i)->isSelected()) {
            selectedNames.insert(rows[static_cast<std::size_t>(i)].entry.name);
        }
    }
    const QString current = currentItem() != nullptr ? currentItem()->text() : QString();
    sortRows(rows, order_);
    const QSignalBlocker quiet(this);
    fillRows(rows);
    for (int i = 0; i < count(); ++i) {
        QListWidgetItem* entry = item(i);
        if (!current.isEmpty() && entry->text() == current) {
            setCurrentItem(entry, QItemSelectionModel::NoUpdate);
        }
        entry->setSelected(selectedNames.count(entry->text().toStdString()) != 0);
    }
}

QMimeData* FileList::mimeData(const QList<QListWidgetItem*>& items) const {
    QMimeData* data = QListWidget::mimeData(items);
    if (data != nullptr) {
        data->setData(QString::fromLatin1(kListDragFormat), objectName().toUtf8());
    }
    return data;
}

}  // namespace dnc::window
