// Directory listings for the two directory views, and the path rules of the PC directory box.
#pragma once

#include <string>
#include <vector>

#include "dnc/window/rules/ListOrder.h"
#include "dnc/window/rules/SelectionSummary.h"

namespace dnc::window {

// Regular files of `directory` whose names match `mask` (letter case ignored; "*.*" matches
// every name, also one without a dot), sorted by name. Folders, hidden files (a name beginning
// with "."), devices, sockets and pipes are skipped; a missing directory gives nothing. A unit
// directory's list also leaves out its conversion chains ("In.cnv", "Out.cnv").
enum class Listing { PcDirectory, UnitDirectory };
std::vector<ListEntry> listFiles(const std::string& directory, const std::string& mask,
                                 Listing kind = Listing::PcDirectory);
// The same files with the time each one last changed (none where it could not be read).
std::vector<ListRow> listFileRows(const std::string& directory, const std::string& mask,
                                  Listing kind = Listing::PcDirectory);

// Blanks at both ends removed and one trailing separator dropped.
std::string trimDirectoryPath(const std::string& path);

// The trimmed path names an existing directory.
bool directoryExists(const std::string& path);

// Whether `name` matches the mask, as listFiles decides.
bool matchesMask(const std::string& name, const std::string& mask);

}  // namespace dnc::window
