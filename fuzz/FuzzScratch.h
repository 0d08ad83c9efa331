// A scratch folder of the fuzzing process for targets that read and write real files: below
// $TMPDIR when set, else in memory in /dev/shm (every write is flushed to the disk, which would
// slow the run). Removed when the process ends normally; scripts/fuzz points $TMPDIR at a
// folder of its own and removes that too.
#pragma once

#include <filesystem>

namespace fuzz {

const std::filesystem::path& scratchDirectory();

}  // namespace fuzz
