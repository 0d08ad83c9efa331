#include "dnc/window/QtOperatorDialogs.h"

#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QProcess>
#include <algorithm>

#include "dnc/window/HelpPages.h"

namespace dnc::window {

int QtOperatorDialogs::run(QWidget* box) {
    open_.emplace_back(box);
    const int result = static_cast<QDialog*>(box)->exec();
    open_.erase(
        std::remove_if(open_.begin(), open_.end(),
                       [box](const QPointer<QWidget>& w) { return w.isNull() || w == box; }),
        open_.end());
    return result;
}

bool QtOperatorDialogs::ask(QWidget* parent, const QString& title, const QString& text) {
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::Yes);
    return run(&box) == QMessageBox::Yes;
}

void QtOperatorDialogs::tell(QWidget* parent, const QString& title, const QString& text, Icon icon,
                             const QString& helpFile, int helpContext) {
    const auto qtIcon = icon == Icon::Exclamation ? QMessageBox::Warning
                        : icon == Icon::Question  ? QMessageBox::Question
                                                  : QMessageBox::Information;
    QMessageBox box(qtIcon, title, text, QMessageBox::Ok, parent);
    if (!helpFile.isEmpty()) {
        box.addButton(QMessageBox::Help);
    }
    if (run(&box) == QMessageBox::Help) {
        openUrl(helpPageUrl(helpFile, helpContext));
    }
}

std::optional<QString> QtOperatorDialogs::chooseDirectory(QWidget* parent, const QString& title,
                                                          const QString& start) {
    QFileDialog dialog(parent, title, start);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    if (run(&dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().front();
}

bool QtOperatorDialogs::startDetached(const QString& program, const QStringList& arguments,
                                      QString* error) {
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    qint64 pid = 0;
    if (process.startDetached(&pid)) {
        return true;
    }
    if (error != nullptr) {
        *error = process.errorString();
    }
    return false;
}

bool QtOperatorDialogs::openUrl(const QUrl& url) {
    return QDesktopServices::openUrl(url);
}

void QtOperatorDialogs::dismissAll() {
    for (const QPointer<QWidget>& box : open_) {
        if (!box.isNull()) {
            static_cast<QDialog*>(box.data())->reject();
        }
    }
}

}  // namespace dnc::window
