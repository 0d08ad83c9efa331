// The window of a demo sub net on a virtual serial line (a pseudo-terminal pair), with programs
// in place so that every button can be tried without hardware.
#pragma once

#include <string>

namespace dnc {

// `protocol`: "dnc" (two simulated units on the line), "heidenhain", "tavro1" or "plain".
int runDemoWindow(int& argc, char** argv, const std::string& protocol);

}  // namespace dnc
