// What the configuration dialog checks before it applies, and the paths it forms: the root
// and unit directories must exist and the editor must be found; a unit directory picked
// outside the root is not taken; the chain files of a unit; the texts of the port list.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "dnc/config/ConfigFields.h"
#include "dnc/config/DeviceProbe.h"

namespace dnc::configdialog {

using Strings = std::function<std::string(int)>;

inline constexpr int kRootMissing = 770;
inline constexpr int kUnitMissingStart = 771;
inline constexpr int kUnitMissingEnd = 772;
inline constexpr int kEditorMissing = 773;

// The first failed check's message, or nullopt when the fields may be applied: the root
// directory, then each connected unit's directory (root text + unit text). The editor is not
// among them: without it only editing is impossible.
std::optional<std::string> applyProblem(const ConfigFields& fields, const std::string& searchPath,
                                        const Strings& strings);

// The warning for an editor that is found neither as written nor along `searchPath`; nullopt
// when it is found.
std::optional<std::string> editorProblem(const std::string& editor, const std::string& searchPath,
                                         const Strings& strings);

// The text a unit directory field takes when the operator picked `chosen`: the part after the
// root, ending with "/" unless empty; nullopt when `chosen` does not lie beneath `root` (names
// compared as this file system compares them: exactly).
std::optional<std::string> unitDirectoryText(const std::string& root, const std::string& chosen);

// The text the root field takes for a picked folder: the folder with a trailing "/".
std::string rootDirectoryText(const std::string& chosen);

enum class Chain { In, Out };
// The chain file of a unit: root text, unit text and "In.cnv" or "Out.cnv", joined as they
// stand (both texts end with "/").
std::filesystem::path chainFilePath(const std::string& rootText, const std::string& unitText,
                                    Chain chain);

inline constexpr int kPortFree = 760;
inline constexpr int kPortNotAvailable = 761;
inline constexpr int kPortUsed = 762;
inline constexpr int kPortError = 763;
inline constexpr int kPortNoPermission = 1500;
inline constexpr int kPortNetwork = 1501;
inline constexpr int kPortPermissionHint = 1502;

// The state's text (" (free)", ...).
std::string portStateText(PortState state, const Strings& strings);

// An item of the port list: "Com N: device" and, on a line that is off, the state's text.
std::string portItemText(int port, const std::string& device, std::optional<PortState> state,
                         const Strings& strings);

}  // namespace dnc::configdialog
