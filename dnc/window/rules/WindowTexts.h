// Texts that the window builds from its numbered strings and names.
#pragma once

#include <cstdint>
#include <string>

#include "dnc/window/rules/UnitSelector.h"

namespace dnc::window {

std::string windowCaption(const std::string& subNetCaption, const StringLookup& strings);
std::string transferToUnitText(const std::string& name, const StringLookup& strings);
std::string transferFromUnitText(const std::string& name, const StringLookup& strings);
std::string deleteText(const std::string& name, const StringLookup& strings);
std::string fileSelectText(const std::string& name, const StringLookup& strings);
// "Error: " and the description; with a unit (1..10) "Error: Ferix 3: " and the description.
std::string unitErrorText(const std::string& description, const StringLookup& strings,
                          int unit = 0);
// A unit's own transfer as the information bar shows it while it runs ("Ferix 3: sending X").
std::string unitTransferText(int unit, bool toUnit, const std::string& name,
                             const StringLookup& strings);
// A reception that brought nothing, so that nothing was stored.
std::string nothingReceivedText(const std::string& name, const StringLookup& strings);
// `text` with "%1", "%2" replaced by the arguments.
std::string filled(std::string text, const std::string& first, const std::string& second = {});
std::string missingUnitDirectoryText(const std::string& path, const StringLookup& strings);
std::string editorNotFoundText(const std::string& editor, const StringLookup& strings);
// The status bar's word on records waiting in the spool for the shared history ("" when none).
std::string historyBehindText(std::uint64_t behind, const StringLookup& strings);

}  // namespace dnc::window
