// The language library's two exported functions. Plain C, so that any program can declare and
// call them after loading the library by name.
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#define LOCALIZING_API __declspec(dllexport) __stdcall
#else
#define LOCALIZING_API __attribute__((visibility("default")))
#endif

// Writes string `id` of `module`'s string table in `language` into `buffer` as UTF-8 (NFC),
// without a terminating zero, at most `bufferSize` bytes and never half a character. Returns
// the number of bytes written; 0 when the language has no block for the number or the string
// is absent or empty. A null module means the main program of the running process.
LOCALIZING_API int32_t LoadResString(void* module, int32_t id, int32_t language, char* buffer,
                                     int32_t bufferSize);

// Stores the codes of the languages whose table holds strings 0 to 15, in ascending order, into
// languages[0..maxIndex]; returns how many were stored.
LOCALIZING_API int32_t GetLanguages(void* module, uint16_t* languages, int32_t maxIndex);

#ifdef __cplusplus
}
#endif
