// The work file ".$TM" beside a file being converted, and the final step that puts it in the
// place of the output. The output is replaced only by that last rename.
#pragma once

#include <string>
#include <string_view>

namespace lentra {

// `path` with the extension of its file name replaced by ".$TM" (added when it has none).
std::string workFileName(std::string_view path);

// Opens `work` for writing, created or emptied; -1 when it cannot be opened. It is refused
// when it is the very file `input` or `output` (a file whose name already ends in ".$TM"),
// since emptying it would destroy the data about to be read.
int openWorkFile(const std::string& work, const std::string& input, const std::string& output);

// Puts the finished work file in the place of `output`, which must exist. Returns the error
// text, empty on success; on failure the work file stays on the disk.
std::string replaceOutput(const std::string& work, const std::string& output);

}  // namespace lentra
