// The per-user settings store: an INI file of sections and keys whose values are text. Names
// compare without regard to letter case and keep the spelling first written; values are taken
// verbatim. Every write replaces the file atomically under a lock, so sub nets on several
// threads (and a second process) never lose each other's sections and a crash during a write
// never leaves a damaged store. A file edited by hand that holds text a write would drop or
// replace is first kept as it is in its backup (DNC.ini.bak).
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace dnc {

// One section as read from the store at one moment.
class StoreSection {
public:
    StoreSection() = default;
    explicit StoreSection(std::vector<std::pair<std::string, std::string>> values);

    std::optional<std::string> find(const std::string& key) const;
    std::string readString(const std::string& key, const std::string& defaultValue) const;
    bool readBool(const std::string& key, bool defaultValue) const;
    std::int64_t readInt(const std::string& key, std::int64_t defaultValue, std::int64_t min,
                         std::int64_t max) const;
    double readDouble(const std::string& key, double defaultValue) const;
    std::size_t size() const { return values_.size(); }
    const std::vector<std::pair<std::string, std::string>>& values() const { return values_; }

private:
    std::vector<std::pair<std::string, std::string>> values_;
};

class ConfigStore {
public:
    using Warning = std::function<void(const std::string&)>;
    using Values = std::vector<std::pair<std::string, std::string>>;

    // Notes of the writes (a failed write, a backup kept) go to `warn`; by default to stderr.
    // Reads say nothing: the settings check reports what a file holds.
    explicit ConfigStore(std::filesystem::path file, Warning warn = {});

    const std::filesystem::path& file() const { return file_; }

    // Why the file cannot be used (it is there but cannot be read, or is no text), or nothing.
    // Such a file is never written.
    std::optional<std::string> problem() const;

    StoreSection section(const std::string& name) const;
    std::vector<std::string> sectionNames() const;

    // Writes the values into the section (creating it), in the order given. Returns false
    // (after a warning) when the file could not be written; the store is then unchanged.
    bool write(const std::string& section, const Values& values);
    bool write(const std::string& section, const std::string& key, const std::string& value) {
        return write(section, Values{{key, value}});
    }

private:
    // Before the first write over a file that holds text the write would drop or replace
    // (a line the store cannot read, a value that does not hold), the file as it is goes to
    // its backup. False when that copy cannot be made.
    bool keepBackup(const std::string& current);

    std::filesystem::path file_;
    Warning warn_;
};

// The one backup of a store: the file's name followed by ".bak".
std::filesystem::path backupPath(const std::filesystem::path& file);

// Where the store lives: the --config file if given, else $FERIXDNC_CONFIG, else
// $XDG_CONFIG_HOME/DNC/DNC.ini, else ~/.config/DNC/DNC.ini.
std::filesystem::path configPath(const std::optional<std::string>& commandLine);

}  // namespace dnc
