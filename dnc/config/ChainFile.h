// The chain files "In.cnv" and "Out.cnv" of a unit directory: 128-byte records, each a step
// text counted by a 16-bit little-endian length, padded with zero bytes. A chain written by
// hand as text, one step per line, is read too (and saved as records by the chain editor).
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "comm/ComError.h"
#include "comm/files/PlainName.h"
#include "dnc/config/ConversionChain.h"

namespace dnc {

inline constexpr std::size_t kChainRecordSize = 128;
inline constexpr std::string_view kIncludeChainFileName = comm::kIncludeChainName;
inline constexpr std::string_view kExcludeChainFileName = comm::kExcludeChainName;

// The steps of a chain file's bytes, in order, without empty ones. An incomplete last record
// and a record whose count exceeds its room are damaged and skipped.
std::vector<std::string> decodeChainRecords(std::string_view bytes);

// Whether `bytes` are a chain written as text: something, and no zero byte (every record has
// one, its count's high byte, since no step fills 256 bytes).
bool isTextChain(std::string_view bytes);

// The steps of a text chain: one a line (LF or CR LF), blank lines and lines longer than a
// record holds (kMaxStepLength) skipped, as damaged records are.
std::vector<std::string> decodeTextChain(std::string_view bytes);

// The steps of a chain file's bytes, records or text.
std::vector<std::string> decodeChainFile(std::string_view bytes);

// The chain file bytes of `chain`: one record per step.
std::string encodeChainRecords(const ConversionChain& chain);

// Reads a chain file. Errors give an empty or partial chain; a missing file is created empty
// (when its directory exists), as the chain editor and the include/exclude run expect.
std::vector<std::string> loadChainFile(const std::filesystem::path& path);

// Writes a chain file through a new file renamed over the old one. On failure the previous
// file is kept as it was and the error says why. (There is no hidden attribute on this platform:
// the chain names themselves keep the files out of every listing, see comm::isChainFileName.)
comm::Status saveChainFile(const std::filesystem::path& path, const ConversionChain& chain);

}  // namespace dnc
