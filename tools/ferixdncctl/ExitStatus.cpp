#include "tools/ferixdncctl/ExitStatus.h"

namespace ferixdncctl {

ExitStatus statusForError(const std::string& name) {
    // Nobody owns the name, the bus is gone, or the service ended without answering (calls
    // wait without a time limit, so no answer means no service).
    if (name == "org.freedesktop.DBus.Error.ServiceUnknown" ||
        name == "org.freedesktop.DBus.Error.NameHasNoOwner" ||
        name == "org.freedesktop.DBus.Error.NoServer" ||
        name == "org.freedesktop.DBus.Error.Disconnected" ||
        name == "org.freedesktop.DBus.Error.NoReply" ||
        name == "org.freedesktop.DBus.Error.FileNotFound" ||
        name == "org.freedesktop.DBus.Error.Spawn.ServiceNotFound") {
        return kNotRunning;
    }
    if (name == "org.freedesktop.DBus.Error.InvalidArgs") {
        return kUsage;
    }
    return kFailed;
}

}  // namespace ferixdncctl
