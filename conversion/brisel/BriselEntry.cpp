// The exported entry of the standard conversion library.
#include "conversion/brisel/BriselConversion.h"
#include "conversion/shared/ConvertBuffers.h"
#include "conversion/shared/ConvertEntry.h"

extern "C" FERIX_CONVERT_API int16_t FERIX_CONVERT_CALL Convert(const char* InputPath,
                                                                const char* OutputPath,
                                                                const char* Parameters,
                                                                char* ErrorText, char* HelpFile,
                                                                int32_t* HelpContext) {
    conversion::ConvertOutputs outputs(ErrorText, HelpFile, HelpContext);
    outputs.clear();
    try {
        const brisel::ConversionOutcome outcome = brisel::convertFile(
            InputPath != nullptr ? InputPath : "", OutputPath != nullptr ? OutputPath : "",
            Parameters != nullptr ? Parameters : "");
        if (!outcome.succeeded) {
            outputs.setError(outcome.errorText);
            return 0;
        }
        return 1;
    } catch (...) {
        // No exception may cross the plain C entry; the likely one is a file too large for
        // memory.
        outputs.setError("Brisel: not enough memory for this file");
        return 0;
    }
}
