// The standard conversion library's tape readers, ISO>TXT and EIA>TXT. The first byte picks
// the code and the line end; the rest is the tape.
#include <cstdint>
#include <string>
#include <string_view>

#include "conversion/brisel/BriselRequest.h"
#include "conversion/brisel/TapeCodes.h"
#include "conversion/brisel/TapeConversions.h"
#include "fuzz/FuzzCheck.h"

namespace {

using namespace brisel;

std::string withCrLf(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (c == '\n') {
            out.push_back('\r');
        }
        out.push_back(c);
    }
    return out;
}

// What the tape may hold for the chosen code; the first refused byte names its offset.
bool readableIso(unsigned char byte) {
    return hasEvenParity(byte);
}

bool readableEia(unsigned char byte) {
    return byte == kEiaBlank || byte == kEiaDelete || byte == kEiaEndOfBlock ||
           textOfEiaCode(byte) != 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const bool eia = (data[0] & 1) != 0;
    const std::string_view tape(reinterpret_cast<const char*>(data + 1), size - 1);
    Options lf;
    lf.lineEnd = LineEnd::Lf;
    Options crLf;
    crLf.lineEnd = LineEnd::CrLf;

    const Converted text = eia ? eiaToText(tape, lf) : isoToText(tape, lf);
    const Converted textCrLf = eia ? eiaToText(tape, crLf) : isoToText(tape, crLf);
    FUZZ_CHECK(text.failed() == textCrLf.failed());

    std::size_t firstRefused = std::string_view::npos;
    for (std::size_t i = 0; i < tape.size(); ++i) {
        const auto byte = static_cast<unsigned char>(tape[i]);
        if (!(eia ? readableEia(byte) : readableIso(byte))) {
            firstRefused = i;
            break;
        }
    }
    if (text.failed()) {
        FUZZ_CHECK(firstRefused != std::string_view::npos);
        FUZZ_CHECK(text.error().find("at offset " + std::to_string(firstRefused) + ",") !=
                   std::string::npos);
        return 0;
    }
    FUZZ_CHECK(firstRefused == std::string_view::npos);
    FUZZ_CHECK(textCrLf.bytes() == withCrLf(text.bytes()));

    // The text is plain 7-bit text without feed or CR, so punching it again and reading that
    // gives the same text.
    for (const char c : text.bytes()) {
        const auto byte = static_cast<unsigned char>(c);
        FUZZ_CHECK(byte != 0 && byte < 0x7F && byte != '\r');
    }
    const Converted punched = eia ? textToEia(text.bytes(), {}) : textToIso(text.bytes(), {});
    FUZZ_CHECK(!punched.failed());
    const Converted reread = eia ? eiaToText(punched.bytes(), lf) : isoToText(punched.bytes(), lf);
    FUZZ_CHECK(!reread.failed());
    FUZZ_CHECK(reread.bytes() == text.bytes());
    return 0;
}
