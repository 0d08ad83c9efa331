#include "dnc/config/ConfigStore.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

// The library is used header-only, in its case-insensitive form, without wide characters.
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <mutex>
#include <string_view>

#include "comm/files/FileIo.h"
#include "dnc/config/IniText.h"
#include "dnc/config/SettingsCheck.h"
#include "dnc/config/SettingsFile.h"
#include "dnc/config/TextForms.h"

namespace dnc {

namespace {

using Ini = CSimpleIniA;

void configure(Ini& ini) {
    ini.SetUnicode(true);
    ini.SetMultiKey(false);
    ini.SetMultiLine(false);
    ini.SetQuotes(true);
    ini.SetSpaces(false);
    ini.SetAllowKeyOnly(false);
}

bool loadText(Ini& ini, const std::string& text, const std::filesystem::path& file,
              const ConfigStore::Warning& warn) {
    configure(ini);
    // Lines the parser would misread are left out; the settings check reports them.
    if (ini.LoadData(readableIniText(text, scanIniText(text))) < 0) {
        warn(file.string() + ": cannot be read; its values are ignored");
        return false;
    }
    return true;
}

bool load(Ini& ini, const std::filesystem::path& file, const ConfigStore::Warning& warn) {
    configure(ini);
    const auto text = readSettingsText(file);
    if (!text.ok()) {
        return false;  // an absent store reads as empty; an unreadable one refuses writes
    }
    return loadText(ini, text.value(), file, warn);
}

// The parser trims blanks around a value and takes one pair of double quotes around it off,
// so a value that begins or ends with a blank, or is itself in double quotes, is saved in
// quotes to read back as it was written.
void quoteWhereNeeded(Ini& ini) {
    Ini::TNamesDepend sections;
    ini.GetAllSections(sections);
    for (const auto& section : sections) {
        Ini::TNamesDepend keys;
        ini.GetAllKeys(section.pItem, keys);
        for (const auto& key : keys) {
            const std::string value = ini.GetValue(section.pItem, key.pItem, "");
            const bool blankAround =
                !value.empty() && (value.front() == ' ' || value.front() == '\t' ||
                                   value.back() == ' ' || value.back() == '\t');
            const bool quoted = value.size() >= 2 && value.front() == '"' && value.back() == '"';
            if (blankAround || quoted) {
                ini.SetValue(section.pItem, key.pItem, ("\"" + value + "\"").c_str());
            }
        }
    }
}

// The comment lines after the last section header or entry, one after the other. The parser
// keeps a comment with the header or key below it, so these would be lost with the next write.
std::string trailingComments(const std::string& text) {
    const std::vector<IniLine> lines = scanIniText(text);
    std::size_t from = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].kind == IniLine::Kind::Section || lines[i].kind == IniLine::Kind::Entry) {
            from = i + 1;
        }
    }
    std::string comments;
    for (std::size_t i = from; i < lines.size(); ++i) {
        if (lines[i].kind == IniLine::Kind::Comment) {
            std::string_view line(text.data() + lines[i].begin, lines[i].end - lines[i].begin);
            if (lines[i].begin == 0 && line.starts_with("\xEF\xBB\xBF")) {
                line.remove_prefix(3);  // the file's byte order mark stays at its start
            }
            comments.append(comments.empty() ? "" : "\n").append(line);
        }
    }
    return comments;
}

// One lock per store file inside the process, and an flock between processes. Beside the
// lock, what this process last wrote to the file: a file that still holds exactly that has
// not been edited since, and its backup (if one was needed) has been made.
struct FileState {
    std::mutex lock;
    std::optional<std::size_t> lastWritten;
};

FileState& fileState(const std::filesystem::path& file) {
    static std::mutex guard;
    static std::map<std::string, std::unique_ptr<FileState>> states;
    std::lock_guard<std::mutex> hold(guard);
    auto& state = states[std::filesystem::absolute(file).lexically_normal().string()];
    if (!state) {
        state = std::make_unique<FileState>();
    }
    return *state;
}

std::size_t fingerprint(std::string_view text) {
    return std::hash<std::string_view>{}(text);
}

// The lock file is hidden beside the store, so that the folder shows only the settings (and
// their backup). It is beside the store rather than in $XDG_RUNTIME_DIR so that it excludes
// the writers of every user that can write the store.
std::filesystem::path lockPath(const std::filesystem::path& file) {
    return file.parent_path() / ("." + file.filename().string() + ".lock");
}

// Earlier versions kept a visible "DNC.ini.lock"; it goes once nobody holds it.
void removeVisibleLock(const std::filesystem::path& file) {
    const std::string old = file.string() + ".lock";
    const int fd = ::open(old.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        return;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        ::unlink(old.c_str());
    }
    ::close(fd);
}

class FileLock {
public:
    explicit FileLock(const std::filesystem::path& file) {
        fd_ = ::open(lockPath(file).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd_ >= 0) {
            while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
            }
        }
    }
    ~FileLock() {
        if (fd_ >= 0) {
            ::flock(fd_, LOCK_UN);
            ::close(fd_);
        }
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    int fd_ = -1;
};

}  // namespace

StoreSection::StoreSection(std::vector<std::pair<std::string, std::string>> values)
    : values_(std::move(values)) {}

std::optional<std::string> StoreSection::find(const std::string& key) const {
    for (const auto& [name, value] : values_) {
        if (sameName(name, key)) {
            return value;
        }
    }
    return std::nullopt;
}

std::string StoreSection::readString(const std::string& key,
                                     const std::string& defaultValue) const {
    return find(key).value_or(defaultValue);
}

bool StoreSection::readBool(const std::string& key, bool defaultValue) const {
    const auto text = find(key);
    return text ? parseBool(*text).value_or(defaultValue) : defaultValue;
}

std::int64_t StoreSection::readInt(const std::string& key, std::int64_t defaultValue,
                                   std::int64_t min, std::int64_t max) const {
    const auto text = find(key);
    return text ? parseInt(*text, min, max).value_or(defaultValue) : defaultValue;
}

double StoreSection::readDouble(const std::string& key, double defaultValue) const {
    const auto text = find(key);
    return text ? parseDouble(*text).value_or(defaultValue) : defaultValue;
}

ConfigStore::ConfigStore(std::filesystem::path file, Warning warn)
    : file_(std::move(file)), warn_(std::move(warn)) {
    if (!warn_) {
        warn_ = [](const std::string& text) { std::cerr << "warning: " << text << '\n'; };
    }
}

std::optional<std::string> ConfigStore::problem() const {
    return settingsFileProblem(file_);
}

StoreSection ConfigStore::section(const std::string& name) const {
    Ini ini;
    load(ini, file_, warn_);
    Ini::TNamesDepend keys;
    std::vector<std::pair<std::string, std::string>> values;
    if (ini.GetAllKeys(name.c_str(), keys)) {
        keys.sort(Ini::Entry::LoadOrder());
        for (const auto& key : keys) {
            const char* value = ini.GetValue(name.c_str(), key.pItem, nullptr);
            values.emplace_back(key.pItem, value != nullptr ? value : "");
        }
    }
    return StoreSection(std::move(values));
}

std::vector<std::string> ConfigStore::sectionNames() const {
    Ini ini;
    load(ini, file_, warn_);
    Ini::TNamesDepend sections;
    ini.GetAllSections(sections);
    sections.sort(Ini::Entry::LoadOrder());
    std::vector<std::string> names;
    for (const auto& s : sections) {
        names.emplace_back(s.pItem);
    }
    return names;
}

bool ConfigStore::write(const std::string& section, const Values& values) {
    FileState& state = fileState(file_);
    std::lock_guard<std::mutex> inProcess(state.lock);
    std::error_code ec;
    if (file_.has_parent_path()) {
        std::filesystem::create_directories(file_.parent_path(), ec);
    }
    FileLock betweenProcesses(file_);
    // Nobody else writes now: temporary files still here belong to writers that were killed.
    comm::removeStaleTemporaries(file_);
    comm::removeStaleTemporaries(backupPath(file_));
    removeVisibleLock(file_);
    // A file that is there but cannot be read holds settings nobody knows: writing would
    // replace them with defaults.
    if (const std::optional<std::string> problem = settingsFileProblem(file_)) {
        warn_("settings not saved: " + *problem + "; the file is left as it is");
        return false;
    }
    const auto before = readSettingsText(file_);
    if (!before.ok() && before.error().number != ENOENT) {
        warn_("settings not saved: " + before.error().description + "; the file is left as it is");
        return false;
    }
    const std::string current = before.ok() ? before.value() : std::string();
    if (before.ok() && state.lastWritten != fingerprint(current) && !keepBackup(current)) {
        return false;
    }
    Ini ini;
    loadText(ini, current, file_, [](const std::string&) {});
    for (const auto& [key, value] : values) {
        // Values are one line each: a line break would split the entry on the next read.
        std::string oneLine = value;
        for (char& c : oneLine) {
            if (c == '\n' || c == '\r') {
                c = ' ';
            }
        }
        ini.SetValue(section.c_str(), key.c_str(), oneLine.c_str());
    }
    quoteWhereNeeded(ini);
    std::string text;
    if (ini.Save(text) < 0) {
        warn_(file_.string() + ": cannot be written");
        return false;
    }
    if (const std::string comments = trailingComments(current);
        !comments.empty() && text.find(comments) == std::string::npos) {
        text += (text.empty() || text.back() == '\n' ? "" : "\n") + comments + "\n";
    }
    // A link stays a link: its target is replaced, beside itself.
    const comm::Status written = comm::replaceFileAtomically(linkTarget(file_), text);
    if (!written.ok()) {
        warn_("settings not saved: " + written.error().description);
        return false;
    }
    state.lastWritten = fingerprint(text);
    return true;
}

bool ConfigStore::keepBackup(const std::string& current) {
    const auto problems = checkSettingsText(file_, current);
    const auto lost = std::count_if(problems.begin(), problems.end(),
                                    [](const SettingProblem& p) { return p.lostOnWrite(); });
    if (lost == 0) {
        return true;
    }
    const std::filesystem::path backup = backupPath(file_);
    const comm::Status kept = comm::replaceFileAtomically(backup, current);
    if (!kept.ok()) {
        // Writing now would lose the person's text with no copy of it: the file stays.
        warn_("settings not saved: " + file_.string() +
              " holds text that saving would drop or replace, and its backup cannot be "
              "written: " +
              kept.error().description);
        return false;
    }
    warn_(file_.string() + ": " + std::to_string(lost) + (lost == 1 ? " line is" : " lines are") +
          " not used as written and will be dropped or replaced when the settings are saved; "
          "the file as it was is kept in " +
          backup.string());
    return true;
}

std::filesystem::path backupPath(const std::filesystem::path& file) {
    return file.string() + ".bak";
}

std::filesystem::path configPath(const std::optional<std::string>& commandLine) {
    if (commandLine && !commandLine->empty()) {
        return *commandLine;
    }
    if (const char* env = std::getenv("FERIXDNC_CONFIG"); env != nullptr && *env != '\0') {
        return env;
    }
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && *xdg == '/') {
        return std::filesystem::path(xdg) / "DNC" / "DNC.ini";
    }
    const char* home = std::getenv("HOME");
    return std::filesystem::path(home != nullptr ? home : ".") / ".config" / "DNC" / "DNC.ini";
}

}  // namespace dnc
