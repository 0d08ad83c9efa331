// The exported entry of the user conversion library.
#include "conversion/lentra/LentraConversion.h"
#include "conversion/lentra/LentraMessages.h"
#include "conversion/shared/ConvertBuffers.h"
#include "conversion/shared/ConvertEntry.h"

extern "C" FERIX_CONVERT_API int16_t FERIX_CONVERT_CALL Convert(const char* InputPath,
                                                                const char* OutputPath,
                                                                const char* Parameters,
                                                                char* ErrorText, char* HelpFile,
                                                                int32_t* HelpContext) {
    return conversion::convertEntry(
        InputPath, OutputPath, Parameters, ErrorText, HelpFile, HelpContext,
        [](const std::string& in, const std::string& out, const std::string& parameters) {
            return lentra::convertFile(in, out, parameters);
        },
        lentra::kUnknownErrorText);
}
