#include "dnc/window/IncludeExclude.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "dnc/config/ChainFile.h"
#include "dnc/window/ChainRunner.h"
#include "dnc/window/TargetNames.h"

namespace dnc {

namespace {

bool writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

std::string systemProblem(const std::string& what, int error) {
    return what + ": " + std::strerror(error);
}

// Copies the open `in` to the open `out`; errno of the failure, 0 on success.
int copyContents(int in, int out) {
    char chunk[65536];
    while (true) {
        const ssize_t n = ::read(in, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return errno;
        }
        if (n == 0) {
            return ::fsync(out) == 0 ? 0 : errno;
        }
        if (!writeAll(out, chunk, static_cast<std::size_t>(n))) {
            return errno;
        }
    }
}

}  // namespace

std::string copyReplacing(const std::filesystem::path& source,
                          const std::filesystem::path& target) {
    const int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        return systemProblem(source.string(), errno);
    }
    std::string pattern = target.string() + ".XXXXXX";
    const int out = ::mkstemp(pattern.data());
    if (out < 0) {
        const int error = errno;
        ::close(in);
        return systemProblem(target.string(), error);
    }
    ::fchmod(out, 0644);
    int error = copyContents(in, out);
    ::close(in);
    if (::close(out) != 0 && error == 0) {
        error = errno;
    }
    if (error == 0 && ::rename(pattern.c_str(), target.c_str()) != 0) {
        error = errno;
    }
    if (error != 0) {
        ::unlink(pattern.c_str());
        return systemProblem(target.string(), error);
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
