// The sub net's revisions beside its window: either every revision of one program in a unit
// directory ("Revisions") or the programs of the sub net that wait for approval ("Pending
// programs"). A selected revision is compared side by side with the released one (or with a
// second selected revision), and accepted, rejected or restored; the decision runs on the sub
// net and in the history, and the view reads the list again when it has ended. Nothing is
// read from the history on the window's thread: a database another process holds must not
// stop the window; the view says it is reading meanwhile.
#pragma once

#include <QDialog>
#include <QString>
#include <string>
#include <vector>

#include "dnc/history/Revisions.h"
#include "dnc/manager/RevisionDesk.h"
#include "dnc/manager/SubNet.h"
#include "dnc/revisions/RevisionState.h"

class QLabel;
class QPushButton;
class QTableWidget;
class QTreeWidget;

namespace dnc::window {

class RevisionsView : public QDialog {
    Q_OBJECT
public:
    // `desk` null: the window keeps no history, and the view says so.
    RevisionsView(RevisionDesk* desk, SubNet* subNet, int subNetId, const QString& caption,
                  bool pendingOnly, QWidget* parent = nullptr);

    // The program whose revisions the view lists (the Revisions view).
    void setProgram(int unit, const std::string& name);
    // Reads the list again; listed() tells when it is shown.
    void reload();
    // Selects row `index` (and, with `other` >= 0, a second row to compare it with).
    void select(int index, int other = -1);
    // Compares the selected revision with the second selected one, or with the released one;
    // compared() tells when it is shown.
    void compareSelected();
    void decideSelected(revisions::Action action);

    const std::vector<history::RevisionRow>& rows() const { return rows_; }
    QTableWidget* comparison() const { return compare_; }
    QString statusText() const;
    bool deciding() const { return deciding_; }
    bool reading() const { return reading_ > 0; }
    // Who decides in this window.
    static std::string userName();

signals:
    // A decision has ended (its outcome is in the status line) and the list was read again.
    void decided();
    // The list read by reload() is shown.
    void listed();
    void compared();

private:
    struct Listing;
    struct Comparison;
    std::vector<int> selectedRows() const;
    void setStatus(const QString& text);
    void updateButtons();
    void showListing(const Listing& listing);
    void showComparison(const Comparison& comparison);
    void beginReading();
    void endReading();
    void decisionEnded(const QString& status);

    RevisionDesk* desk_;
    SubNet* subNet_;
    const int subNetId_;
    const bool pendingOnly_;
    int unit_ = 0;
    std::string name_;
    std::vector<history::RevisionRow> rows_;
    bool deciding_ = false;
    int reading_ = 0;            // reads under way
    unsigned listing_ = 0;       // the latest list asked for; older answers are dropped
    unsigned comparing_ = 0;     // the same for comparisons
    QString statusAfterRead_;    // the outcome of a decision, shown once the list is read again
    bool decisionRead_ = false;  // the list is read again after a decision: decided() follows

    QTreeWidget* list_ = nullptr;
    QTableWidget* compare_ = nullptr;
    QLabel* lblCompare_ = nullptr;
    QLabel* lblStatus_ = nullptr;
    QPushButton* cmdCompare_ = nullptr;
    QPushButton* cmdAccept_ = nullptr;
    QPushButton* cmdReject_ = nullptr;
    QPushButton* cmdRestore_ = nullptr;
};

}  // namespace dnc::window
