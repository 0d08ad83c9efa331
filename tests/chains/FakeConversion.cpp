// A stand-in conversion library that records each call in the converted file itself:
// "[<tag>:<parameters>]" is appended, so a test reads which library ran which step in which
// order. Parameters containing "fail" make it answer failure with a help reference.
#include <cstdio>
#include <cstring>

#include "conversion/shared/ConvertEntry.h"

extern "C" FERIX_CONVERT_API int16_t FERIX_CONVERT_CALL Convert(const char* InputPath,
                                                                const char* OutputPath,
                                                                const char* Parameters,
                                                                char* ErrorText, char* HelpFile,
                                                                int32_t* HelpContext) {
    if (std::strstr(Parameters, "fail") != nullptr) {
        if (std::strstr(Parameters, "quiet") == nullptr) {
            std::snprintf(ErrorText, kConvertTextCapacity + 1, "%s refused %s", FAKE_TAG,
                          Parameters);
            std::snprintf(HelpFile, kConvertTextCapacity + 1, "%s.hlp", FAKE_TAG);
            *HelpContext = 42;
        }
        return 0;
    }
    std::FILE* file = std::fopen(InputPath, "ab");
    if (file == nullptr) {
        return 0;
    }
    const bool inPlace = std::strcmp(InputPath, OutputPath) == 0;
    std::fprintf(file, "[%s:%s%s]", FAKE_TAG, Parameters, inPlace ? "" : " elsewhere");
    std::fclose(file);
    return 1;
}
