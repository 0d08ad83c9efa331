// Finding a form's elements by name in the window tests; a missing one ends the test program.
#pragma once

#include <QObject>
#include <QString>

template <typename T>
T* element(QObject* form, const char* name) {
    T* found = form->findChild<T*>(QString::fromLatin1(name));
    if (found == nullptr) {
        qFatal("no element %s", name);
    }
    return found;
}
