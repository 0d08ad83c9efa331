#include "dnc/window/LoadResStrings.h"

#include <QAbstractButton>
#include <QAction>
#include <QDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QTabWidget>
#include <QToolBar>
#include <QTreeWidget>
#include <QVariant>

#include "localizing/lookup/ResourceStrings.h"

namespace dnc::window {

namespace {

// The number an element keeps: the property when set, else the text the form was made with.
int numberOf(const QObject* element, const char* property, const QString& original) {
    bool ok = false;
    const QVariant kept = element->property(property);
    const int fromProperty = kept.isValid() ? kept.toString().trimmed().toInt(&ok) : 0;
    if (ok) {
        return fromProperty;
    }
    const int fromText = original.trimmed().toInt(&ok);
    return ok ? fromText : 0;
}

// Remembers the number the first time, so a second walk finds it again.
int keepNumber(QObject* element, const char* property, const QString& original) {
    const int n = numberOf(element, property, original);
    if (n > 0 && !element->property(property).isValid()) {
        element->setProperty(property, n);
    }
    return n;
}

void menuAction(QAction* action, const QtStringLookup& strings) {
    if (action->isSeparator() || action->text() == QLatin1String("-")) {
        return;
    }
    if (const int n = keepNumber(action, "tag", action->text()); n > 0) {
        action->setText(strings(n));
    }
    if (QMenu* sub = action->menu()) {
        for (QAction* a : sub->actions()) {
            menuAction(a, strings);
        }
    }
    if (const int tip = keepNumber(action, "toolTipTag", action->toolTip()); tip > 0) {
        action->setToolTip(strings(tip));
    }
    if (const int help = keepNumber(action, "whatsThisTag", action->whatsThis()); help > 0) {
        action->setWhatsThis(strings(help));
    }
}

void toolBarActions(QToolBar* bar, const QtStringLookup& strings) {
    for (QAction* action : bar->actions()) {
        if (action->isSeparator()) {
            continue;
        }
        if (const int n = keepNumber(action, "toolTipTag", action->toolTip()); n > 0) {
            const QString tip = strings(n);
            action->setToolTip(tip);
            action->setText(tip);
            if (QWidget* button = bar->widgetForAction(action)) {
                button->setToolTip(tip);
                button->setAccessibleName(tip);  // icon-only: the tip is its name
            }
        }
        if (const int help = keepNumber(action, "whatsThisTag", action->whatsThis()); help > 0) {
            action->setWhatsThis(strings(help));
        }
    }
}

void tabs(QTabWidget* tabWidget, const QtStringLookup& strings) {
    const QVariantList tags = tabWidget->property("tabTags").toList();
    const QVariantList tips = tabWidget->property("tabToolTipTags").toList();
    for (int i = 0; i < tabWidget->count(); ++i) {
        bool ok = false;
        const int n = i < tags.size() ? tags[i].toInt(&ok) : tabWidget->tabText(i).toInt(&ok);
        if (ok && n > 0) {
            tabWidget->setTabText(i, strings(n));
        }
        const int tip = i < tips.size() ? tips[i].toInt(&ok) : tabWidget->tabToolTip(i).toInt(&ok);
        if (ok && tip > 0) {
            tabWidget->setTabToolTip(i, strings(tip));
        }
    }
}

void headers(QTreeWidget* tree, const QtStringLookup& strings) {
    const QVariantList tags = tree->property("headerTags").toList();
    QTreeWidgetItem* header = tree->headerItem();
    for (int i = 0; header != nullptr && i < header->columnCount(); ++i) {
        bool ok = false;
        const int n = i < tags.size() ? tags[i].toInt(&ok) : header->text(i).toInt(&ok);
        if (ok && n > 0) {
            header->setText(i, strings(n));
        }
    }
}

void otherWidget(QWidget* widget, const QtStringLookup& strings) {
    QString caption;
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        caption = button->text();
    } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
        caption = group->title();
    }
    if (const int n = keepNumber(widget, "tag", caption); n > 0) {
        if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            button->setText(strings(n));
        } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
            group->setTitle(strings(n));
        } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
            edit->setPlaceholderText(strings(n));
        }
    }
    if (const int tip = keepNumber(widget, "toolTipTag", widget->toolTip()); tip >= 1) {
        widget->setToolTip(strings(tip));
        auto* button = qobject_cast<QAbstractButton*>(widget);
        if (button != nullptr && button->text().isEmpty()) {
            button->setAccessibleName(strings(tip));  // icon-only: the tip is its name
        }
    }
}

void whatsThis(QWidget* widget, const QtStringLookup& strings) {
    if (const int n = keepNumber(widget, "whatsThisTag", widget->whatsThis()); n > 0) {
        widget->setWhatsThis(strings(n));
    }
}

// An accessible name from the element's label (its "labelledBy" property names the label), or
// a text of its own (its "accessibleTag" property is the text's number).
void accessibleName(QWidget* form, QWidget* widget, const QtStringLookup& strings) {
    if (const int n = widget->property("accessibleTag").toInt(); n > 0) {
        widget->setAccessibleName(strings(n));
        return;
    }
    const QString labelName = widget->property("labelledBy").toString();
    if (labelName.isEmpty()) {
        return;
    }
    if (auto* label = form->findChild<QLabel*>(labelName)) {
        QString text = label->text();
        text.remove(QLatin1Char('&'));
        if (text.endsWith(QLatin1Char(':'))) {
            text.chop(1);
        }
        widget->setAccessibleName(text.trimmed());
    } else if (auto* group = form->findChild<QGroupBox*>(labelName)) {
        QString text = group->title();
        text.remove(QLatin1Char('&'));
        widget->setAccessibleName(text.trimmed());
    }
}

}  // namespace

QString programString(int id) {
    return QString::fromStdString(loc::resString(id));
}

void LoadResStrings(QWidget* form, const QtStringLookup& strings) {
    if (const int n = keepNumber(form, "tag", QString()); n > 0) {
        form->setWindowTitle(strings(n));
    }
    if (auto* window = qobject_cast<QMainWindow*>(form)) {
        for (QAction* top : window->menuBar()->actions()) {
            menuAction(top, strings);
        }
    }
    const QList<QWidget*> children = form->findChildren<QWidget*>();
    for (QWidget* widget : children) {
        if (widget->inherits("QMenu") || widget->inherits("QMenuBar") ||
            widget->inherits("QFileDialog") || widget->inherits("QDialog")) {
            continue;  // menus are walked by their items; dialogs walk themselves
        }
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            if (const int n = keepNumber(label, "tag", label->text()); n > 0) {
                label->setText(strings(n));
            }
            if (const int tip = keepNumber(label, "toolTipTag", label->toolTip()); tip >= 1) {
                label->setToolTip(strings(tip));
            }
        } else if (auto* bar = qobject_cast<QToolBar*>(widget)) {
            toolBarActions(bar, strings);
        } else if (auto* tabWidget = qobject_cast<QTabWidget*>(widget)) {
            tabs(tabWidget, strings);
        } else if (auto* tree = qobject_cast<QTreeWidget*>(widget)) {
            headers(tree, strings);
        } else if (!widget->inherits("QToolButton") || widget->property("tag").isValid()) {
            otherWidget(widget, strings);
        }
        whatsThis(widget, strings);
    }
    for (QWidget* widget : children) {
        accessibleName(form, widget, strings);
    }
}

}  // namespace dnc::window
