// The shared library that holds the control. Its string table is compiled in beside this file;
// the version is what the about box shows.
#include "comm/FerixComm.h"

extern "C" FERIXCOMM_API const char* FerixCommVersion() {
    return "1.0.0";
}
