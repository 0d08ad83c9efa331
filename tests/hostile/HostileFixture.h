// The headless service as a process with its settings written by hand, sub net 1 on a
// pseudo-terminal whose other end plays three units, unit directories in a fresh folder.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "sim/pty/PtyPair.h"
#include "sim/unit/FdUnitLine.h"
#include "sim/unit/UnitSimulator.h"
#include "tests/support/ChildProgram.h"

namespace fs = std::filesystem;

// The program under test: this build's, or the one $FERIX_PROGRAM names (an installed package,
// another build).
std::string programUnderTest();

class HostileService : public ::testing::Test {
protected:
    static constexpr std::int32_t kSpeed = 9600;

    HostileService();
    ~HostileService() override;

    // The settings: sub net 1 "Hostile" on the pseudo-terminal, then `more` as written; `ports`
    // and `flags` are lines of the sections "Ports" and "Common".
    void writeSettings(const std::string& more = {}, const std::string& ports = {},
                       const std::string& flags = {});
    // Fresh units on the line (the old ones, mid-transfer perhaps, are dropped).
    void startUnits();
    // The service, waited for until sub net 1 serves its line.
    void startService();
    // SIGTERM; the exit code (-1 when it did not end within 20 s).
    int stopService();

    void raise(std::uint8_t address, const sim::unit::RequestSpec& request);
    // Waits until the units have reported `count` events of `kind`; the last of them.
    sim::unit::UnitEvent waitForUnits(sim::unit::UnitEvent::Kind kind, std::size_t count = 1,
                                      std::chrono::seconds timeout = std::chrono::seconds(30));
    // Waits until the service has logged a line holding every one of `parts`.
    bool waitForLine(const std::vector<std::string>& parts,
                     std::chrono::seconds timeout = std::chrono::seconds(20));
    std::string unitHistory();

    fs::path unitDir(int unit) const { return home / ("Ferix" + std::to_string(unit)); }
    void put(int unit, const std::string& name, const std::string& data) const;
    static std::string read(const fs::path& file);
    std::vector<std::string> hiddenFiles(int unit) const;

    fs::path dir;
    fs::path home;
    fs::path settings;
    sim::PtyPair line;
    std::unique_ptr<sim::unit::UnitSimulator> units;
    std::unique_ptr<sim::unit::FdUnitLine> driver;
    std::unique_ptr<ChildProgram> service;
};
