// Fills a form's texts from the string table: every element keeps the number of its text (in
// its "tag" property, or as its text or tool tip as a Qt Designer form holds it) and gets the
// text in the current language. One walk over the form by kind of element; separators and
// elements without a number are left alone, and an element that fails is skipped.
#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace dnc::window {

using QtStringLookup = std::function<QString(int)>;

// The numbers stay on the elements, so the walk can run again after a change of language.
void LoadResStrings(QWidget* form, const QtStringLookup& strings);

// The program's own table in the current language of this thread.
QString programString(int id);

}  // namespace dnc::window
