// What the control's property pages share: the first of the selected controls is shown, an
// edit by the operator marks the page changed (the host enables its Apply), and Apply writes
// every field through the control's setters.
#pragma once

#include <QWidget>
#include <cstdint>
#include <vector>

#include "comm/PageValues.h"
#include "comm/widgets/WidgetsExport.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace comm::widgets {

class FERIXCOMMWIDGETS_API PropertyPage : public QWidget {
    Q_OBJECT
public:
    explicit PropertyPage(QWidget* parent = nullptr);

    // Fills the page's texts from the control's string table in the current language of the
    // widget library on this thread (selectPageLanguage). The caption is the window title.
    virtual void LoadResStrings() = 0;

    // The selected controls' values; the page shows the first. No selection empties the page
    // and disables it.
    void setSelection(const std::vector<PageValues>& selected);
    bool hasSelection() const { return hasSelection_; }

    bool changed() const { return changed_; }
    // The first field whose text its property cannot take (the host names it and puts the
    // focus there); null when every field holds.
    virtual QWidget* invalidField() const { return nullptr; }
    // Writes every field, in the page's order, and clears the changed state. Nothing is
    // written without a selection or while a field is invalid.
    bool apply(PropertyWriter& target);
    // A host whose writes did not reach the control marks the page changed again.
    void setChanged(bool changed);

signals:
    // The changed state went from false to true or back.
    void changedStateChanged(bool changed);

protected:
    virtual void fill(const PageValues& first) = 0;
    virtual void clearFields() = 0;
    virtual void write(PropertyWriter& target) const = 0;

    // Operator edits of these elements mark the page changed (filling the page does not).
    void watch(QLineEdit* edit);
    void watch(QComboBox* list);
    void watch(QCheckBox* box);

private:
    bool changed_ = false;
    bool hasSelection_ = false;
};

// Chooses the language of the pages' texts on this thread (the control's LangID).
FERIXCOMMWIDGETS_API void selectPageLanguage(std::int16_t langId);

}  // namespace comm::widgets
