#include "tools/ferixdncctl/ExitStatus.h"

#include "dnc/automation/BusNames.h"

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
    if (name == "org.freedesktop.DBus.Error.AccessDenied") {
        return kRefused;
    }
    if (name == "org.freedesktop.DBus.Error.InvalidArgs") {
        return kUsage;
    }
    return kFailed;
}

std::string refusedText(const std::string& user, bool systemBus) {
    const std::string group = dnc::bus::kOperatorsGroup;
    if (!systemBus) {
        return "the session bus refused the call (its policy does not let " + user +
               " call FerixDNC)";
    }
    return "the system bus refused the call: only members of group " + group +
           " may drive FerixDNC, and " + user +
           " is not one (an administrator adds them: adduser " + user + " " + group +
           "; the membership counts from the next login)";
}

}  // namespace ferixdncctl
