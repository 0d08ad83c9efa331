// The control's side of its host: the five events, and the hooks through which the control
// asks the host for what only a host can do. The control never opens a window itself.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "comm/TransferEnd.h"

namespace comm {

// The events, in slot order 1 to 5.
class ControlEvents {
public:
    virtual ~ControlEvents() = default;

    // The memory of a unit has (or may have) changed.
    virtual void FerixMemChanged(std::uint8_t FerixAdr) = 0;
    // A file was written into a unit directory.
    virtual void FerixDirChanged(std::uint8_t FerixAdr) = 0;
    // Progress of the running transfer or command, 0 to 100.
    virtual void ProgressChanged(std::uint8_t Progress) = 0;
    // An error caught inside the control. ReqSidePC: the failing work was the operator's.
    virtual void OnError(bool ReqSidePC, const std::string& Description,
                         const std::string& Helpfile, std::int32_t Context) = 0;
    // A stoppable transfer begins (ShowBtn true) or ends. Direction 0: PC to unit, 1: unit to PC.
    virtual void ShowStop(bool ShowBtn, std::uint8_t Direction) = 0;
};

class ControlSite : public ControlEvents {
public:
    // False while the host is being designed: the line cannot be switched on then.
    virtual bool UserMode() { return true; }
    // A property was set; unit-table properties carry the unit number ("FerixDir3").
    virtual void PropertyChanged(std::string_view name) { (void)name; }
    // The activity picture: 1 idle or inactive, 2 active, 1 to 8 the animation of moving blocks.
    virtual void ShowIndicator(int picture) { (void)picture; }
    // The busy (wait) indication while the control serves a request.
    virtual void SetBusy(bool busy) { (void)busy; }
    // Shows `text` with only an OK button and returns when the operator has confirmed.
    virtual void ConfirmPrompt(const std::string& caption, const std::string& text) = 0;
    // A program transfer has ended (once per transfer, on the control's thread). The host
    // must not wait here: the line is still held by the control.
    virtual void TransferEnded(const TransferEnd& end) { (void)end; }
    // A program transfer begins: its unit, way and name are set (the rest comes at its end).
    virtual void TransferBegun(const TransferEnd& transfer) { (void)transfer; }
    // A program was removed from a unit directory, or its removal is held (same rules as above).
    virtual void ProgramRemoved(const ProgramRemoval& removal) { (void)removal; }
};

}  // namespace comm
