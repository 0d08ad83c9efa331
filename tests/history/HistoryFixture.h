// A fresh folder per test for history databases, and records to put into them.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "dnc/history/TransferRecord.h"

class HistoryFolder : public ::testing::Test {
protected:
    HistoryFolder() {
        // A test on each back end is named "Name/Backend".
        std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::replace(name.begin(), name.end(), '/', '-');
        dir = std::filesystem::temp_directory_path() /
              ("ferix-history-" + std::to_string(::getpid()) + "-" + name);
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        db = dir / "state" / "history.db";
    }
    ~HistoryFolder() override { std::filesystem::remove_all(dir); }

    // 2026-03-04T05:06:07Z plus `seconds`.
    static std::chrono::system_clock::time_point at(long seconds) {
        return std::chrono::system_clock::from_time_t(1772600767) + std::chrono::seconds(seconds);
    }

    static dnc::history::TransferRecord transfer(std::string name, std::string content,
                                                 long seconds = 0, int subNet = 1, int unit = 1) {
        dnc::history::TransferRecord r;
        r.time = at(seconds);
        r.subNet = subNet;
        r.caption = "Hall " + std::to_string(subNet);
        r.unit = unit;
        r.name = name;
        r.path = "/srv/dnc/Ferix" + std::to_string(unit) + "/" + name;
        r.content = std::move(content);
        return r;
    }

    std::filesystem::path dir;
    std::filesystem::path db;
};
