#include "sim/unit/RequestBlock.h"

namespace sim::unit {

RequestSpec RequestSpec::download(std::string name, std::uint8_t kind) {
    RequestSpec r;
    r.direction = kToUnit;
    r.kind = kind;
    r.name = std::move(name);
    return r;
}

RequestSpec RequestSpec::partialDownload(std::string name, std::uint8_t kind, Part part) {
    RequestSpec r = download(std::move(name), kind);
    r.part = part;
    return r;
}

RequestSpec RequestSpec::upload(std::string name, std::uint8_t kind) {
    RequestSpec r;
    r.direction = kFromUnit;
    r.kind = kind;
    r.name = std::move(name);
    return r;
}

RequestSpec RequestSpec::listing() {
    RequestSpec r;
    r.action = kActionListing;
    r.kind = 0;
    return r;
}

std::string encodeRequest(const RequestSpec& request) {
    if (request.raw) {
        return *request.raw;
    }
    std::string block{static_cast<char>(request.action), static_cast<char>(request.direction),
                      static_cast<char>(request.kind)};
    const std::string name = request.name.substr(0, kRequestNameLength);
    block.append(kRequestNameLength - name.size(), '/');
    block += name;
    block.append(5, '\0');
    if (request.part) {
        auto offset = static_cast<std::uint32_t>(request.part->offset);
        for (int i = 0; i < 4; ++i) {
            block += static_cast<char>(offset & 0xFF);
            offset >>= 8;
        }
        block += static_cast<char>(request.part->mode);
        block += static_cast<char>(request.part->count & 0xFF);
        block += static_cast<char>(request.part->count >> 8);
    }
    return block;
}

}  // namespace sim::unit
