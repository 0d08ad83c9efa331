// The operator dialogs as the desktop shows them: Qt message boxes, the platform's directory
// picker, QProcess for programs and QDesktopServices for pages.
#pragma once

#include <QPointer>
#include <QWidget>
#include <vector>

#include "dnc/window/OperatorDialogs.h"

namespace dnc::window {

class QtOperatorDialogs : public OperatorDialogs {
public:
    bool ask(QWidget* parent, const QString& title, const QString& text) override;
    void tell(QWidget* parent, const QString& title, const QString& text, Icon icon,
              const QString& helpFile, int helpContext) override;
    std::optional<QString> chooseDirectory(QWidget* parent, const QString& title,
                                           const QString& start) override;
    bool startDetached(const QString& program, const QStringList& arguments,
                       QString* error) override;
    bool openUrl(const QUrl& url) override;
    void dismissAll() override;

private:
    int run(QWidget* box);

    std::vector<QPointer<QWidget>> open_;
};

}  // namespace dnc::window
