// The calls a terminal port makes on its device while it sends: the output side of a serial
// port as the system offers it. A benchmark stands a model of a real UART in for it (a
// pseudo-terminal cannot show how a port that paces itself is waited for).
#pragma once

#include <sys/types.h>

#include <cstddef>

#include "comm/Export.h"

namespace comm {

class FERIXCOMM_API TerminalIo {
public:
    virtual ~TerminalIo() = default;

    virtual ssize_t write(int fd, const void* data, std::size_t size);
    // The modem-line calls TIOCMGET, TIOCMBIS and TIOCMBIC; 0 or -1 with errno.
    virtual int modemLines(int fd, unsigned long request, int* lines);
    // Bytes written but not yet sent by the device (TIOCOUTQ); 0 or -1 with errno.
    virtual int outputQueued(int fd, int* queued);
    // Waits at most `ms` until the device takes more output; as poll(2).
    virtual int waitWritable(int fd, int ms);
    // Drops what is queued for sending.
    virtual int flushOutput(int fd);
};

// The system's calls.
FERIXCOMM_API TerminalIo& systemTerminalIo();

}  // namespace comm
