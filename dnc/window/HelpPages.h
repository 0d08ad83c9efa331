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

// The page the Help buttons of message boxes open (the manual; topics are not numbered yet).
QUrl helpPageUrl(const QString& helpFile, int context);

}  // namespace dnc::window
