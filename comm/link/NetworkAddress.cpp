#include "comm/link/NetworkAddress.h"

#include <charconv>

namespace comm {

namespace {

constexpr std::string_view kSchemeEnd = "://";
constexpr std::string_view kExpected = "expected tcp://HOST:PORT or rfc2217://HOST:PORT";

bool hostCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_';
}

}  // namespace

bool isNetworkDevice(std::string_view device) {
    return device.find(kSchemeEnd) != std::string_view::npos;
}

std::variant<NetworkAddress, std::string> parseNetworkAddress(std::string_view device) {
    const auto schemeEnd = device.find(kSchemeEnd);
    if (schemeEnd == std::string_view::npos) {
        return std::string(kExpected);
    }
    NetworkAddress address;
    const std::string_view scheme = device.substr(0, schemeEnd);
    if (scheme == "tcp") {
        address.kind = NetworkAddress::Kind::RawTcp;
    } else if (scheme == "rfc2217") {
        address.kind = NetworkAddress::Kind::Rfc2217;
    } else {
        return "unknown kind \"" + std::string(scheme) + "\", " + std::string(kExpected);
    }
    std::string_view rest = device.substr(schemeEnd + kSchemeEnd.size());
    while (!rest.empty() && rest.back() == '/') {
        rest.remove_suffix(1);
    }
    std::string_view host;
    std::string_view port;
    if (!rest.empty() && rest.front() == '[') {
        const auto close = rest.find(']');
        if (close == std::string_view::npos || close + 1 >= rest.size() || rest[close + 1] != ':') {
            return "an IPv6 address is written [ADDRESS]:PORT";
        }
        host = rest.substr(1, close - 1);
        port = rest.substr(close + 2);
        if (host.empty() ||
            host.find_first_not_of("0123456789abcdefABCDEF:.") != std::string_view::npos) {
            return "\"" + std::string(host) + "\" is not an IPv6 address";
        }
    } else {
        const auto colon = rest.rfind(':');
        if (colon == std::string_view::npos) {
            return "the port number is missing, " + std::string(kExpected);
        }
        host = rest.substr(0, colon);
        port = rest.substr(colon + 1);
        if (host.empty()) {
            return "the host is missing, " + std::string(kExpected);
        }
        for (const char c : host) {
            if (!hostCharacter(c)) {
                return "\"" + std::string(host) + "\" is not a host name or address";
            }
        }
    }
    unsigned int number = 0;
    const auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), number);
    if (port.empty() || ec != std::errc() || end != port.data() + port.size() || number == 0 ||
        number > 65535) {
        return "\"" + std::string(port) + "\" is not a port number (1 to 65535)";
    }
    address.host = std::string(host);
    address.port = static_cast<std::uint16_t>(number);
    return address;
}

}  // namespace comm
