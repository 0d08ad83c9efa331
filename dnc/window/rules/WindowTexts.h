// Texts that the window builds from its numbered strings and names.
#pragma once

#include <string>

#include "dnc/window/rules/UnitSelector.h"

namespace dnc::window {

std::string windowCaption(const std::string& subNetCaption, const StringLookup& strings);
std::string transferToUnitText(const std::string& name, const StringLookup& strings);
std::string transferFromUnitText(const std::string& name, const StringLookup& strings);
std::string deleteText(const std::string& name, const StringLookup& strings);
std::string fileSelectText(const std::string& name, const StringLookup& strings);
std::string unitErrorText(const std::string& description, const StringLookup& strings);
std::string missingUnitDirectoryText(const std::string& path, const StringLookup& strings);
std::string editorNotFoundText(const std::string& editor, const StringLookup& strings);

}  // namespace dnc::window
