#include "dnc/history/HistoryStore.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>

#include "dnc/history/HistoryDatabase.h"
#include "dnc/history/PostgresHistory.h"
#include "dnc/history/ServerLocation.h"
#include "dnc/history/Sha256.h"

namespace dnc::history {

namespace {

constexpr std::size_t kShortestHashPrefix = 8;

std::string hostName() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') {
        return "localhost";
    }
    return name;
}

}  // namespace

PreparedRecord prepare(TransferRecord record) {
    PreparedRecord prepared;
    if (record.content) {
        prepared.size = static_cast<std::int64_t>(record.content->size());
        prepared.sha256 = sha256Hex(*record.content);
    }
    prepared.record = std::move(record);
    return prepared;
}

std::string siteName(const std::string& configured) {
    return configured.empty() ? hostName() : configured;
}

std::int64_t microseconds(std::chrono::system_clock::time_point time) {
    return std::chrono::duration_cast<std::chrono::microseconds>(time.time_since_epoch()).count();
}

std::optional<RevisionRow> revisionOf(const PreparedRecord& prepared) {
    using revisions::Source;
    const TransferRecord& r = prepared.record;
    std::optional<Source> source;
    if (r.deletion) {
        // A removal: its content (what the file held) may be unknown.
        source = r.startedBy == StartedBy::Unit ? Source::Unit : Source::Operator;
    } else if (!r.content) {
        return std::nullopt;
    } else if (r.direction == Direction::FromUnit && (r.stored || r.held)) {
        source = r.startedBy == StartedBy::Unit ? Source::Unit : Source::Operator;
    } else if (r.direction == Direction::Include && r.stored && r.outcome == Outcome::Done) {
        source = Source::Include;
    }
    if (!source) {
        return std::nullopt;
    }
    RevisionRow row;
    row.timeUs = microseconds(r.time);
    row.subNet = r.subNet;
    row.unit = r.unit;
    row.name = r.name;
    row.path = r.path;
    row.source = *source;
    row.sha256 = prepared.sha256.value_or(std::string());
    row.size = prepared.size.value_or(0);
    row.user = r.user.empty() ? revisions::unitUser(r.unit) : r.user;
    row.state = r.held ? revisions::State::Pending : revisions::State::Released;
    return row;
}

std::optional<std::string> hashPrefix(const std::string& hash, std::string& error) {
    std::string prefix = hash;
    for (char& c : prefix) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    const bool hex = std::all_of(prefix.begin(), prefix.end(), [](char c) {
        return std::isxdigit(static_cast<unsigned char>(c)) != 0;
    });
    if (!hex || prefix.size() < kShortestHashPrefix || prefix.size() > 64) {
        error = "\"" + hash + "\" is no SHA-256 (8 to 64 hexadecimal digits)";
        return std::nullopt;
    }
    return prefix;
}

std::unique_ptr<HistoryStore> openHistoryStore(const std::string& location,
                                               HistoryStore::Access access,
                                               const std::string& site) {
    const std::string name = siteName(site);
    if (isServerLocation(location)) {
        return std::make_unique<PostgresHistory>(location, access, name);
    }
    return std::make_unique<HistoryDatabase>(location, access, name);
}

}  // namespace dnc::history
