// Operator dialogs that a test answers: every box is recorded, questions get the answers the
// test queued (No when none is left), programs are recorded instead of started.
#pragma once

#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <vector>

#include "dnc/window/OperatorDialogs.h"

struct ShownBox {
    QString title;
    QString text;
    dnc::window::OperatorDialogs::Icon icon;
    QString helpFile;
};

class FakeDialogs : public dnc::window::OperatorDialogs {
public:
    bool ask(QWidget* parent, const QString& title, const QString& text) override;
    void tell(QWidget* parent, const QString& title, const QString& text, Icon icon,
              const QString& helpFile, int helpContext) override;
    std::optional<QString> chooseDirectory(QWidget* parent, const QString& title,
                                           const QString& start) override;
    bool startDetached(const QString& program, const QStringList& arguments,
                       QString* error) override;
    bool openUrl(const QUrl& url) override;
    void dismissAll() override {}

    std::deque<bool> answers;
    std::vector<QString> questions;
    std::vector<ShownBox> boxes;
    std::optional<QString> directory;
    QString directoryStart;
    bool startSucceeds = true;
    std::vector<QStringList> started;  // program first, then its arguments
    std::vector<QUrl> opened;
    // Runs inside tell(), as if the operator did something while the box is open.
    std::function<void(const QString& text)> whileOpen;
};
