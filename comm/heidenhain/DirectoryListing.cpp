#include "comm/heidenhain/DirectoryListing.h"

#include <algorithm>
#include <system_error>
#include <utility>
#include <vector>

#include "comm/files/FileIo.h"
#include "comm/files/PlainName.h"

namespace comm::heidenhain {

namespace {

ComError listingError(const std::filesystem::path& directory, const std::error_code& ec) {
    return ComError{ec.value(), "FerixComm",
                    directory.string() + ": " + systemDescription(ec.value()), "", 0};
}

}  // namespace

Expected<std::string> directoryListing(const std::filesystem::path& directory,
                                       std::string_view listingName) {
    std::error_code ec;
    std::filesystem::directory_iterator it(directory, ec);
    if (ec) {
        return listingError(directory, ec);
    }
    std::vector<std::pair<std::string, std::uintmax_t>> files;
    for (const std::filesystem::directory_iterator end; it != end; it.increment(ec)) {
        if (ec) {
            return listingError(directory, ec);
        }
        const std::string name = it->path().filename().string();
        if (name == listingName || name.starts_with('.') || isChainFileName(name)) {
            continue;
        }
        // Only regular files are programs: links are never sent, and an entry that cannot be
        // read is left out of the list instead of ending it.
        std::error_code entryError;
        const std::filesystem::file_status status = it->symlink_status(entryError);
        if (entryError || !std::filesystem::is_regular_file(status)) {
            continue;
        }
        const std::uintmax_t size = it->file_size(entryError);
        if (entryError) {
            continue;
        }
        files.emplace_back(name, size);
    }
    if (ec) {
        return listingError(directory, ec);
    }
    std::sort(files.begin(), files.end());
    std::string listing;
    for (const auto& [name, size] : files) {
        listing += name + " " + std::to_string(size) + "\r\n";
    }
    return listing;
}

}  // namespace comm::heidenhain
