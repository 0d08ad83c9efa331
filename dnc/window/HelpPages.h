// Where the program's HTML manual is: docs/manual/index.html installed beside or near the
// program; until it exists, a short page that says where the documentation is.
#pragma once

#include <QString>
#include <QUrl>

namespace dnc::window {

// The manual's start page, or empty when no manual is installed.
QString installedManual(const QString& programDirectory);

// The short page written to the user's cache folder; empty when it cannot be written.
QString writeFallbackPage();

// The manual page at the topic `context` (an anchor such as id="3000") when the page has that
// anchor, else the page itself.
QUrl manualTopicUrl(const QString& page, int context);

// The page the Help buttons of message boxes open: the manual at the error's help context
// where it has one, else the manual's start page (or the short page without a manual).
QUrl helpPageUrl(const QString& helpFile, int context);

}  // namespace dnc::window
