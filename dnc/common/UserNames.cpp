#include "dnc/common/UserNames.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace dnc {

std::string userName(uid_t uid) {
    const long hint = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(hint > 0 ? static_cast<std::size_t>(hint) : 1024);
    passwd entry{};
    passwd* found = nullptr;
    int rc = 0;
    // A large entry (many groups of a directory service) needs a larger buffer.
    while ((rc = ::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found)) == ERANGE &&
           buffer.size() < (1u << 20)) {
        buffer.resize(buffer.size() * 2);
    }
    if (rc != 0 || found == nullptr || found->pw_name == nullptr || *found->pw_name == '\0') {
        return std::to_string(uid);
    }
    return found->pw_name;
}

const std::string& processUserName() {
    static const std::string name = userName(::getuid());
    return name;
}

std::string unitRequester(int unit) {
    return "unit " + std::to_string(unit);
}

}  // namespace dnc
