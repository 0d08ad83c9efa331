// A history kept on a PostgreSQL server is named by a connection URI; its password must never
// reach a log line or a message.
#pragma once

#include <string>

namespace dnc::history {

// Whether `location` is a postgresql:// or postgres:// URI rather than a file.
bool isServerLocation(const std::string& location);

// The URI with its password (user:PASSWORD@ or password=...) replaced by "***".
std::string maskedLocation(const std::string& location);

// `text` with every occurrence of `secret` (as given and as percent-encoded) replaced by "***".
std::string withoutSecret(std::string text, const std::string& secret);

}  // namespace dnc::history
