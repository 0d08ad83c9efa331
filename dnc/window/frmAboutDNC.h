// The program's about box: name, description and version of FerixDNC in the current language.
#pragma once

#include "comm/widgets/AboutBox.h"

namespace dnc::window {

comm::widgets::AboutTexts programAboutTexts();

class frmAboutDNC : public comm::widgets::AboutBox {
public:
    explicit frmAboutDNC(QWidget* parent = nullptr,
                         std::function<bool()> startSystemInformation =
                             comm::widgets::startSystemInformationProgram);
};

}  // namespace dnc::window
