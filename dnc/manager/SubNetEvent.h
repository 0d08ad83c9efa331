// What a running sub net tells its owner (the service, later a window), as plain values that
// travel between threads.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "comm/TransferEnd.h"
#include "dnc/config/SettingsCheck.h"
#include "dnc/manager/ControlSettings.h"

namespace dnc {

struct SubNetEvent {
    enum class Kind {
        FerixMemChanged,
        FerixDirChanged,
        ProgressChanged,
        OnError,
        ShowStop,
        CommunicationStarted,  // the line is open and served
        CommunicationStopped,  // the line was switched off
        StartFailed,           // switching on failed: description holds the error
        Closing,               // the sub net has stored its configuration and ends
        SettingProblem,        // a stored value of the sub net's section does not hold
        ConfigChanged,         // settings were loaded or applied: settings holds them
        TransferBegun,         // a program transfer begins: unit, program, direction
        TransferFinished,      // it ended: the same, with outcome (and the error in description)
    };

    explicit SubNetEvent(Kind k) : kind(k) {}

    Kind kind;
    int subNet = 0;
    std::string caption;
    std::uint8_t unit = 0;      // FerixMemChanged, FerixDirChanged
    std::uint8_t progress = 0;  // ProgressChanged
    bool reqSidePC = false;     // OnError
    std::string description;    // OnError, StartFailed
    std::string helpFile;
    std::int32_t context = 0;
    bool showButton = false;     // ShowStop
    std::uint8_t direction = 0;  // ShowStop, TransferBegun, TransferFinished
    std::string program;         // TransferBegun, TransferFinished: its file name
    std::string outcome;         // TransferFinished: "done", "failed", "stopped"
    // SettingProblem: one per problem of section "Config"N, sent once when the sub net has
    // read its configuration (before communication starts); description holds its text.
    dnc::SettingProblem setting;
    std::shared_ptr<const ControlSettings> settings;  // ConfigChanged
    // TransferBegun, TransferFinished: the whole account (who started it, the bytes)
    std::shared_ptr<const comm::TransferEnd> transfer;
};

// The owner of sub nets. Called on the sub net's thread: an owner hands the event over to its
// own thread (its queue, or a queued signal of the user interface).
class SubNetOwner {
public:
    virtual ~SubNetOwner() = default;
    virtual void deliver(const SubNetEvent& event) = 0;
    // The plain send asks the operator to get the unit ready; returns when confirmed.
    virtual void confirm(int subNet, const std::string& caption, const std::string& text) = 0;
};

}  // namespace dnc
