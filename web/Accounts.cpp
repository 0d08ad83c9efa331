#include "web/Accounts.h"

#include <fcntl.h>
#include <sodium.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <sstream>

namespace web {

namespace {

constexpr std::size_t kMaxFileBytes = 1 << 20;
constexpr std::size_t kMaxPasswordBytes = 1024;

std::string systemError(const std::string& what, const std::filesystem::path& file) {
    return what + " " + file.string() + ": " + std::strerror(errno);
}

// Reads a regular file without following it into a device or a pipe that never ends.
std::optional<std::string> readRegular(const std::filesystem::path& file, std::string& error,
                                       bool& missing) {
    missing = false;
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        missing = errno == ENOENT;
        error = systemError("cannot open", file);
        return std::nullopt;
    }
    struct stat st {};
    std::optional<std::string> content;
    if (::fstat(fd, &st) != 0) {
        error = systemError("cannot read", file);
    } else if (!S_ISREG(st.st_mode)) {
        error = file.string() + " is not a regular file";
    } else if ((st.st_mode & S_IWOTH) != 0) {
        error = file.string() + " may be written by anyone: make it writable by its owner only";
    } else if (static_cast<std::size_t>(st.st_size) > kMaxFileBytes) {
        error = file.string() + " is too large for an accounts file";
    } else {
        std::string text(static_cast<std::size_t>(st.st_size), '\0');
        std::size_t got = 0;
        while (got < text.size()) {
            const ssize_t n = ::read(fd, text.data() + got, text.size() - got);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                break;
            }
            got += static_cast<std::size_t>(n);
        }
        if (got == text.size()) {
            content = std::move(text);
        } else {
            error = systemError("cannot read", file);
        }
    }
    ::close(fd);
    return content;
}

// A hash to check unknown names against, so that they cost as much as known ones.
const std::string& decoyHash() {
    static const std::string hash = [] {
        char out[crypto_pwhash_STRBYTES] = {};
        unsigned char random[16];
        randombytes_buf(random, sizeof random);
        const int rc = crypto_pwhash_str(out, reinterpret_cast<const char*>(random), sizeof random,
                                         crypto_pwhash_OPSLIMIT_INTERACTIVE,
                                         crypto_pwhash_MEMLIMIT_INTERACTIVE);
        return rc == 0 ? std::string(out) : std::string();
    }();
    return hash;
}

std::mutex& checkTurn() {
    static std::mutex turn;
    return turn;
}

}  // namespace

std::string_view roleName(Role role) {
    return role == Role::Approver ? "approver" : "viewer";
}

std::optional<Role> roleFromName(std::string_view name) {
    if (name == "viewer") {
        return Role::Viewer;
    }
    if (name == "approver") {
        return Role::Approver;
    }
    return std::nullopt;
}

bool validUserName(std::string_view name) {
    if (name.empty() || name.size() > 64) {
        return false;
    }
    for (const char c : name) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                        (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-' || c == '@';
        if (!ok) {
            return false;
        }
    }
    return true;
}

std::optional<Accounts> Accounts::load(const std::filesystem::path& file, std::string& error,
                                       bool missingIsEmpty) {
    if (sodium_init() < 0) {
        error = "libsodium cannot be initialized";
        return std::nullopt;
    }
    bool missing = false;
    const auto text = readRegular(file, error, missing);
    Accounts accounts;
    if (!text) {
        if (missing && missingIsEmpty) {
            error.clear();
            return accounts;
        }
        return std::nullopt;
    }
    std::istringstream lines(*text);
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        const auto first = line.find(':');
        const auto second = first == std::string::npos ? first : line.find(':', first + 1);
        const std::string where = file.string() + " line " + std::to_string(number) + ": ";
        if (second == std::string::npos) {
            error = where + "not \"name:role:hash\"";
            return std::nullopt;
        }
        const std::string name = line.substr(0, first);
        const auto role =
            roleFromName(std::string_view(line).substr(first + 1, second - first - 1));
        Account account;
        account.hash = line.substr(second + 1);
        if (!validUserName(name)) {
            error = where + "not a user name";
            return std::nullopt;
        }
        if (!role) {
            error = where + "the role is neither viewer nor approver";
            return std::nullopt;
        }
        if (account.hash.rfind("$argon2", 0) != 0 ||
            account.hash.size() >= crypto_pwhash_STRBYTES) {
            error = where + "not a password hash";
            return std::nullopt;
        }
        account.role = *role;
        accounts.accounts_[name] = std::move(account);
    }
    return accounts;
}

bool Accounts::set(const std::string& name, Role role, std::string_view password,
                   std::string& error) {
    if (!validUserName(name)) {
        error = "a user name is 1 to 64 letters, digits, '.', '_', '-' or '@'";
        return false;
    }
    if (password.empty() || password.size() > kMaxPasswordBytes) {
        error = "the password is empty or longer than 1024 bytes";
        return false;
    }
    char out[crypto_pwhash_STRBYTES] = {};
    if (sodium_init() < 0 ||
        crypto_pwhash_str(out, password.data(), password.size(), crypto_pwhash_OPSLIMIT_INTERACTIVE,
                          crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0) {
        error = "the password could not be hashed (out of memory)";
        return false;
    }
    accounts_[name] = Account{role, out};
    return true;
}

bool Accounts::save(const std::filesystem::path& file, std::string& error) const {
    std::string text =
        "# ferixdnc-web accounts: name:role:hash (written by ferixdnc-web --add-user)\n";
    for (const auto& [name, account] : accounts_) {
        text += name + ":" + std::string(roleName(account.role)) + ":" + account.hash + "\n";
    }
    // The new file takes the old one's owner and group; group reading stays if it was allowed.
    struct stat old {};
    const bool hadOne = ::stat(file.c_str(), &old) == 0;
    const mode_t mode = hadOne && (old.st_mode & S_IRGRP) != 0 ? 0640 : 0600;
    std::string temporary = file.string() + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        error = systemError("cannot write beside", file);
        return false;
    }
    bool ok = ::fchmod(fd, mode) == 0;
    if (ok && hadOne && ::geteuid() == 0) {
        ok = ::fchown(fd, old.st_uid, old.st_gid) == 0;
    }
    for (std::size_t done = 0; ok && done < text.size();) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        ok = n > 0;
        done += ok ? static_cast<std::size_t>(n) : 0;
    }
    ok = ok && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (ok && ::rename(temporary.c_str(), file.c_str()) != 0) {
        ok = false;
    }
    if (!ok) {
        error = systemError("cannot write", file);
        ::unlink(temporary.c_str());
        return false;
    }
    const std::filesystem::path folder = file.has_parent_path() ? file.parent_path() : ".";
    if (const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

std::optional<Role> Accounts::verify(const std::string& name, std::string_view password) const {
    const auto found = accounts_.find(name);
    const std::string& hash = found != accounts_.end() ? found->second.hash : decoyHash();
    if (hash.empty() || password.size() > kMaxPasswordBytes) {
        return std::nullopt;
    }
    const std::lock_guard turn(checkTurn());
    const bool matches =
        crypto_pwhash_str_verify(hash.c_str(), password.data(), password.size()) == 0;
    if (!matches || found == accounts_.end()) {
        return std::nullopt;
    }
    return found->second.role;
}

}  // namespace web
