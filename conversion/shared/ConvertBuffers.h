// The entry's output arguments: cleared on entry, and an error text that always fits its
// 100-character buffer together with its NUL.
#pragma once

#include <cstdint>
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

}  // namespace conversion
