#include "conversion/shared/ConvertBuffers.h"

#include <algorithm>
#include <cstring>

#include "conversion/shared/ConvertEntry.h"

namespace conversion {

ConvertOutputs::ConvertOutputs(char* errorText, char* helpFile, std::int32_t* helpContext)
    : errorText_(errorText), helpFile_(helpFile), helpContext_(helpContext) {}

void ConvertOutputs::clear() {
    if (errorText_ != nullptr) {
        errorText_[0] = '\0';
    }
    if (helpFile_ != nullptr) {
        helpFile_[0] = '\0';
    }
    if (helpContext_ != nullptr) {
        *helpContext_ = 0;
    }
}

void ConvertOutputs::setError(std::string_view text) {
    if (errorText_ == nullptr) {
        return;
    }
    const std::size_t length = std::min<std::size_t>(text.size(), kConvertTextCapacity);
    std::memcpy(errorText_, text.data(), length);
    errorText_[length] = '\0';
}

}  // namespace conversion
