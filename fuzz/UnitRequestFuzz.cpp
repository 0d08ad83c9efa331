// A unit's request block as the service reads it, and the file name it makes of it: no name
// from the line may reach outside the unit directory, neither composed by hand nor looked up
// in a real directory.
//
// Input: block length (mod 35, the most a unit block holds), the block, then an extension as
// an operator may have set one (any text).
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "comm/dnc/UnitRequest.h"
#include "comm/files/PlainName.h"
#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzScratch.h"

namespace {

namespace fs = std::filesystem;
using comm::dnc::UnitRequest;

// The extensions of the six kinds a request may use, as a new control has them.
const char* const kDefaultExtensions[] = {"STX", "WTX", "SMC", "WMC", "SDG", "WDG"};

std::uint8_t byteAt(std::string_view block, std::size_t i) {
    return i < block.size() ? static_cast<std::uint8_t>(block[i]) : 0;
}

void checkParse(std::string_view block, const UnitRequest& request) {
    FUZZ_CHECK(request.length == block.size());
    FUZZ_CHECK(request.action == byteAt(block, 0));
    FUZZ_CHECK(request.direction == byteAt(block, 1));
    FUZZ_CHECK(request.kind == byteAt(block, 2));
    // The name field, bytes 4 to 11, without the "/" that right-align the name.
    std::string field;
    for (std::size_t i = 3; i < 11 && i < block.size(); ++i) {
        field += block[i];
    }
    std::size_t fill = 0;
    while (fill < field.size() && field[fill] == '/') {
        ++fill;
    }
    FUZZ_CHECK(request.name == field.substr(fill));
    FUZZ_CHECK(request.part.has_value() == (block.size() >= comm::dnc::kPartialRequestLength));
    if (request.part) {
        std::uint32_t offset = 0;
        for (std::size_t i = 0; i < 4; ++i) {
            offset |= static_cast<std::uint32_t>(byteAt(block, 16 + i)) << (8 * i);
        }
        FUZZ_CHECK(static_cast<std::uint32_t>(request.part->offset) == offset);
        FUZZ_CHECK(request.part->offsetMode == byteAt(block, 20));
        FUZZ_CHECK(request.part->count == byteAt(block, 21) + 256u * byteAt(block, 22));
    }
}

std::string flipCase(std::string name) {
    for (char& c : name) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        } else if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return name;
}

char asciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameIgnoringAsciiCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (asciiLower(a[i]) != asciiLower(b[i])) {
            return false;
        }
    }
    return true;
}

// What the service does with a name that passed: the file stays in the unit directory.
void checkInside(const fs::path& unitDir, const std::string& fileName) {
    FUZZ_CHECK(fileName != "." && fileName != "..");
    const fs::path composed = (unitDir / fileName).lexically_normal();
    FUZZ_CHECK(composed.parent_path() == unitDir);
    FUZZ_CHECK(composed.filename() == fs::path(fileName));

    // Looked up in a real directory, with a file of the name in the other letter case there.
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(unitDir, ec)) {
        fs::remove(entry.path(), ec);
    }
    const std::string other = flipCase(fileName);
    bool created = false;
    {
        std::ofstream out(unitDir / other, std::ios::binary);
        created = out.good();
    }
    const std::optional<fs::path> found = comm::findInDirectory(unitDir, fileName);
    if (found) {
        FUZZ_CHECK(found->parent_path() == unitDir);
        FUZZ_CHECK(sameIgnoringAsciiCase(found->filename().string(), fileName));
    }
    // The only candidate is found (a name too long for the file system makes none).
    FUZZ_CHECK(found.has_value() == created);
    fs::remove(unitDir / other, ec);
}

void checkName(const fs::path& unitDir, const std::string& name, const std::string& extension) {
    const std::string fileName = name + "." + extension;
    const bool accepted =
        comm::plainNameProblem(name).empty() && comm::plainNameProblem(fileName).empty();
    FUZZ_CHECK(comm::isPlainName(name) == comm::plainNameProblem(name).empty());
    if (accepted) {
        checkInside(unitDir, name);
        checkInside(unitDir, fileName);
    } else if (!comm::isPlainName(fileName)) {
        FUZZ_CHECK(!comm::findInDirectory(unitDir, fileName).has_value());
    }
}

const fs::path& unitDirectory() {
    static const fs::path dir = [] {
        const fs::path d = (fuzz::scratchDirectory() / "FERIX1").lexically_normal();
        fs::create_directories(d);
        return d;
    }();
    return dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::string_view block =
        input.substr(0, std::min<std::size_t>(data[0] % 35, input.size()));
    const std::string extension(input.substr(block.size()));

    // Only the block's own bytes are read: a copy of exactly its size lets ASan see any more.
    const std::vector<char> exact(block.begin(), block.end());
    const UnitRequest request = comm::dnc::parseUnitRequest({exact.data(), exact.size()});
    checkParse(block, request);
    FUZZ_CHECK(request.name.size() <= 8);

    for (const char* defaultExtension : kDefaultExtensions) {
        checkName(unitDirectory(), request.name, defaultExtension);
    }
    checkName(unitDirectory(), request.name, extension);
    return 0;
}
