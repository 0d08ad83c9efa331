#include "dnc/window/HelpPages.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

// The page is a resource of this static library: it is linked in only when named.
static void initHelpResource() {
    Q_INIT_RESOURCE(help);
}

namespace dnc::window {

QString installedManual(const QString& programDirectory) {
    const QDir dir(programDirectory);
    for (const char* relative :
         {"docs/manual/index.html", "../docs/manual/index.html", "../../docs/manual/index.html",
          "../share/doc/ferixdnc/manual/index.html"}) {
        const QFileInfo page(dir.filePath(QString::fromLatin1(relative)));
        if (page.isFile()) {
            return page.canonicalFilePath();
        }
    }
    return {};
}

QString writeFallbackPage() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    if (folder.isEmpty() || !QDir().mkpath(folder)) {
        return {};
    }
    initHelpResource();
    QFile source(QStringLiteral(":/ferixdnc/help/index.html"));
    if (!source.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QString path = QDir(folder).filePath(QStringLiteral("FerixDNC-help.html"));
    QFile page(path);
    if (!page.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        page.write(source.readAll()) < 0) {
        return {};
    }
    return path;
}

QUrl helpPageUrl(const QString& helpFile, int context) {
    (void)helpFile;
    (void)context;
    QString page = installedManual(QCoreApplication::applicationDirPath());
    if (page.isEmpty()) {
        page = writeFallbackPage();
    }
    return page.isEmpty() ? QUrl() : QUrl::fromLocalFile(page);
}

}  // namespace dnc::window
