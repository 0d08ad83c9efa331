#include "dnc/window/rules/WindowTexts.h"

#include "dnc/window/rules/WindowStrings.h"

namespace dnc::window {

std::string windowCaption(const std::string& subNetCaption, const StringLookup& strings) {
    return strings(str::kProgramName) + " " + subNetCaption;
}

std::string transferToUnitText(const std::string& name, const StringLookup& strings) {
    return strings(str::kFileTransfer) + " " + name + " " + strings(str::kToFerix);
}

std::string transferFromUnitText(const std::string& name, const StringLookup& strings) {
    return strings(str::kFileTransfer) + " " + name + " " + strings(str::kFromFerix);
}

std::string deleteText(const std::string& name, const StringLookup& strings) {
    return strings(str::kFileDelete) + " " + name + " ...";
}

std::string fileSelectText(const std::string& name, const StringLookup& strings) {
    return strings(str::kFileSelect) + " " + name + " ...";
}

std::string unitErrorText(const std::string& description, const StringLookup& strings) {
    return strings(str::kErrorPrefix) + description;
}

std::string missingUnitDirectoryText(const std::string& path, const StringLookup& strings) {
    return strings(str::kUnitDirectoryMissing) + "\n(" + path + ")";
}

std::string editorNotFoundText(const std::string& editor, const StringLookup& strings) {
    return strings(str::kFileNotFound) + editor;
}

}  // namespace dnc::window
