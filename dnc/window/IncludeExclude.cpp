#include "dnc/window/IncludeExclude.h"

#include "comm/files/FileIo.h"
#include "dnc/config/ChainFile.h"
#include "dnc/window/ChainRunner.h"
#include "dnc/window/TargetNames.h"

namespace dnc {

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
    ChainRunner runner(libraries, reporter);
    std::vector<std::filesystem::path> written;
    for (const std::string& file : request.files) {
        const std::filesystem::path source = request.sourceDirectory / file;
        const std::string base =
            request.files.size() == 1 ? request.typedBaseName : baseNameOfSeveral(file, include);
        std::string problem;
        const std::string targetName = targetFileName(base, request.extension, problem);
        std::string sourceProblem;
        if (targetFileName(file, "", sourceProblem).empty()) {
            problem = sourceProblem;
        }
        if (!problem.empty()) {
            reporter.copyFailed(source, request.targetDirectory / base, problem);
            continue;
        }
        const std::filesystem::path target = request.targetDirectory / targetName;
        if (std::string copyProblem = copyReplacing(source, target); !copyProblem.empty()) {
            reporter.copyFailed(source, target, copyProblem);
            continue;
        }
        if (!request.withoutConversion && !chain.empty()) {
            runner.run(target, chain);
        }
        written.push_back(target);
    }
    return written;
}

}  // namespace dnc
