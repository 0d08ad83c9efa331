// The history recorder as the settings ask for it, and the revision desk that goes with it.
// The recorder's thread tells the desk of every revision it writes, to its very end: so the
// recorder goes first and the desk after it.
#pragma once

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "dnc/config/ConfigStore.h"
#include "dnc/history/HistoryRecorder.h"
#include "dnc/manager/RevisionDesk.h"

namespace dnc {

class HistoryServices {
public:
    // `report` gets the recorder's reports, as whole lines, from the recorder's thread.
    HistoryServices(const ConfigStore& store, const std::filesystem::path& database,
                    std::function<void(const std::string&)> report);
    HistoryServices(const HistoryServices&) = delete;
    HistoryServices& operator=(const HistoryServices&) = delete;

    history::HistoryRecorder& recorder() { return *recorder_; }
    RevisionDesk& desk() { return *desk_; }

private:
    std::atomic<RevisionDesk*> deskReady_{nullptr};
    std::unique_ptr<RevisionDesk> desk_;  // declared before the recorder: destroyed after it
    std::unique_ptr<history::HistoryRecorder> recorder_;
};

}  // namespace dnc
