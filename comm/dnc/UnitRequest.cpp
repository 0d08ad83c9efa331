#include "comm/dnc/UnitRequest.h"

#include "comm/FerixComm.h"

namespace comm::dnc {

namespace {

constexpr std::size_t kNameStart = 3;  // 0-based
constexpr std::size_t kNameLength = 8;
constexpr std::size_t kOffsetStart = 16;
constexpr std::size_t kModeAt = 20;
constexpr std::size_t kCountStart = 21;

std::uint8_t byteAt(std::string_view block, std::size_t index) {
    return index < block.size() ? static_cast<std::uint8_t>(block[index]) : 0;
}

}  // namespace

UnitRequest parseUnitRequest(std::string_view block) {
    UnitRequest request;
    request.length = block.size();
    request.action = byteAt(block, 0);
    request.direction = byteAt(block, 1);
    request.kind = byteAt(block, 2);
    std::string_view name =
        block.size() > kNameStart ? block.substr(kNameStart, kNameLength) : std::string_view{};
    const std::size_t first = name.find_first_not_of('/');
    request.name =
        first == std::string_view::npos ? std::string() : std::string(name.substr(first));
    if (block.size() >= kPartialRequestLength) {
        UnitRequest::Part part;
        std::uint32_t offset = 0;
        for (int i = 3; i >= 0; --i) {
            offset = offset * 256 + byteAt(block, kOffsetStart + static_cast<std::size_t>(i));
        }
        part.offset = static_cast<std::int32_t>(offset);
        part.offsetMode = byteAt(block, kModeAt);
        part.count = static_cast<std::uint16_t>(byteAt(block, kCountStart) +
                                                256 * byteAt(block, kCountStart + 1));
        request.part = part;
    }
    return request;
}

std::optional<std::string> unitRequestExtension(const ctrlFerixComm& control, std::uint8_t kind) {
    switch (kind) {
        case 0:
            return control.SourceTextExt();
        case 1:
            return control.WorkTextExt();
        case 4:
            return control.SourceMacroExt();
        case 5:
            return control.WorkMacroExt();
        case 6:
            return control.SourceDiagExt();
        case 7:
            return control.WorkDiagExt();
        default:
            return std::nullopt;
    }
}

}  // namespace comm::dnc
