// A control site that records everything the control tells its host, for tests and for the
// simulators' own checks.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "comm/ControlSite.h"

namespace sim {

class RecordingSite : public comm::ControlSite {
public:
    struct Error {
        bool reqSidePC;
        std::string description;
        std::string helpFile;
        std::int32_t context;
    };

    void FerixMemChanged(std::uint8_t FerixAdr) override { memChanged.push_back(FerixAdr); }
    void FerixDirChanged(std::uint8_t FerixAdr) override { dirChanged.push_back(FerixAdr); }
    void ProgressChanged(std::uint8_t Progress) override { progress.push_back(Progress); }
    void OnError(bool ReqSidePC, const std::string& Description, const std::string& Helpfile,
                 std::int32_t Context) override {
        errors.push_back({ReqSidePC, Description, Helpfile, Context});
    }
    void ShowStop(bool ShowBtn, std::uint8_t Direction) override {
        stops.emplace_back(ShowBtn, Direction);
    }

    bool UserMode() override { return userMode; }
    void PropertyChanged(std::string_view name) override { changed.emplace_back(name); }
    void ShowIndicator(int picture) override { pictures.push_back(picture); }
    void SetBusy(bool busy) override { busyCalls.push_back(busy); }
    void ConfirmPrompt(const std::string& caption, const std::string& text) override {
        prompts.push_back(caption + "|" + text);
        if (onPrompt) {
            onPrompt();
        }
    }

    void TransferEnded(const comm::TransferEnd& end) override { transfers.push_back(end); }
    void ProgramRemoved(const comm::ProgramRemoval& removal) override {
        removals.push_back(removal);
    }

    bool userMode = true;
    std::function<void()> onPrompt;

    std::vector<std::uint8_t> memChanged;
    std::vector<std::uint8_t> dirChanged;
    std::vector<std::uint8_t> progress;
    std::vector<Error> errors;
    std::vector<std::pair<bool, std::uint8_t>> stops;
    std::vector<std::string> changed;
    std::vector<int> pictures;
    std::vector<bool> busyCalls;
    std::vector<std::string> prompts;
    std::vector<comm::TransferEnd> transfers;
    std::vector<comm::ProgramRemoval> removals;
};

}  // namespace sim
