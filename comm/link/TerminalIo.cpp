#include "comm/link/TerminalIo.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace comm {

ssize_t TerminalIo::write(int fd, const void* data, std::size_t size) {
    return ::write(fd, data, size);
}

int TerminalIo::modemLines(int fd, unsigned long request, int* lines) {
    return ::ioctl(fd, request, lines);
}

int TerminalIo::outputQueued(int fd, int* queued) {
    return ::ioctl(fd, TIOCOUTQ, queued);
}

int TerminalIo::waitWritable(int fd, int ms) {
    pollfd p{fd, POLLOUT, 0};
    return ::poll(&p, 1, ms);
}

int TerminalIo::flushOutput(int fd) {
    return ::tcflush(fd, TCOFLUSH);
}

TerminalIo& systemTerminalIo() {
    static TerminalIo io;
    return io;
}

}  // namespace comm
