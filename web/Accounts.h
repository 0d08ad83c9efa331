// The accounts of the browser view: one line per user in a file of its own, "name:role:hash",
// the hash libsodium's crypto_pwhash_str (Argon2id). The file is written whole through a
// temporary file and a rename, readable by its owner (and group, if it was before) only; a
// file that anyone may write is refused.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace web {

enum class Role { Viewer, Approver };

std::string_view roleName(Role role);
std::optional<Role> roleFromName(std::string_view name);

// Names: 1 to 64 of letters, digits, '.', '_', '-' and '@'.
bool validUserName(std::string_view name);

class Accounts {
public:
    struct Account {
        Role role = Role::Viewer;
        std::string hash;
    };

    // Reads `file`; nullopt with `error` set when it cannot be read, is not a regular file,
    // may be written by anyone or holds a line that is not an account. `missingIsEmpty`: a
    // file that does not exist yet holds no one (the first --add-user).
    static std::optional<Accounts> load(const std::filesystem::path& file, std::string& error,
                                        bool missingIsEmpty = false);

    // Adds `name` or replaces its role and password; false with `error` for a bad name or an
    // empty password.
    bool set(const std::string& name, Role role, std::string_view password, std::string& error);
    // Writes the accounts to `file` whole, or leaves it as it was; false with `error`.
    bool save(const std::filesystem::path& file, std::string& error) const;

    // The role of `name` when `password` is its password. Unknown names take as long as known
    // ones; one check runs at a time, as each takes tens of megabytes.
    std::optional<Role> verify(const std::string& name, std::string_view password) const;

    std::size_t size() const { return accounts_.size(); }

private:
    std::map<std::string, Account> accounts_;
};

}  // namespace web
