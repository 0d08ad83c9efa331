#include "dnc/window/rules/ConversionChoices.h"

#include <algorithm>

#include "dnc/window/TargetNames.h"

namespace dnc::window {

namespace {

// The kinds' names (strings 406 to 411) with the control's extension of each.
struct Kind {
    int name;
    comm::KindExt extension;
};

constexpr Kind kIncludeKinds[] = {
    {406, comm::KindExt::SourceText},  {407, comm::KindExt::WorkText},
    {408, comm::KindExt::SourceMacro}, {409, comm::KindExt::WorkMacro},
    {410, comm::KindExt::SourceDiag},  {411, comm::KindExt::WorkDiag},
};

}  // namespace

std::vector<KindChoice> includeKindChoices(const ControlSettings& settings,
                                           const StringLookup& strings) {
    std::vector<KindChoice> choices;
    for (const Kind& kind : kIncludeKinds) {
        const std::string& extension =
            settings.extensions[static_cast<std::size_t>(kind.extension)];
        choices.push_back({strings(kind.name) + " " + extension, extension});
    }
    return choices;
}

std::string maskExtension(std::string_view mask) {
    const std::size_t dot = mask.find('.');
    if (dot == std::string_view::npos) {
        return {};
    }
    const std::string_view extension = mask.substr(dot + 1);
    if (extension.find_first_of("*?") != std::string_view::npos) {
        return {};
    }
    return std::string(extension);
}

std::vector<std::string> excludeExtensionChoices(const std::vector<std::string>& masks) {
    std::vector<std::string> choices;
    for (const std::string& mask : masks) {
        std::string extension = maskExtension(mask);
        if (!extension.empty() &&
            std::find(choices.begin(), choices.end(), extension) == choices.end()) {
            choices.push_back(std::move(extension));
        }
    }
    return choices;
}

std::string proposedName(const std::vector<std::string>& files, bool include) {
    if (files.size() != 1) {
        return "*";
    }
    return proposedBaseName(files.front(), include);
}

}  // namespace dnc::window
