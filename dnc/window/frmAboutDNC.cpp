#include "dnc/window/frmAboutDNC.h"

#include "dnc/window/LoadResStrings.h"

namespace dnc::window {

comm::widgets::AboutTexts programAboutTexts() {
    comm::widgets::AboutTexts t;
    t.caption = programString(1001);
    t.product = programString(1010);
    t.description = programString(1011);
    t.version = programString(1020) + QLatin1Char(' ') + QStringLiteral(FERIXDNC_VERSION);
    t.ok = programString(1013);
    t.systemInformation = programString(1014);
    t.unavailable = programString(1021);
    return t;
}

frmAboutDNC::frmAboutDNC(QWidget* parent, std::function<bool()> startSystemInformation)
    : comm::widgets::AboutBox(programAboutTexts(), std::move(startSystemInformation), parent) {
    setObjectName(QStringLiteral("frmAboutDNC"));
}

}  // namespace dnc::window
