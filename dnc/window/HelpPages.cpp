#include "dnc/window/HelpPages.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
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

QUrl manualTopicUrl(const QString& page, int context) {
    QUrl url = QUrl::fromLocalFile(page);
    QFile file(page);
    if (context <= 0 || !file.open(QIODevice::ReadOnly)) {
        return url;
    }
    const QString html = QString::fromUtf8(file.readAll());
    const QString number = QString::number(context);
    // An anchor is an id (any element) or the name of an <a>, quoted either way.
    const QRegularExpression anchor(QStringLiteral(R"(\b(id|name)\s*=\s*["']%1["'])").arg(number),
                                    QRegularExpression::CaseInsensitiveOption);
    if (anchor.match(html).hasMatch()) {
        url.setFragment(number);
    }
    return url;
}

QUrl helpPageUrl(const QString& helpFile, int context) {
    (void)helpFile;  // one manual holds every topic
    const QString manual = installedManual(QCoreApplication::applicationDirPath());
    if (!manual.isEmpty()) {
        return manualTopicUrl(manual, context);
    }
    const QString page = writeFallbackPage();
    return page.isEmpty() ? QUrl() : QUrl::fromLocalFile(page);
}

}  // namespace dnc::window
