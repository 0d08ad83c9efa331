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

std::string filled(std::string text, const std::string& first, const std::string& second) {
    // One pass, so that a "%2" inside the first value stays as it is.
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && (text[i + 1] == '1' || text[i + 1] == '2')) {
            out += text[i + 1] == '1' ? first : second;
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string unitErrorText(const std::string& description, const StringLookup& strings, int unit) {
    const std::string what =
        unit > 0 ? filled(strings(str::kUnitText), std::to_string(unit), description) : description;
    return strings(str::kErrorPrefix) + " " + what;
}

std::string unitTransferText(int unit, bool toUnit, const std::string& name,
                             const StringLookup& strings) {
    return filled(strings(toUnit ? str::kUnitSending : str::kUnitReceiving), std::to_string(unit),
                  name);
}

std::string nothingReceivedText(const std::string& name, const StringLookup& strings) {
    return filled(strings(str::kNothingReceived), name);
}

std::string missingUnitDirectoryText(const std::string& path, const StringLookup& strings) {
    return strings(str::kUnitDirectoryMissing) + "\n(" + path + ")";
}

std::string editorNotFoundText(const std::string& editor, const StringLookup& strings) {
    return strings(str::kFileNotFound) + editor;
}

std::string historyBehindText(std::uint64_t behind, const StringLookup& strings) {
    if (behind == 0) {
        return {};
    }
    if (behind == 1) {
        return strings(str::kHistoryBehindOne);
    }
    return filled(strings(behind <= 4 ? str::kHistoryBehindFew : str::kHistoryBehind),
                  std::to_string(behind));
}

}  // namespace dnc::window
