// The entry's output arguments: cleared on entry, and an error text that always fits its
// 100-character buffer together with its NUL.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace conversion {

class ConvertOutputs {
public:
    // Any pointer may be null (a careless caller); writes to a null buffer are skipped.
    ConvertOutputs(char* errorText, char* helpFile, std::int32_t* helpContext);

    // Empties ErrorText and HelpFile and sets HelpContext to 0.
    void clear();

    // Copies `text` into ErrorText, cut to the buffer's 100 characters.
    void setError(std::string_view text);

private:
    char* errorText_;
    char* helpFile_;
    std::int32_t* helpContext_;
};

// The body of a library's Convert entry: `convertFile(input, output, parameters)` gives an
// outcome with `succeeded` and `errorText`. Null paths and parameters count as empty. No
// exception may cross the plain C entry: any is reported as `failureText` (the likely one is a
// file too large for memory).
template <typename ConvertFile>
std::int16_t convertEntry(const char* inputPath, const char* outputPath, const char* parameters,
                          char* errorText, char* helpFile, std::int32_t* helpContext,
                          ConvertFile convertFile, std::string_view failureText) {
    ConvertOutputs outputs(errorText, helpFile, helpContext);
    outputs.clear();
    try {
        const auto outcome = convertFile(std::string(inputPath != nullptr ? inputPath : ""),
                                         std::string(outputPath != nullptr ? outputPath : ""),
                                         std::string(parameters != nullptr ? parameters : ""));
        if (!outcome.succeeded) {
            outputs.setError(outcome.errorText);
            return 0;
        }
        return 1;
    } catch (...) {
        outputs.setError(failureText);
        return 0;
    }
}

}  // namespace conversion
