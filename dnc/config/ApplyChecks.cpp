#include "dnc/config/ApplyChecks.h"

#include "dnc/common/FileChecks.h"
#include "dnc/config/ConfigDialogRules.h"

namespace dnc::configdialog {

namespace fs = std::filesystem;

std::optional<std::string> applyProblem(const ConfigFields& fields, const std::string& searchPath,
                                        const Strings& strings) {
    const std::string root = trimmed(fields.ferixHomeDir);
    if (!DirectoryExists(root)) {
        return strings(kRootMissing) + "\n(" + root + ")";
    }
    for (int n = 1; n <= comm::kUnitCount; ++n) {
        const auto i = static_cast<std::size_t>(n - 1);
        if (!fields.connected[i]) {
            continue;
        }
        const std::string unit = root + trimmed(fields.ferixDir[i]);
        if (!DirectoryExists(unit)) {
            return strings(kUnitMissingStart) + std::to_string(n) + " " + strings(kUnitMissingEnd) +
                   "\n(" + unit + ")";
        }
    }
    (void)searchPath;
    return std::nullopt;
}

std::optional<std::string> editorProblem(const std::string& editor, const std::string& searchPath,
                                         const Strings& strings) {
    const std::string name = trimmed(editor);
    if (!FileExistsOnPath(name, searchPath)) {
        return strings(kEditorMissing) + " (" + name + ")";
    }
    return std::nullopt;
}

namespace {

// The path without "." and ".." steps and without a trailing separator.
fs::path normal(const std::string& text) {
    fs::path path = fs::path(trimDirectoryPath(text)).lexically_normal();
    if (path.has_relative_path() && !path.has_filename()) {
        path = path.parent_path();
    }
    return path;
}

}  // namespace

std::optional<std::string> unitDirectoryText(const std::string& root, const std::string& chosen) {
    const fs::path base = normal(root);
    const fs::path picked = normal(chosen);
    if (base.empty() || picked.empty() || base.is_absolute() != picked.is_absolute()) {
        return std::nullopt;
    }
    auto b = base.begin();
    auto p = picked.begin();
    for (; b != base.end(); ++b, ++p) {
        if (p == picked.end() || *b != *p) {
            return std::nullopt;
        }
    }
    fs::path rest;
    for (; p != picked.end(); ++p) {
        rest /= *p;
    }
    const std::string text = rest.string();
    return text.empty() ? text : text + "/";
}

std::string rootDirectoryText(const std::string& chosen) {
    std::string text = trimDirectoryPath(chosen);
    if (text.empty() || text.back() != '/') {
        text.push_back('/');
    }
    return text;
}

fs::path chainFilePath(const std::string& rootText, const std::string& unitText, Chain chain) {
    return fs::path(trimmed(rootText) + trimmed(unitText) +
                    (chain == Chain::In ? "In.cnv" : "Out.cnv"));
}

std::string portStateText(PortState state, const Strings& strings) {
    switch (state) {
        case PortState::Free:
            return strings(kPortFree);
        case PortState::NotAvailable:
            return strings(kPortNotAvailable);
        case PortState::Used:
            return strings(kPortUsed);
        case PortState::NoPermission:
            return strings(kPortNoPermission);
        case PortState::Network:
            return strings(kPortNetwork);
        case PortState::NotSerial:
        case PortState::Error:
            break;
    }
    return strings(kPortError);
}

std::string portItemText(int port, const std::string& device, std::optional<PortState> state,
                         const Strings& strings) {
    std::string text = "Com " + std::to_string(port);
    if (!device.empty()) {
        text += ": " + device;
    }
    if (state) {
        text += portStateText(*state, strings);
    }
    return text;
}

}  // namespace dnc::configdialog
