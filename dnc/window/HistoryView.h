// The sub net's transfer history, beside its window: the recorded transfers of the selected
// unit (or of all units), newest first, searchable by name. The query runs on a thread of its
// own and brings at most kHistoryViewLimit rows, so a large database never holds the window
// up. A double click on a row whose program is kept opens a read-only copy in the editor.
#pragma once

#include <QDialog>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "dnc/history/HistoryStore.h"
#include "dnc/window/OperatorDialogs.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;

namespace dnc::window {

class HistoryView : public QDialog {
    Q_OBJECT
public:
    // Opens a file in the window's editor.
    using OpenInEditor = std::function<void(const QString& path)>;

    // `database` empty: this window records nothing, and the view says so. `site`: the site
    // whose rows are shown on a history that several sites share (empty: every row).
    HistoryView(std::filesystem::path database, int subNet, const QString& caption,
                OperatorDialogs& dialogs, OpenInEditor openInEditor, QWidget* parent = nullptr,
                std::string site = {});
    // Waits for a running query (it is bounded) before the view goes.
    ~HistoryView() override;

    // The unit the list is filtered to unless all units are shown (0: none selected); the
    // list on show is read again.
    void setUnit(int unit);
    // Reads the rows again with the current filter.
    void reload();
    // Opens the row's kept program read-only in the editor, as a double click does.
    void openRow(int index);

    const std::vector<history::HistoryRow>& rows() const { return rows_; }
    bool loading() const { return running_; }
    QString statusText() const;
    // Where the read-only copies of kept programs are written.
    static std::filesystem::path copiesFolder();

signals:
    // The rows of a query are on show (or its failure is).
    void loaded();

private:
    void startQuery();
    void showResult(std::optional<std::vector<history::HistoryRow>> rows, const QString& error);
    void setStatus(const QString& text);

    const std::filesystem::path database_;
    const int subNet_;
    const std::string site_;
    OperatorDialogs& dialogs_;
    OpenInEditor openInEditor_;
    int unit_ = 0;
    std::vector<history::HistoryRow> rows_;
    std::thread worker_;
    bool running_ = false;
    bool pending_ = false;  // the filter changed while a query ran

    QLineEdit* txtSearch_ = nullptr;
    QCheckBox* chkAllUnits_ = nullptr;
    QTreeWidget* list_ = nullptr;
    QLabel* lblStatus_ = nullptr;
    QTimer* searchPause_ = nullptr;
};

}  // namespace dnc::window
