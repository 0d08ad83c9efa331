// A file list of the sub-net window: one entry per file, with its name, size and (where the
// list has them) date in columns under a header; a click on a column header sorts the list by
// it, a second click turns the order round. An entry's text is the file's name; its size and
// date are item data. Dragged entries say which list they come from.
#pragma once

#include <QListWidget>
#include <QStringList>
#include <vector>

#include "dnc/window/rules/ListOrder.h"

class QAction;
class QHeaderView;
class QStandardItemModel;

namespace dnc::window {

class FileList : public QListWidget {
    Q_OBJECT
public:
    static constexpr int kSizeRole = Qt::UserRole;
    static constexpr int kDateRole = Qt::UserRole + 1;

    // `dated`: the list has a date column (the directories on the PC; a unit's memory list has
    // none).
    FileList(QWidget* parent, bool dated);

    // Replaces the entries by `rows` in the list's order; the current row stays where it was
    // (the last one if the list became shorter) and is selected.
    void setRows(std::vector<ListRow> rows);
    std::vector<ListRow> rows() const;
    // The column titles (name, size, date), the name the header is read by, and the texts of
    // the context menu's sort commands (the keyboard's way to the header), column by column.
    void setColumnTitles(const QStringList& titles, const QString& headerName,
                         const QStringList& sortCommands);
    // Sorts as a click on the column's header does.
    void clickColumn(SortColumn column);
    ListOrder order() const { return order_; }
    QHeaderView* header() const { return header_; }

protected:
    QMimeData* mimeData(const QList<QListWidgetItem*>& items) const override;
    void updateGeometries() override;

private:
    void fillRows(const std::vector<ListRow>& rows);

    QStandardItemModel* headerModel_;
    QHeaderView* header_;
    QList<QAction*> sortActions_;
    ListOrder order_;
};

}  // namespace dnc::window
