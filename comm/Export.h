#pragma once

// Marks what libFerixComm.so exports to its hosts; everything else stays inside the library.
#if defined(_WIN32)
#define FERIXCOMM_API __declspec(dllexport)
#else
#define FERIXCOMM_API __attribute__((visibility("default")))
#endif
