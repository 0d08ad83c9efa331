#include "dnc/config/SerialDevices.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <tuple>

namespace dnc {

namespace fs = std::filesystem;

namespace {

constexpr const char* kKinds[] = {"ttyS", "ttyUSB", "ttyACM"};

// The kind's rank and the number of a name such as "ttyUSB3"; rank -1 for other names.
std::pair<int, long> kindAndNumber(const std::string& name) {
    for (int rank = 2; rank >= 0; --rank) {  // longest stems first: ttyS is a prefix of none
        const std::string stem = kKinds[rank];
        if (name.size() > stem.size() && name.compare(0, stem.size(), stem) == 0 &&
            std::all_of(name.begin() + static_cast<std::ptrdiff_t>(stem.size()), name.end(),
                        [](unsigned char c) { return std::isdigit(c) != 0; })) {
            return {rank, std::stol(name.substr(stem.size()))};
        }
    }
    return {-1, 0};
}

// A UART that the kernel found reports a type other than 0 (PORT_UNKNOWN); without sysfs
// every port is shown.
bool uartPresent(const std::string& sysClassTty, const std::string& name) {
    std::ifstream type(sysClassTty + "/" + name + "/type");
    int value = -1;
    if (!(type >> value)) {
        return true;
    }
    return value != 0;
}

}  // namespace

std::vector<SerialDevice> listSerialDevices(const DeviceFolders& folders) {
    std::vector<SerialDevice> stable;
    std::error_code ec;
    const fs::path byId = fs::path(folders.dev) / "serial" / "by-id";
    for (const auto& entry : fs::directory_iterator(byId, ec)) {
        std::error_code linkError;
        const fs::path target = fs::canonical(entry.path(), linkError);
        if (!linkError) {
            stable.push_back({entry.path().string(), target.string()});
        }
    }
    std::sort(stable.begin(), stable.end(),
              [](const SerialDevice& a, const SerialDevice& b) { return a.path < b.path; });

    std::vector<std::tuple<int, long, std::string>> devices;
    for (const auto& entry : fs::directory_iterator(folders.dev, ec)) {
        const std::string name = entry.path().filename().string();
        const auto [rank, number] = kindAndNumber(name);
        if (rank < 0 || (rank == 0 && !uartPresent(folders.sysClassTty, name))) {
            continue;
        }
        devices.emplace_back(rank, number, entry.path().string());
    }
    std::sort(devices.begin(), devices.end());
    for (const auto& device : devices) {
        stable.push_back({std::get<2>(device), {}});
    }
    return stable;
}

}  // namespace dnc
