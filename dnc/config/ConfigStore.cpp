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

// A line the parser reads as it is meant: blank, a comment, a section header, or
// "key=value". A "[" without its "]" would make the parser take the text up to the next "="
// as a section name, and a NUL would end its reading of the file, so that the next write
// saved such a section damaged and dropped everything behind the NUL.
bool isReadableLine(std::string_view line) {
    if (line.find('\0') != std::string_view::npos) {
        return false;
    }
    const auto first = line.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return true;
    }
    const char c = line[first];
    if (c == ';' || c == '#') {
        return true;
    }
    if (c == '[') {
        return line.find(']', first) != std::string_view::npos;
    }
    return c != '=' && line.find('=') != std::string_view::npos;
}

// The text with every unreadable line blanked, each one warned about with its line number.
// Lines end at a line feed or a CR, as the parser has them.
std::string readableText(const std::string& text, const std::filesystem::path& file,
                         const ConfigStore::Warning& warn) {
    std::string readable;
    readable.reserve(text.size());
    std::size_t lineNumber = 1;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find_first_of("\r\n", start), text.size());
        const std::string_view line(text.data() + start, end - start);
        // The parser takes a byte order mark off the start of the file only; one that
        // begins a later line would read as part of a name there, and differently once a
        // write has moved the line to the start.
        constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
        const bool fileStart = start == 0 && line.starts_with(kByteOrderMark);
        const std::string_view content = fileStart ? line.substr(kByteOrderMark.size()) : line;
        const std::size_t first = std::min(content.find_first_not_of(" \t"), content.size());
        if (isReadableLine(content) && !content.substr(first).starts_with(kByteOrderMark)) {
            readable.append(line);
        } else {
            warn(file.string() + ":" + std::to_string(lineNumber) +
                 ": line skipped, it is not \"key=value\" or a [section]");
        }
        if (end < text.size()) {
            readable.push_back(text[end]);
            lineNumber += text[end] == '\n' ? 1 : 0;
        }
        start = end + 1;
    }
    return readable;
}

bool load(Ini& ini, const std::filesystem::path& file, const ConfigStore::Warning& warn) {
    configure(ini);
    const auto text = comm::readWholeFile(file);
    if (!text.ok()) {
        return false;  // an absent store reads as empty
    }
    if (ini.LoadData(readableText(text.value(), file, warn)) < 0) {
        warn(file.string() + ": cannot be read; its values are ignored");
        return false;
    }
    return true;
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

// One lock per store file inside the process, and an flock between processes.
std::mutex& processLock(const std::filesystem::path& file) {
    static std::mutex guard;
    static std::map<std::string, std::unique_ptr<std::mutex>> locks;
    std::lock_guard<std::mutex> hold(guard);
    auto& lock = locks[std::filesystem::absolute(file).lexically_normal().string()];
    if (!lock) {
        lock = std::make_unique<std::mutex>();
    }
    return *lock;
}

class FileLock {
public:
    explicit FileLock(const std::filesystem::path& file) {
        const std::string path = file.string() + ".lock";
        fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
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
        if (name.size() == key.size() &&
            std::equal(name.begin(), name.end(), key.begin(), [](char a, char b) {
                return std::tolower(static_cast<unsigned char>(a)) ==
                       std::tolower(static_cast<unsigned char>(b));
            })) {
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
    std::lock_guard<std::mutex> inProcess(processLock(file_));
    std::error_code ec;
    if (file_.has_parent_path()) {
        std::filesystem::create_directories(file_.parent_path(), ec);
    }
    FileLock betweenProcesses(file_);
    // Nobody else writes now: temporary files still here belong to writers that were killed.
    comm::removeStaleTemporaries(file_);
    Ini ini;
    load(ini, file_, [](const std::string&) {});  // the readers already warned
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
    const comm::Status written = comm::replaceFileAtomically(file_, text);
    if (!written.ok()) {
        warn_("settings not saved: " + written.error().description);
        return false;
    }
    return true;
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
