// The sub-net window's conversions: include from the PC program directory into the unit
// directory, exclude back, each through the unit's chain, and deleting from the unit directory.
#include <QComboBox>
#include <QCoreApplication>
#include <QListWidget>
#include <QProgressBar>
#include <filesystem>
#include <system_error>

#include "dnc/window/ConversionStrings.h"
#include "dnc/window/IncludeExclude.h"
#include "dnc/window/frmConfirmConversion.h"
#include "dnc/window/frmDNC.h"
#include "dnc/window/frmDNCParts.h"
#include "dnc/window/rules/ConversionChoices.h"

namespace dnc::window {

using parts::BusyPointer;
using parts::lookup;
using parts::q;
using parts::s;

namespace {

// Every failure of a run becomes a message box of the window, as the run meets it.
class WindowReporter : public ConversionReporter {
public:
    WindowReporter(QWidget* window, OperatorDialogs& dialogs)
        : window_(window), dialogs_(dialogs) {}

    void stepFinished(const std::filesystem::path& file, const StepOutcome& outcome) override {
        if (outcome.kind == StepOutcome::Kind::Converted) {
            return;
        }
        // A library that cannot be used is an error of the program ("Error..."); a step that
        // reports failure gives the library's own text and help ("Conversion Error...").
        const int title = outcome.kind == StepOutcome::Kind::LibraryUnavailable
                              ? convstr::kError
                              : convstr::kConversionError;
        QString text = q(outcome.description);
        if (outcome.kind == StepOutcome::Kind::LibraryUnavailable) {
            text = q(file.filename().string()) + QStringLiteral(": ") + text;
        }
        dialogs_.tell(window_, q(lookup(title)), text, OperatorDialogs::Icon::Exclamation,
                      q(outcome.helpFile), outcome.helpContext);
    }

    void copyFailed(const std::filesystem::path& source, const std::filesystem::path& target,
                    const std::string& description) override {
        const QString text =
            q(lookup(convstr::kCopyFailed)).arg(q(source.string()), q(target.string())) +
            QLatin1Char('\n') + q(description);
        dialogs_.tell(window_, q(lookup(convstr::kError)), text,
                      OperatorDialogs::Icon::Exclamation);
    }

private:
    QWidget* window_;
    OperatorDialogs& dialogs_;
};

std::vector<std::string> selectedNames(const QListWidget* list) {
    std::vector<std::string> names;
    for (int i = 0; i < list->count(); ++i) {
        if (list->item(i)->isSelected()) {
            names.push_back(s(list->item(i)->text()));
        }
    }
    return names;
}

std::vector<std::string> comboTexts(const QComboBox* box) {
    std::vector<std::string> texts;
    for (int i = 0; i < box->count(); ++i) {
        texts.push_back(s(box->itemText(i)));
    }
    return texts;
}

}  // namespace

void frmDNC::actConversionIn() {
    runConversion(true);
}

void frmDNC::actConversionOut() {
    runConversion(false);
}

void frmDNC::runConversion(bool include) {
    if (conversionRunning_ || closed_) {
        return;
    }
    const int unit = selectedUnit();
    QListWidget* source = include ? listDir_ : listFerixDir_;
    const std::vector<std::string> files = selectedNames(source);
    if (unit == 0 || files.empty()) {
        dialogs_.tell(this, appTitle(), q(lookup(convstr::kNoFileSelected)),
                      OperatorDialogs::Icon::Information);
        return;
    }
    if (!confirm_) {
        confirm_ = new frmConfirmConversion(this);
    }
    if (include) {
        confirm_->prepareInclude(files, includeKindChoices(settings_, lookup));
    } else {
        confirm_->prepareExclude(files, excludeExtensionChoices(comboTexts(comboDirPattern_)),
                                 maskExtension(s(comboDirPattern_->currentText())));
    }
    if (!confirm_->confirm() || closed_) {
        return;
    }

    const std::filesystem::path pcDirectory = s(listDirPath(unit));
    const std::filesystem::path unitDirectory = settings_.unitDirectory(unit);
    IncludeExcludeRequest request;
    request.direction = include ? TransferDirection::Include : TransferDirection::Exclude;
    request.sourceDirectory = include ? pcDirectory : unitDirectory;
    request.targetDirectory = include ? unitDirectory : pcDirectory;
    request.unitDirectory = unitDirectory;
    request.files = files;
    request.typedBaseName = confirm_->baseName();
    request.extension = confirm_->extension();
    request.withoutConversion = confirm_->withoutConversion();
    request.journal = options_.journal;
    request.subNet = id_;
    request.caption = settings_.caption;
    request.unit = unit;
    // Long runs show which file is at work and keep the window painted; the operator's input
    // waits until the run ends (the run has the directories to itself).
    request.progress = [this, include, unit, &files](std::size_t done, std::size_t total) {
        if (closed_) {
            return false;
        }
        if (done > 0) {
            if (include) {
                RefreshFerixDirectory(unit);
            } else {
                RefreshPCDirectory({});
            }
        }
        if (done < total) {
            progressBar_->setValue(static_cast<int>(done * 100 / total));
            progressBar_->show();
            setInfo(q(lookup(include ? convstr::kIncluding : convstr::kExcluding))
                        .arg(static_cast<qulonglong>(done + 1))
                        .arg(static_cast<qulonglong>(total))
                        .arg(q(files[done])));
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        }
        return !closed_;
    };

    if (!libraries_) {
        libraries_ = std::make_unique<ConversionLibraries>(options_.conversionLibraries);
    }
    WindowReporter reporter(this, dialogs_);
    conversionRunning_ = true;
    {
        BusyPointer busy;
        runIncludeExclude(request, *libraries_, reporter);
    }
    conversionRunning_ = false;
    if (!closed_) {
        progressBar_->hide();
        setInfo({});
    }
}

void frmDNC::actConversionRemove() {
    const int unit = selectedUnit();
    if (unit == 0 || conversionRunning_ || closed_) {
        return;
    }
    const std::vector<std::string> files = selectedNames(listFerixDir_);
    if (files.empty()) {
        dialogs_.tell(this, appTitle(), q(lookup(convstr::kNoFileSelected)),
                      OperatorDialogs::Icon::Information);
        return;
    }
    if (!dialogs_.ask(this, appTitle(), q(lookup(convstr::kDeleteFromUnitDirectory)))) {
        return;
    }
    const std::filesystem::path directory = settings_.unitDirectory(unit);
    IncludeExcludeRequest where;
    where.journal = options_.journal;
    where.subNet = id_;
    where.caption = settings_.caption;
    where.unit = unit;
    for (const std::string& name : files) {
        const std::filesystem::path file = directory / name;
        if (const std::error_code ec = removeFromUnitDirectory(where, file)) {
            tellError(q(file.string()) + QStringLiteral(": ") + q(ec.message()), {}, 0);
        }
    }
    RefreshFerixDirectory(unit);
}

}  // namespace dnc::window
