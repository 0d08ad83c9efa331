#include "dnc/history/ChainHash.h"

#include <cstdio>

#include "dnc/history/Sha256.h"

namespace dnc::history {

void ChainFields::text(std::string_view value) {
    encoded_ += 'T';
    encoded_ += std::to_string(value.size());
    encoded_ += ':';
    encoded_ += value;
}

void ChainFields::blob(std::string_view value) {
    encoded_ += 'B';
    encoded_ += std::to_string(value.size());
    encoded_ += ':';
    encoded_ += value;
}

void ChainFields::number(std::int64_t value) {
    encoded_ += 'I';
    encoded_ += std::to_string(value);
    encoded_ += ';';
}

void ChainFields::real(double value) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "R%.17g;", value);
    encoded_ += buffer;
}

void ChainFields::null() {
    encoded_ += 'N';
}

std::string ChainFields::seal(std::string_view previous) const {
    std::string all;
    all.reserve(previous.size() + 1 + encoded_.size());
    all += previous;
    all += '|';
    all += encoded_;
    return sha256Hex(all);
}

}  // namespace dnc::history
