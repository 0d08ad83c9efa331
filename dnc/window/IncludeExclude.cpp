#include "dnc/window/IncludeExclude.h"

#include <chrono>

#include "comm/files/FileIo.h"
#include "comm/files/PlainName.h"
#include "dnc/common/UserNames.h"
#include "dnc/config/ChainFile.h"
#include "dnc/window/ChainRunner.h"
#include "dnc/window/TargetNames.h"

namespace dnc {

namespace {

// Passes everything on and keeps the first failure of the current file, for the history.
class FirstFailure : public ConversionReporter {
public:
    explicit FirstFailure(ConversionReporter& inner) : inner_(inner) {}

    void stepFinished(const std::filesystem::path& file, const StepOutcome& outcome) override {
        if (outcome.kind != StepOutcome::Kind::Converted && first.empty()) {
            first = outcome.step + ": " +
                    (outcome.description.empty() ? std::string("failed") : outcome.description);
        }
        inner_.stepFinished(file, outcome);
    }
    void copyFailed(const std::filesystem::path& source, const std::filesystem::path& target,
                    const std::string& description) override {
        inner_.copyFailed(source, target, description);
    }

    std::string first;

private:
    ConversionReporter& inner_;
};

void recordFile(const IncludeExcludeRequest& request, const std::filesystem::path& target,
                const std::string& failure, bool written) {
    if (request.journal == nullptr) {
        return;
    }
    history::TransferRecord record;
    record.time = std::chrono::system_clock::now();
    record.subNet = request.subNet;
    record.caption = request.caption;
    record.unit = request.unit;
    record.direction = request.direction == TransferDirection::Include
                           ? history::Direction::Include
                           : history::Direction::Exclude;
    record.startedBy = history::StartedBy::Window;
    record.user = processUserName();
    record.name = target.filename().string();
    record.path = target.string();
    record.outcome = failure.empty() ? history::Outcome::Done : history::Outcome::Failed;
    record.error = failure;
    if (written) {
        if (auto stored = comm::readWholeFile(target); stored) {
            record.content = stored.value();
            record.stored = true;
        }
    }
    request.journal->record(std::move(record));
}

}  // namespace

std::string copyReplacing(const std::filesystem::path& source,
                          const std::filesystem::path& target) {
    const auto bytes = comm::readWholeFile(source);
    if (!bytes) {
        return bytes.error().description;
    }
    if (const comm::Status copied = comm::replaceFileAtomically(target, bytes.value()); !copied) {
        return copied.error().description;
    }
    return {};
}

std::vector<std::filesystem::path> runIncludeExclude(const IncludeExcludeRequest& request,
                                                     ConversionLibraries& libraries,
                                                     ConversionReporter& reporter) {
    const bool include = request.direction == TransferDirection::Include;
    const std::vector<std::string> chain =
        loadChainFile(request.unitDirectory /
                      std::string(include ? kIncludeChainFileName : kExcludeChainFileName));
    FirstFailure failures(reporter);
    ChainRunner runner(libraries, failures);
    std::vector<std::filesystem::path> written;
    const auto goOn = [&request](std::size_t done) {
        return !request.progress || request.progress(done, request.files.size());
    };
    for (std::size_t index = 0; index < request.files.size(); ++index) {
        if (!goOn(index)) {
            return written;
        }
        const std::string& file = request.files[index];
        const std::filesystem::path source = request.sourceDirectory / file;
        const std::string base =
            request.files.size() == 1 ? request.typedBaseName : baseNameOfSeveral(file, include);
        std::string problem;
        const std::string targetName = targetFileName(base, request.extension, problem);
        if (include && problem.empty() && comm::isChainFileName(targetName)) {
            problem = comm::unitFileNameProblem(targetName);  // never overwrite a chain
        }
        std::string sourceProblem;
        if (targetFileName(file, "", sourceProblem).empty()) {
            problem = sourceProblem;
        }
        if (!problem.empty()) {
            reporter.copyFailed(source, request.targetDirectory / base, problem);
            recordFile(request, request.targetDirectory / base, problem, false);
            continue;
        }
        const std::filesystem::path target = request.targetDirectory / targetName;
        if (std::string copyProblem = copyReplacing(source, target); !copyProblem.empty()) {
            reporter.copyFailed(source, target, copyProblem);
            recordFile(request, target, copyProblem, false);
            continue;
        }
        failures.first.clear();
        if (!request.withoutConversion && !chain.empty()) {
            runner.run(target, chain);
        }
        written.push_back(target);
        recordFile(request, target, failures.first, true);
    }
    goOn(request.files.size());
    return written;
}

std::error_code removeFromUnitDirectory(const IncludeExcludeRequest& request,
                                        const std::filesystem::path& file) {
    auto content = comm::readWholeFile(file);
    std::error_code ec;
    if (!std::filesystem::remove(file, ec) && !ec) {
        ec = std::make_error_code(std::errc::no_such_file_or_directory);
    }
    if (ec || request.journal == nullptr) {
        return ec;
    }
    history::TransferRecord record;
    record.time = std::chrono::system_clock::now();
    record.subNet = request.subNet;
    record.caption = request.caption;
    record.unit = request.unit;
    record.startedBy = history::StartedBy::Window;
    record.user = processUserName();
    record.name = file.filename().string();
    record.path = file.string();
    record.deletion = true;
    if (content) {
        record.content = std::move(content.value());
    }
    request.journal->record(std::move(record));
    return ec;
}

}  // namespace dnc
