#include "conversion/lentra/WorkFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "conversion/lentra/LentraMessages.h"

namespace lentra {

namespace {

bool sameFile(const struct stat& a, const std::string& path) {
    struct stat b {};
    return ::stat(path.c_str(), &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace

std::string workFileName(std::string_view path) {
    const std::size_t nameStart = path.find_last_of('/') + 1;  // npos + 1 == 0
    const std::size_t dot = path.find_last_of('.');
    const std::size_t baseEnd =
        (dot != std::string_view::npos && dot >= nameStart) ? dot : path.size();
    return std::string(path.substr(0, baseEnd)) + ".$TM";
}

int openWorkFile(const std::string& work, const std::string& input, const std::string& output) {
    struct stat existing {};
    if (::stat(work.c_str(), &existing) == 0 &&
        (sameFile(existing, input) || sameFile(existing, output))) {
        return -1;
    }
    // A work file left as a link by someone else must not redirect the output elsewhere.
    return ::open(work.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666);
}

std::string replaceOutput(const std::string& work, const std::string& output) {
    // The output must exist as a file, as it had to be deleted before; the rename then
    // replaces it in one step, so no moment passes without a complete output file.
    struct stat existing {};
    if (::lstat(output.c_str(), &existing) != 0 || S_ISDIR(existing.st_mode)) {
        return std::string(kDeleteFailedText) + output;
    }
    if (::rename(work.c_str(), output.c_str()) != 0) {
        return std::string(kRenameFailedText) + work;
    }
    return {};
}

}  // namespace lentra
