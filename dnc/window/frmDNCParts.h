// Small helpers shared by the files of the sub-net window (not for other users).
#pragma once

#include <QApplication>
#include <QListWidget>
#include <QString>
#include <string>
#include <vector>

#include "dnc/window/rules/SelectionSummary.h"
#include "localizing/lookup/ResourceStrings.h"

namespace dnc::window::parts {

inline constexpr int kSizeRole = Qt::UserRole;

// The program's string in the window's language (the lookup of this thread).
inline std::string lookup(int id) {
    return loc::resString(id);
}

inline QString q(const std::string& s) {
    return QString::fromStdString(s);
}

inline std::string s(const QString& text) {
    return text.toStdString();
}

// The number of an element's text, for LoadResStrings.
inline void tag(QObject* element, int number) {
    element->setProperty("tag", number);
}

class BusyPointer {
public:
    BusyPointer() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyPointer() { QApplication::restoreOverrideCursor(); }
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;
};

}  // namespace dnc::window::parts
