#include "comm/dnc/DirectoryListing.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <ctime>

#include "comm/FerixComm.h"
#include "comm/dnc/DncFrames.h"
#include "comm/dnc/DncTransfers.h"
#include "comm/dnc/UnitDirectory.h"
#include "comm/files/FileIo.h"
#include "comm/files/PlainName.h"

namespace comm::dnc {

namespace {

void appendLittleEndian(std::string& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out += static_cast<char>(value % 256);
        value /= 256;
    }
}

ComError listingError(const std::string& what, int error) {
    return ComError{error, "FerixComm", what + ": " + systemDescription(error), "", 0};
}

}  // namespace

std::uint16_t dosTime(int hour, int minute, int second) {
    return static_cast<std::uint16_t>(hour * 2048 + minute * 32 + second / 2);
}

std::uint16_t dosDate(int year, int month, int day) {
    if (year < 1980) {
        return static_cast<std::uint16_t>(1 * 32 + 1);  // 1 January 1980
    }
    const int years = std::min(year - 1980, 127);
    return static_cast<std::uint16_t>(years * 512 + month * 32 + day);
}

std::string listingRecord(const ListingEntry& entry) {
    std::string record(1, '\0');
    appendLittleEndian(record, dosTime(entry.hour, entry.minute, entry.second), 2);
    appendLittleEndian(record, dosDate(entry.year, entry.month, entry.day), 2);
    appendLittleEndian(record, std::min<std::uint64_t>(entry.size, 0xFFFFFFFFu), 4);
    record += entry.name.substr(0, kListingNameLimit - 1);
    record.resize(kListingRecordSize, '\0');
    return record;
}

Expected<std::vector<ListingEntry>> listUnitDirectory(const std::filesystem::path& directory) {
    std::vector<ListingEntry> entries;
    std::error_code ec;
    std::filesystem::directory_iterator it(directory, ec);
    if (ec == std::errc::no_such_file_or_directory) {
        return entries;
    }
    for (const std::filesystem::directory_iterator end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.empty() || name.front() == '.' || isChainFileName(name) ||
            name.size() >= kListingNameLimit) {
            continue;
        }
        // Only regular files are programs; a link (dangling or not) is never sent, and an
        // entry gone or unreadable since the directory was read is left out of the list.
        struct stat info {};
        if (::lstat(it->path().c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
            continue;
        }
        std::tm local{};
        localtime_r(&info.st_mtime, &local);
        entries.push_back({name, static_cast<std::uint64_t>(info.st_size), local.tm_year + 1900,
                           local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                           local.tm_sec});
    }
    if (ec) {
        return listingError(directory.string(), ec.value());
    }
    std::sort(entries.begin(), entries.end(),
              [](const ListingEntry& a, const ListingEntry& b) { return a.name < b.name; });
    return entries;
}

Status DncTransfers::SendDirectoryListing(std::uint8_t unit) {
    if (control_.Protocol() != ProtDNC) {
        return {};
    }
    const Expected<std::filesystem::path> directory = unitDirectory(control_, unit);
    if (!directory) {
        return directory.error();
    }
    const Expected<std::vector<ListingEntry>> entries = listUnitDirectory(directory.value());
    if (!entries) {
        // The unit waits for the closing block of its request: it gets it, with the failure.
        (void)blocks_.SendFinalConfirmation(unit, 0, kStatusFailed);
        return entries.error();
    }
    std::uint8_t block = kFirstBlockNumber;
    for (const ListingEntry& entry : entries.value()) {
        control_.indicator().StepIndicator();
        if (Status s = blocks_.SendBlock(unit, block, listingRecord(entry)); !s) {
            return s;
        }
        block = nextBlockNumber(block);
    }
    return blocks_.SendFinalConfirmation(unit, 0, kStatusComplete);
}

}  // namespace comm::dnc
