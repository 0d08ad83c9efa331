// The exit statuses of ferixdncctl and which D-Bus errors lead to them.
#pragma once

#include <string>

namespace ferixdncctl {

enum ExitStatus { kDone = 0, kFailed = 1, kUsage = 2, kNotRunning = 3 };

// The status for a call that failed with the D-Bus error `name`.
ExitStatus statusForError(const std::string& name);

}  // namespace ferixdncctl
