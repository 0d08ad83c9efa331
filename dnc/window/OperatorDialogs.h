// Everything of the sub-net window that waits for the operator or leaves the program: message
// boxes, the directory picker, starting external programs, opening a page in the browser.
// The window calls only this interface; tests answer it.
#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>
#include <optional>

class QWidget;

namespace dnc::window {

class OperatorDialogs {
public:
    enum class Icon { Information, Exclamation, Question };

    virtual ~OperatorDialogs() = default;

    // A Yes/No question; true only for Yes.
    virtual bool ask(QWidget* parent, const QString& title, const QString& text) = 0;
    // A message with OK (and Help when `helpFile` is not empty).
    virtual void tell(QWidget* parent, const QString& title, const QString& text, Icon icon,
                      const QString& helpFile = {}, int helpContext = 0) = 0;
    // A directory chosen starting from `start`; nothing when cancelled.
    virtual std::optional<QString> chooseDirectory(QWidget* parent, const QString& title,
                                                   const QString& start) = 0;
    // Starts a program detached, without a shell. False with the reason when it did not start.
    virtual bool startDetached(const QString& program, const QStringList& arguments,
                               QString* error) = 0;
    // Opens a page or file in the desktop's browser.
    virtual bool openUrl(const QUrl& url) = 0;
    // Closes every box that is open now (the window is closing): each returns as cancelled.
    virtual void dismissAll() = 0;
};

}  // namespace dnc::window
