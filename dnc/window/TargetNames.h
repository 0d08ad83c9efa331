// Names of the files an include or exclude writes: the base name from the operator or from
// the source file, and the extension chosen in the dialog.
#pragma once

#include <string>
#include <string_view>

namespace dnc {

// What the dialog proposes for a single file: the name up to its first "." (include: in
// capital letters; exclude: as it is).
std::string proposedBaseName(std::string_view fileName, bool capitals);

// The base name of each of several files: the name cut before its last "." (kept whole
// without one), in capital letters for include, as it is for exclude.
std::string baseNameOfSeveral(std::string_view fileName, bool capitals);

// base + "." + extension (just base without an extension). Empty, with `problem` set, when
// the base is empty or the result is not a plain file name: no name may reach outside its
// target directory.
std::string targetFileName(std::string_view base, std::string_view extension, std::string& problem);

}  // namespace dnc
