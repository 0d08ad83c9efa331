// What the include/exclude confirmation offers: the file kinds with their extensions for an
// include, the extensions of the PC masks for an exclude, and the proposed base names.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "dnc/manager/ControlSettings.h"
#include "dnc/window/rules/UnitSelector.h"

namespace dnc::window {

struct KindChoice {
    std::string text;       // "Work Text WTX": the kind's name, a blank, its extension
    std::string extension;  // the control's extension for the kind, exactly
};

// The six kinds an included file can become, in the order the operator sees them: source and
// work text, source and work macro, source and work test.
std::vector<KindChoice> includeKindChoices(const ControlSettings& settings,
                                           const StringLookup& strings);

// The extension a PC mask stands for: the part after its first "."; empty for a mask with a
// wildcard there or without a dot.
std::string maskExtension(std::string_view mask);

// The extensions an excluded file can get: one per mask that names a fixed one, in mask order,
// each once ("*.txt", "*.ncp", "*.*" give txt and ncp).
std::vector<std::string> excludeExtensionChoices(const std::vector<std::string>& masks);

// The name the dialog proposes: for one file its name up to the first "." (include: in capital
// letters); for several "*", as the names are then taken from each file.
std::string proposedName(const std::vector<std::string>& files, bool include);

}  // namespace dnc::window
