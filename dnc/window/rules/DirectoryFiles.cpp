#include "dnc/window/rules/DirectoryFiles.h"

#include "dnc/common/FileChecks.h"

#include <fnmatch.h>
#include <sys/stat.h>

#include <filesystem>

#include "comm/files/PlainName.h"

namespace fs = std::filesystem;

namespace dnc::window {

bool matchesMask(const std::string& name, const std::string& mask) {
    if (mask.empty() || mask == "*.*" || mask == "*") {
        return true;
    }
    return fnmatch(mask.c_str(), name.c_str(), FNM_CASEFOLD | FNM_PERIOD) == 0;
}

std::vector<ListEntry> listFiles(const std::string& directory, const std::string& mask,
                                 Listing kind) {
    std::vector<ListEntry> files;
    for (ListRow& row : listFileRows(directory, mask, kind)) {
        files.push_back(std::move(row.entry));
    }
    return files;
}

std::vector<ListRow> listFileRows(const std::string& directory, const std::string& mask,
                                  Listing kind) {
    std::vector<ListRow> files;
    std::error_code ec;
    fs::directory_iterator it(directory.empty() ? fs::path(".") : fs::path(directory), ec);
    if (ec) {
        return files;
    }
    for (const fs::directory_entry& entry : it) {
        const std::string name = entry.path().filename().string();
        if (name.empty() || name.front() == '.') {
            continue;
        }
        if (kind == Listing::UnitDirectory && comm::isChainFileName(name)) {
            continue;
        }
        std::error_code statError;
        // Links count by what they point to; anything but a regular file is skipped.
        if (!entry.is_regular_file(statError) || statError) {
            continue;
        }
        if (!matchesMask(name, mask)) {
            continue;
        }
        const auto size = entry.file_size(statError);
        ListRow row{{name, statError ? 0 : static_cast<std::int64_t>(size)}, std::nullopt};
        struct stat status {};
        if (::stat(entry.path().c_str(), &status) == 0) {
            row.modified = static_cast<std::int64_t>(status.st_mtime);
        }
        files.push_back(std::move(row));
    }
    sortRows(files, {});
    return files;
}

std::string trimDirectoryPath(const std::string& path) {
    return dnc::trimDirectoryPath(path);
}

bool directoryExists(const std::string& path) {
    return DirectoryExists(path);
}

}  // namespace dnc::window
