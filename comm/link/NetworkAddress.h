// The device string of a line on a network device server: "tcp://HOST:PORT" (the bytes only,
// the server's serial settings are set on the server) or "rfc2217://HOST:PORT" (Telnet with COM
// port control: the line settings go to the server). HOST is a name, an IPv4 address or an IPv6
// address in brackets.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

namespace comm {

struct NetworkAddress {
    enum class Kind { RawTcp, Rfc2217 };
    Kind kind = Kind::RawTcp;
    std::string host;
    std::uint16_t port = 0;
};

// Whether the device string names a network line (it has a scheme: "xxx://").
bool isNetworkDevice(std::string_view device);

// The address, or why the text is not one (a plain text for the detail of a message).
std::variant<NetworkAddress, std::string> parseNetworkAddress(std::string_view device);

}  // namespace comm
