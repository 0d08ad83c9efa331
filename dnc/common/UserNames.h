// The names under which the history records who asked for a transfer: a user's login name
// from the password database (the number when it has no entry), this process's own user for
// the windows, and "unit N" for a unit's own request.
#pragma once

#include <sys/types.h>

#include <string>

namespace dnc {

std::string userName(uid_t uid);
// The user this process runs as; looked up once.
const std::string& processUserName();
std::string unitRequester(int unit);

}  // namespace dnc
