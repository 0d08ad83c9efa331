#include "dnc/history/ServerLocation.h"

#include <cctype>

namespace dnc::history {

namespace {

constexpr const char* kMask = "***";

bool startsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

void replaceAll(std::string& text, const std::string& what) {
    if (what.empty()) {
        return;
    }
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 3)) {
        text.replace(at, what.size(), kMask);
    }
}

std::string percentEncoded(const std::string& text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) != 0 || c == '-' || c == '.' || c == '_' || c == '~') {
            encoded += c;
        } else {
            encoded += '%';
            encoded += kHex[byte >> 4];
            encoded += kHex[byte & 0x0F];
        }
    }
    return encoded;
}

}  // namespace

bool isServerLocation(const std::string& location) {
    return startsWith(location, "postgresql://") || startsWith(location, "postgres://");
}

std::string maskedLocation(const std::string& location) {
    if (!isServerLocation(location)) {
        return location;
    }
    std::string masked = location;
    const std::size_t authority = masked.find("://") + 3;
    // The user information ends at the last '@' before the path or the query.
    const std::size_t end = masked.find_first_of("/?", authority);
    const std::size_t at = masked.rfind('@', end == std::string::npos ? masked.size() : end);
    if (at != std::string::npos && at >= authority) {
        const std::size_t colon = masked.find(':', authority);
        if (colon != std::string::npos && colon < at) {
            masked.replace(colon + 1, at - colon - 1, kMask);
        }
    }
    const std::size_t query = masked.find('?');
    if (query != std::string::npos) {
        for (std::size_t key = masked.find("password=", query); key != std::string::npos;
             key = masked.find("password=", key + 1)) {
            if (masked[key - 1] != '?' && masked[key - 1] != '&') {
                continue;
            }
            const std::size_t value = key + 9;
            const std::size_t stop = masked.find('&', value);
            masked.replace(value, (stop == std::string::npos ? masked.size() : stop) - value,
                           kMask);
        }
    }
    return masked;
}

std::string withoutSecret(std::string text, const std::string& secret) {
    replaceAll(text, secret);
    replaceAll(text, percentEncoded(secret));
    return text;
}

}  // namespace dnc::history
