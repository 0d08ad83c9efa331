// The sub-net window's "Control Properties": the control's two property pages as tabs with
// OK, Cancel and Apply. The control lives on the sub net's thread; the dialog reaches it only
// through a ControlPropertiesAccess, which reads a copy of its values and applies the pages'
// writes there in one go. While communication runs nothing can be applied.
#pragma once

#include <QDialog>
#include <optional>
#include <string>
#include <vector>

#include "comm/PageValues.h"

class QDialogButtonBox;
class QLabel;
class QTabWidget;

namespace comm::widgets {
class PropertyPage;
class ppFerixComm;
class ppFerixFerixes;
}  // namespace comm::widgets

namespace dnc::window {

class OperatorDialogs;

struct ApplyOutcome {
    bool refusedWhileRunning = false;  // communication was on: nothing was written
    std::vector<std::string> errors;   // values the control refused (the others were written)
};

class ControlPropertiesAccess {
public:
    virtual ~ControlPropertiesAccess() = default;
    // The selected controls' values (the sub-net window has one control).
    virtual std::vector<comm::PageValues> read() = 0;
    // Writes into the control in the order recorded, then refreshes the window's view of it.
    virtual ApplyOutcome apply(const comm::RecordedWrites& writes) = 0;
};

class ControlPropertiesDialog : public QDialog {
    Q_OBJECT
public:
    // `caption` names the sub net in the title.
    ControlPropertiesDialog(ControlPropertiesAccess& access, OperatorDialogs& dialogs,
                            const QString& caption, bool communicating, QWidget* parent = nullptr);

    // Communication went on or off: the pages and OK/Apply follow, and the dialog says why.
    void setCommunicating(bool communicating);
    // Applies the changed pages; true when everything was written (or nothing had changed).
    bool applyChanges();
    // Reads the control's values into the pages again.
    void reload();

    comm::widgets::ppFerixComm* commonPage() const { return common_; }
    comm::widgets::ppFerixFerixes* unitsPage() const { return units_; }

protected:
    void done(int result) override;

private:
    void updateButtons();
    std::vector<comm::widgets::PropertyPage*> pages() const;

    ControlPropertiesAccess& access_;
    OperatorDialogs& dialogs_;
    bool communicating_ = false;
    QTabWidget* tabs_ = nullptr;
    comm::widgets::ppFerixComm* common_ = nullptr;
    comm::widgets::ppFerixFerixes* units_ = nullptr;
    QLabel* lblRunning_ = nullptr;
    QDialogButtonBox* buttons_ = nullptr;
};

}  // namespace dnc::window
