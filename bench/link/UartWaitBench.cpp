// How a port whose device paces its output (a real UART) waits for its writes: the polling
// pattern of a DNC line (a poll frame and a fill byte, then a look at the input) against a
// model of a UART, at two line speeds. Prints the device calls and the CPU time per second.
// A pseudo-terminal cannot show this: it takes every write at once.
#include <chrono>
#include <cstdio>
#include <string>

#include "bench/common/CpuClock.h"
#include "comm/link/LineTiming.h"
#include "comm/link/PosixSerialPort.h"
#include "sim/pty/PtyPair.h"
#include "sim/uart/UartModel.h"

namespace {

using Clock = std::chrono::steady_clock;

void run(std::int32_t speed, std::chrono::seconds duration) {
    sim::PtyPair pty;  // for the terminal settings; the output goes to the model
    comm::LineSettings settings;
    settings.speed = speed;
    settings.dataBits = 8;
    settings.parity = comm::Parity::None;
    settings.stopBits = comm::StopBits::Two;
    sim::UartModel uart(settings.characterTime());
    comm::PosixSerialPort port(uart);
    if (!port.open(pty.devicePath(), settings, {}).ok() || port.pacesItself()) {
        std::printf("cannot open %s as a UART\n", pty.devicePath().c_str());
        return;
    }
    const std::string frame("\x10\x02\x05\x00\x10\x03\x18\xFF", 8);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(frame.data());
    const int step = comm::timing::writeWaitStep(frame.size(), speed);
    const auto before = uart.calls();
    const double cpuBefore = bench::threadCpuSeconds();
    const auto start = Clock::now();
    long cycles = 0;
    while (Clock::now() - start < duration) {
        port.flushInput();
        comm::WriteProgress progress = port.startWrite({bytes, frame.size()});
        while (progress.state == comm::WriteProgress::Pending) {
            progress = port.waitWrite(step);
        }
        (void)port.bytesWaiting();
        ++cycles;
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const double cpu = bench::threadCpuSeconds() - cpuBefore;
    const auto after = uart.calls();
    const auto perSecond = [seconds](long n) { return static_cast<double>(n) / seconds; };
    std::printf(
        "%6d baud: %7.0f frames/s, device calls/s: %8.0f writes %8.0f TIOCOUTQ %8.0f waits "
        "(%8.0f in all), CPU %5.1f %%, line %5.1f %% busy\n",
        speed, perSecond(cycles), perSecond(after.writes - before.writes),
        perSecond(after.queueQueries - before.queueQueries), perSecond(after.waits - before.waits),
        perSecond(after.total() - before.total()), 100.0 * cpu / seconds,
        100.0 * static_cast<double>(uart.bytesSent()) *
            std::chrono::duration<double>(settings.characterTime()).count() / seconds);
    port.close();
}

}  // namespace

int main() {
    std::printf("Writes that wait until they have left a UART (model), polling pattern:\n");
    for (const std::int32_t speed : {9600, 115200}) {
        run(speed, std::chrono::seconds(3));
    }
    return 0;
}
