// Whether the device of a port is there and could be opened, without keeping it and without
// disturbing a program that holds it: for the check mode and for the port list of the
// configuration dialog.
#pragma once

#include <string>

namespace dnc {

enum class PortState {
    Free,          // there, a serial device, and this user may open it now
    NotAvailable,  // no such device (or its hardware is gone)
    Used,          // held by another program (or another sub net)
    NoPermission,  // this user may not open it
    NotSerial,     // there, but not a terminal device
    Network,       // tcp:// or rfc2217://: not connected to
    Error,         // any other failure
};

struct DeviceState {
    PortState state = PortState::Error;
    bool usable = false;  // state == Free
    std::string text;     // "exists, can be opened", "does not exist", ...
};

// The calls the probe makes on the system, so that a test can stand in for a failure the
// machine cannot produce (a denied permission while running as root).
class DeviceAccess {
public:
    virtual ~DeviceAccess() = default;
    // An open descriptor, or -errno.
    virtual int open(const std::string& device) = 0;
    virtual bool isTerminal(int fd) = 0;
    // Whether another open of the device holds its lock (the lock of this probe is released
    // before this returns).
    virtual bool lockedByAnother(int fd) = 0;
    // Whether a live process owns a UUCP lock file of the device (terminal programs use them).
    virtual bool lockFileHeld(const std::string& device) = 0;
    virtual void close(int fd) = 0;
    // Whether an open descriptor carries the exclusive mark (TIOCEXCL); false when it cannot
    // tell.
    virtual bool markedExclusive(int fd) {
        (void)fd;
        return false;
    }
};

// The real system; UUCP lock files are looked for in /run/lock and /var/lock.
DeviceAccess& systemDeviceAccess();

// Network ports (tcp://, rfc2217://) are not connected to: a device server may serve one
// client only.
DeviceState probeDevice(const std::string& device, DeviceAccess& access = systemDeviceAccess());

// Whether a UUCP lock file names a live process: the file "LCK.." + the device's base name in
// `lockDirectory`, holding the process number as text (or as a binary int).
bool uucpLockHeld(const std::string& device, const std::string& lockDirectory);

}  // namespace dnc
