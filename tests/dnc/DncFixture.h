// A ProtDNC control on a virtual line with unit directories in a fresh temporary folder.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "comm/dnc/BlockProtocol.h"
#include "comm/dnc/DncFrames.h"
#include "comm/dnc/DncTransfers.h"
#include "tests/comm/ControlFixture.h"

namespace fs = std::filesystem;

class DncFixture : public ControlFixture {
protected:
    DncFixture() {
        home = fs::temp_directory_path() /
               ("ferix-dnc-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(home);
        for (int unit = 1; unit <= 3; ++unit) {
            fs::create_directories(home / ("Ferix" + std::to_string(unit)));
            EXPECT_TRUE(control.setConnected(unit, true));
        }
        control.setFerixHomeDir(home.string() + "/");
        EXPECT_TRUE(control.setProtocol(comm::ProtDNC));
    }
    ~DncFixture() override {
        control.link().close();
        fs::remove_all(home);
    }

    // Opens the line for block-level work without starting the polling loop.
    void openLine() { ASSERT_TRUE(control.link().open()); }

    fs::path unitDir(int unit) const { return home / ("Ferix" + std::to_string(unit)); }
    void put(int unit, const std::string& name, const std::string& data) {
        std::ofstream(unitDir(unit) / name, std::ios::binary) << data;
    }
    std::string read(int unit, const std::string& name) const {
        std::ifstream in(unitDir(unit) / name, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    bool exists(int unit, const std::string& name) const {
        return fs::exists(unitDir(unit) / name);
    }

    // The frame of a block up to its final 0x00: what a unit has heard when it answers.
    static std::string frameUpToFinal(std::uint8_t address, std::uint8_t code,
                                      const std::string& data) {
        const std::string frame = comm::dnc::dataFrame(address, code, data, 0);
        return frame;
    }

    fs::path home;
};

// A string of `n` bytes that runs through every byte value, DLE included.
inline std::string patterned(std::size_t n, unsigned seed = 7) {
    std::string s;
    for (std::size_t i = 0; i < n; ++i) {
        s += static_cast<char>((i * 31 + seed) & 0xFF);
    }
    return s;
}
