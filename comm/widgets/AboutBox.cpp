#include "comm/widgets/AboutBox.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QMetaMethod>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>

#include "localizing/lookup/ResourceStrings.h"

extern "C" const char* FerixCommVersion();

namespace comm::widgets {

namespace {

QString text(int id) {
    return QString::fromStdString(loc::resString(id));
}

}  // namespace

AboutBox::AboutBox(const AboutTexts& texts, std::function<bool()> startSystemInformation,
                   QWidget* parent)
    : QDialog(parent), texts_(texts), start_(std::move(startSystemInformation)) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(texts.caption);
    auto* layout = new QVBoxLayout(this);
    auto* product = new QLabel(texts.product, this);
    product->setObjectName(QStringLiteral("lblTitle"));
    QFont big = product->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    product->setFont(big);
    auto* description = new QLabel(texts.description, this);
    description->setObjectName(QStringLiteral("lblDescription"));
    description->setWordWrap(true);
    auto* version = new QLabel(texts.version, this);
    version->setObjectName(QStringLiteral("lblVersion"));
    layout->addWidget(product);
    layout->addWidget(description);
    layout->addWidget(version);
    auto* buttons = new QDialogButtonBox(this);
    auto* ok = buttons->addButton(texts.ok, QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setDefault(true);
    auto* info = buttons->addButton(texts.systemInformation, QDialogButtonBox::ActionRole);
    info->setObjectName(QStringLiteral("cmdSysInfo"));
    layout->addWidget(buttons);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(info, &QPushButton::clicked, this, &AboutBox::systemInformation);
    setMinimumWidth(420);
}

void AboutBox::systemInformation() {
    if (start_ && start_()) {
        return;
    }
    if (isSignalConnected(QMetaMethod::fromSignal(&AboutBox::systemInformationUnavailable))) {
        emit systemInformationUnavailable(texts_.unavailable);
        return;
    }
    QMessageBox::information(this, texts_.caption, texts_.unavailable);
}

bool startSystemInformationProgram() {
    // Desktop tools that show the hardware and system, most specific first.
    for (const char* name : {"hardinfo", "kinfocenter", "gnome-system-monitor", "lxtask",
                             "xfce4-taskmanager", "mate-system-monitor"}) {
        const QString path = QStandardPaths::findExecutable(QString::fromLatin1(name));
        if (!path.isEmpty() && QProcess::startDetached(path, {})) {
            return true;
        }
    }
    return false;
}

AboutTexts controlAboutTexts(std::int16_t langId) {
    loc::selectLanguage(static_cast<std::uint16_t>(langId));
    AboutTexts t;
    t.caption = text(101);
    t.product = text(110);
    t.description = text(111);
    t.version = text(120) + QLatin1Char(' ') + QString::fromLatin1(FerixCommVersion());
    t.ok = text(113);
    t.systemInformation = text(114);
    t.unavailable = text(121);
    return t;
}

void showControlAbout(QWidget* parent, std::int16_t langId) {
    AboutBox box(controlAboutTexts(langId), startSystemInformationProgram, parent);
    box.exec();
}

}  // namespace comm::widgets
