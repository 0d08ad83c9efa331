// The entry point shared by every conversion library. A library loaded by name is called
// through this one function; it must keep the exact signature and plain C linkage.
#ifndef FERIX_CONVERSION_CONVERT_ENTRY_H
#define FERIX_CONVERSION_CONVERT_ENTRY_H

#include <stdint.h>

#if defined(_WIN32)
#define FERIX_CONVERT_CALL __stdcall
#define FERIX_CONVERT_API __declspec(dllexport)
#else
#define FERIX_CONVERT_CALL
#define FERIX_CONVERT_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

// ErrorText and HelpFile are caller-owned buffers of this many characters plus a NUL.
enum { kConvertTextCapacity = 100 };

// Converts InputPath into OutputPath as Parameters says (the caller usually passes the same
// path twice). Returns nonzero on success; on failure ErrorText, HelpFile and HelpContext
// explain why.
typedef int16_t(FERIX_CONVERT_CALL* ConvertFunction)(const char* InputPath, const char* OutputPath,
                                                     const char* Parameters, char* ErrorText,
                                                     char* HelpFile, int32_t* HelpContext);

#ifdef __cplusplus
}
#endif

#endif
