// The hash chain over the history's records: each record's seal is the SHA-256 of the seal of
// the record before it and of its own fields, so a changed field, a removed or an inserted
// record breaks the chain from that record on.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace dnc::history {

class ChainFields {
public:
    void text(std::string_view value);
    void blob(std::string_view value);
    void number(std::int64_t value);
    void real(double value);
    void null();
    // The seal of a record with these fields after the record sealed `previous` ("" for the
    // first record of a chain).
    std::string seal(std::string_view previous) const;
    const std::string& encoded() const { return encoded_; }

private:
    std::string encoded_;  // each field with its type and length: no two records encode alike
};

}  // namespace dnc::history
