// Finding the external programs the window starts (the editor, the browser, a system
// information tool) and the arguments they get. No shell is involved: a path with blanks or
// quotes reaches the program whole as one argument.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace dnc::window {

struct ProgramCall {
    std::string program;  // as resolved (absolute)
    std::vector<std::string> arguments;
};

// The program's path: a name with a separator must exist and be executable as written; a bare
// name is looked up along PATH (`searchPath`, ":"-separated).
std::optional<std::string> findProgram(const std::string& program, const std::string& searchPath);

// The editor call for a file; empty when the editor cannot be found.
std::optional<ProgramCall> editorCall(const std::string& editor, const std::string& file,
                                      const std::string& searchPath);

// The first of the candidates that can be found.
std::optional<std::string> firstProgram(const std::vector<std::string>& candidates,
                                        const std::string& searchPath);

}  // namespace dnc::window
