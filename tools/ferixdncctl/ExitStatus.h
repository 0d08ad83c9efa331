// The exit statuses of ferixdncctl and which D-Bus errors lead to them.
#pragma once

#include <string>

namespace ferixdncctl {

// kRefused: the bus's policy does not let this user call (not in the operators' group).
enum ExitStatus { kDone = 0, kFailed = 1, kUsage = 2, kNotRunning = 3, kRefused = 4 };

// The status for a call that failed with the D-Bus error `name`.
ExitStatus statusForError(const std::string& name);

// What a user whom the bus refused is told: who may call, and how `user` becomes one of them.
std::string refusedText(const std::string& user, bool systemBus);

}  // namespace ferixdncctl
