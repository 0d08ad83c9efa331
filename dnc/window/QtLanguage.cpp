#include "dnc/window/QtLanguage.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QPointer>
#include <QTranslator>

#include "localizing/lookup/ResourceStrings.h"

namespace dnc::window {

namespace {

QPointer<QTranslator>& installed() {
    static QPointer<QTranslator> translator;
    return translator;
}

}  // namespace

void applyQtLanguage(std::uint16_t language) {
    const int primary = language & 0x3FF;
    QString name;
    QLocale locale = QLocale::system();
    if (primary == (loc::kGerman & 0x3FF)) {
        name = QStringLiteral("qtbase_de");
        locale = QLocale(QLocale::German);
    } else if (primary == (loc::kCzech & 0x3FF)) {
        name = QStringLiteral("qtbase_cs");
        locale = QLocale(QLocale::Czech);
    } else if (primary == (loc::kEnglish & 0x3FF)) {
        locale = QLocale(QLocale::English, QLocale::UnitedStates);
    }
    if (QTranslator* old = installed()) {
        QCoreApplication::removeTranslator(old);
        delete old;
    }
    QLocale::setDefault(locale);
    if (name.isEmpty() || QCoreApplication::instance() == nullptr) {
        return;
    }
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (translator->load(name, QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(translator);
        installed() = translator;
    } else {
        delete translator;
    }
}

}  // namespace dnc::window
