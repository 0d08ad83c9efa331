// A ProtDNC control on one end of a pseudo-terminal pair and three simulated units on the
// other, in real time, with unit directories in a fresh temporary folder. The line runs at
// 4800 baud: a unit must answer within a frame's trailer, and at this speed that leaves the
// simulator's thread 30 ms even on a busy machine. The host's pump calls pump().
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "comm/FerixComm.h"
#include "comm/RealHost.h"
#include "localizing/lookup/ResourceStrings.h"
#include "sim/fakes/RecordingSite.h"
#include "sim/pty/PtyPair.h"
#include "sim/unit/FdUnitLine.h"

class PtyUnitsFixture : public ::testing::Test {
protected:
    static constexpr std::int32_t kSpeed = 4800;

    explicit PtyUnitsFixture(const std::string& folderPrefix)
        : host([this] { pump(); }),
          control(host, site),
          driver(units, pty.masterFd(), sim::unit::characterTime(kSpeed, 11)) {
        loc::selectLanguage(loc::kEnglish);
        home = std::filesystem::temp_directory_path() /
               (folderPrefix + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(home);
        for (int unit = 1; unit <= 3; ++unit) {
            std::filesystem::create_directories(home / ("Ferix" + std::to_string(unit)));
            EXPECT_TRUE(control.setConnected(unit, true));
            units.addUnit(static_cast<std::uint8_t>(unit));
        }
        control.setFerixHomeDir(home.string() + "/");
        control.setPortDevices([this](int) { return pty.devicePath(); });
        EXPECT_TRUE(control.setCommSpeed(std::to_string(kSpeed)));
        EXPECT_TRUE(control.setProtocol(comm::ProtDNC));
        driver.preferPromptAnswers(true);
    }
    ~PtyUnitsFixture() override {
        driver.stop();
        std::filesystem::remove_all(home);
    }

    // Called whenever the control lets the host run.
    virtual void pump() = 0;

    // What the control and the units reported, for the diagnosis of a failure.
    std::string history() {
        std::string text;
        for (const auto& e : site.errors) {
            text += "control: " + e.description + "\n";
        }
        driver.withUnits([&](sim::unit::UnitSimulator& u) {
            for (const sim::unit::UnitEvent& e : u.events()) {
                text += e.describe() + "\n";
            }
        });
        return text;
    }
    std::string read(int unit, const std::string& name) {
        std::ifstream in(home / ("Ferix" + std::to_string(unit)) / name, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    void put(int unit, const std::string& name, const std::string& data) {
        std::ofstream(home / ("Ferix" + std::to_string(unit)) / name, std::ios::binary) << data;
    }

    sim::PtyPair pty;
    comm::RealHost host;
    sim::RecordingSite site;
    comm::ctrlFerixComm control;
    sim::unit::UnitSimulator units;
    sim::unit::FdUnitLine driver;
    std::filesystem::path home;
};
