// Programs in unit directories, opened only as what they claim to be: a regular file inside
// the home directory of the units, reached without a symbolic link, of a size the line can
// carry. Every program read for a unit and every program stored from one goes through here.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "comm/ComError.h"

namespace comm {

// The largest program the block protocols can announce: their lengths are 32-bit.
inline constexpr std::uint64_t kProtocolProgramLimit = 0xFFFFFFFFu;

// The size limit of programs in megabytes (1 MB = 2^20 bytes), from the settings.
inline constexpr std::int64_t kDefaultProgramMegabytes = 64;
inline constexpr std::int64_t kMaxProgramMegabytes = 4095;  // below the protocols' 4 GiB

std::uint64_t programLimitBytes(std::int64_t megabytes);

// The program `path` (below `root`). ENOENT when it is not there; ELOOP for a link, EXDEV
// outside the root, EINVAL for a FIFO or device, EFBIG above the limit: never blocks, never
// reads more than `limitMegabytes`.
Expected<std::string> readProgram(const std::filesystem::path& root,
                                  const std::filesystem::path& path, std::int64_t limitMegabytes);

// Stores `bytes` as the program `path` (below `root`) atomically: the one way a received program
// becomes a file.
Status storeProgram(const std::filesystem::path& root, const std::filesystem::path& path,
                    std::string_view bytes);

// Removes the program `path` (below `root`); a link is removed as the link.
Status removeProgram(const std::filesystem::path& root, const std::filesystem::path& path);

// Removes the temporary files that killed writes left in the unit directory `directory`
// (below `root`); the names removed.
std::vector<std::string> removeAbandonedWrites(const std::filesystem::path& root,
                                               const std::filesystem::path& directory);

}  // namespace comm
