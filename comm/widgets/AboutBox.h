// An about box: product name, description, version, OK and "System information". The control
// and the program each fill it with their own texts.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>

#include "comm/widgets/WidgetsExport.h"

namespace comm::widgets {

struct AboutTexts {
    QString caption;
    QString product;
    QString description;
    QString version;  // "Version 1.0.0"
    QString ok;
    QString systemInformation;
    QString unavailable;  // shown when no system information program can be started
};

class FERIXCOMMWIDGETS_API AboutBox : public QDialog {
    Q_OBJECT
public:
    // `startSystemInformation` starts the desktop's tool; false when there is none.
    AboutBox(const AboutTexts& texts, std::function<bool()> startSystemInformation,
             QWidget* parent = nullptr);

signals:
    // The tool could not be started: the box shows `unavailable` in a message of its own,
    // unless a listener (a test) takes it.
    void systemInformationUnavailable(const QString& text);

private:
    void systemInformation();

    AboutTexts texts_;
    std::function<bool()> start_;
};

// Starts the first system information program the desktop has (without a shell).
FERIXCOMMWIDGETS_API bool startSystemInformationProgram();

// The control's about box, in the control's language `langId` (its LangID).
FERIXCOMMWIDGETS_API void showControlAbout(QWidget* parent, std::int16_t langId);
// Its texts, for tests and for hosts that lay the box out themselves.
FERIXCOMMWIDGETS_API AboutTexts controlAboutTexts(std::int16_t langId);

}  // namespace comm::widgets
