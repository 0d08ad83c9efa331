// The request headers a machine sends on its own, read from any bytes: every header returned
// must be one that a decoder written here from the frame layout finds at that very byte (SOH,
// type, at most 260 text bytes, ETB, check byte); a header built here gets through after any
// noise once the receiver is back between headers.
//
// Input: file type, command, name length (two bytes, up to 259), the name, a check error, then
// the noise.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "comm/heidenhain/BlockFrames.h"
#include "comm/heidenhain/HeaderReceiver.h"
#include "fuzz/FuzzCheck.h"

namespace {

using comm::heidenhain::HeaderReceiver;
using comm::heidenhain::kLongestHeaderText;
using comm::heidenhain::RequestHeader;

constexpr std::uint8_t kSoh = 0x01;
constexpr std::uint8_t kEtb = 0x17;

struct Found {
    std::size_t at = 0;  // index of the check byte
    RequestHeader header;
};

// The headers in `bytes` and whether the bytes end inside one.
struct Decoded {
    std::vector<Found> headers;
    bool endsInHeader = false;
};

Decoded decode(std::string_view bytes) {
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(bytes[i]); };
    Decoded out;
    std::size_t i = 0;
    while (i < bytes.size()) {
        if (byte(i) != kSoh) {
            ++i;
            continue;
        }
        if (i + 1 >= bytes.size()) {
            out.endsInHeader = true;
            break;
        }
        std::uint8_t check = kSoh ^ byte(i + 1);
        std::string text;
        std::size_t j = i + 2;
        while (j < bytes.size() && byte(j) != kEtb && text.size() < kLongestHeaderText) {
            check ^= byte(j);
            text += bytes[j++];
        }
        if (j >= bytes.size()) {
            out.endsInHeader = true;
            break;
        }
        if (byte(j) != kEtb) {
            i = j;  // a 261st text byte: no header; it may open the next one itself
            continue;
        }
        check ^= kEtb;
        if (j + 1 >= bytes.size()) {
            out.endsInHeader = true;
            break;
        }
        Found found;
        found.at = j + 1;
        found.header.fileType = bytes[i + 1];
        found.header.checkOk = byte(j + 1) == check;
        if (!text.empty()) {
            found.header.command = text.back();
            found.header.name = text.substr(0, text.size() - 1);
        }
        out.headers.push_back(found);
        i = j + 2;
    }
    return out;
}

bool same(const RequestHeader& a, const RequestHeader& b) {
    return a.fileType == b.fileType && a.name == b.name && a.command == b.command &&
           a.checkOk == b.checkOk;
}

// SOH type name command ETB check, the check the exclusive or of all bytes before it.
std::string encode(char type, std::string_view name, char command, std::uint8_t checkError) {
    std::string frame{static_cast<char>(kSoh), type};
    frame += name;
    frame += command;
    frame += static_cast<char>(kEtb);
    std::uint8_t check = 0;
    for (char c : frame) {
        check ^= static_cast<std::uint8_t>(c);
    }
    frame += static_cast<char>(check ^ checkError);
    return frame;
}

std::vector<Found> feedAll(HeaderReceiver& receiver, std::string_view bytes) {
    std::vector<Found> found;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (std::optional<RequestHeader> header =
                receiver.feed(static_cast<std::uint8_t>(bytes[i]))) {
            FUZZ_CHECK(header->name.size() < kLongestHeaderText);
            FUZZ_CHECK(!receiver.inHeader());
            found.push_back({i, *header});
        }
    }
    return found;
}

// Feeds a header built here; it must come out at its check byte and nowhere before.
void expectHeader(HeaderReceiver& receiver, const std::string& frame, const RequestHeader& built) {
    const std::vector<Found> found = feedAll(receiver, frame);
    FUZZ_CHECK(found.size() == 1);
    FUZZ_CHECK(found[0].at == frame.size() - 1);
    FUZZ_CHECK(same(found[0].header, built));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 5) {
        return 0;
    }
    const char type = static_cast<char>(data[0]);
    // ETB would end the text early: such a header is not well formed.
    const char command = data[1] == kEtb ? 'E' : static_cast<char>(data[1]);
    std::string_view rest(reinterpret_cast<const char*>(data) + 4, size - 4);
    const std::size_t nameLength = (data[2] + 256u * (data[3] & 1u)) % kLongestHeaderText;
    std::string name(rest.substr(0, std::min(nameLength, rest.size())));
    rest.remove_prefix(name.size());
    for (char& c : name) {
        if (static_cast<std::uint8_t>(c) == kEtb) {
            c = 'N';
        }
    }
    std::uint8_t checkError = 0;
    if (!rest.empty()) {
        checkError = static_cast<std::uint8_t>(rest[0]);
        rest.remove_prefix(1);
    }
    const std::string_view noise = rest;

    // The noise read as the decoder here reads it.
    HeaderReceiver receiver;
    const std::vector<Found> found = feedAll(receiver, noise);
    const Decoded expected = decode(noise);
    FUZZ_CHECK(found.size() == expected.headers.size());
    for (std::size_t i = 0; i < found.size(); ++i) {
        FUZZ_CHECK(found[i].at == expected.headers[i].at);
        FUZZ_CHECK(same(found[i].header, expected.headers[i].header));
    }
    FUZZ_CHECK(receiver.inHeader() == expected.endsInHeader);

    // The control's own header frame is the one built here.
    RequestHeader built;
    built.fileType = type;
    built.name = name;
    built.command = command;
    built.checkOk = checkError == 0;
    const std::string frame = encode(type, name, command, checkError);
    FUZZ_CHECK(comm::heidenhain::requestHeader(type, name, command) ==
               encode(type, name, command, 0));

    // ETB ETB NUL closes whatever the noise left open: the next header is read whole.
    HeaderReceiver settled;
    feedAll(settled, noise);
    feedAll(settled, "\x17\x17" + std::string(1, '\0'));
    FUZZ_CHECK(!settled.inHeader());
    expectHeader(settled, frame, built);

    // And so does a reset.
    feedAll(receiver, noise);
    receiver.reset();
    FUZZ_CHECK(!receiver.inHeader());
    expectHeader(receiver, frame, built);
    return 0;
}
