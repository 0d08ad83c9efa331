// The chain files "In.cnv" and "Out.cnv" of a unit directory: 128-byte records, each a step
// text counted by a 16-bit little-endian length, padded with zero bytes.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "dnc/config/ConversionChain.h"

namespace dnc {

inline constexpr std::size_t kChainRecordSize = 128;
inline constexpr std::string_view kIncludeChainFileName = "In.cnv";
inline constexpr std::string_view kExcludeChainFileName = "Out.cnv";

// The steps of a chain file's bytes, in order, without empty ones. An incomplete last record
// and a record whose count exceeds its room are damaged and skipped.
std::vector<std::string> decodeChainRecords(std::string_view bytes);

// The chain file bytes of `chain`: one record per step.
std::string encodeChainRecords(const ConversionChain& chain);

// Reads a chain file. Errors give an empty or partial chain; a missing file is created empty
// (when its directory exists), as the chain editor and the include/exclude run expect.
std::vector<std::string> loadChainFile(const std::filesystem::path& path);

// Writes a chain file through a new file renamed over the old one. False when it failed; the
// previous file is then kept as it was. (There is no hidden attribute on this platform; the
// name stays as it is.)
bool saveChainFile(const std::filesystem::path& path, const ConversionChain& chain);

}  // namespace dnc
