// A pseudo-terminal pair for end-to-end tests: the control opens the device path of the
// terminal end like a serial port; the test or simulator reads and writes the master end.
// Both ends stay open for the life of the pair (reads on the master fail once the last
// terminal-side descriptor closes).
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace sim {

class PtyPair {
public:
    PtyPair();  // throws std::runtime_error when no pseudo-terminal can be had
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    const std::string& devicePath() const { return path_; }
    int masterFd() const { return master_; }

    // Reads from the master until `count` bytes arrived or `timeout` passed.
    std::vector<std::uint8_t> readMaster(std::size_t count, std::chrono::milliseconds timeout);
    void writeMaster(const std::string& bytes);

private:
    int master_ = -1;
    int slave_ = -1;
    std::string path_;
};

}  // namespace sim
