#include "FakeDialogs.h"

bool FakeDialogs::ask(QWidget*, const QString&, const QString& text) {
    questions.push_back(text);
    if (answers.empty()) {
        return false;
    }
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
}

void FakeDialogs::tell(QWidget*, const QString& title, const QString& text, Icon icon,
                       const QString& helpFile, int) {
    boxes.push_back({title, text, icon, helpFile});
    if (whileOpen) {
        whileOpen(text);
    }
}

std::optional<QString> FakeDialogs::chooseDirectory(QWidget*, const QString&,
                                                    const QString& start) {
    directoryStart = start;
    return directory;
}

bool FakeDialogs::startDetached(const QString& program, const QStringList& arguments,
                                QString* error) {
    started.push_back(QStringList{program} + arguments);
    if (!startSucceeds && error != nullptr) {
        *error = QStringLiteral("Permission denied");
    }
    return startSucceeds;
}

bool FakeDialogs::openUrl(const QUrl& url) {
    opened.push_back(url);
    return true;
}
