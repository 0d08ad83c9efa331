// The history recorder as the settings ask for it, and the revision desk that goes with it.
// The recorder's thread tells the desk of every revision it writes, to its very end: so the
// recorder goes first and the desk after it. So does the runner of the decision requests.
#pragma once

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "dnc/config/ConfigStore.h"
#include "dnc/history/HistoryRecorder.h"
#include "dnc/manager/RequestRunner.h"
#include "dnc/manager/RevisionDesk.h"

namespace dnc {

class HistoryServices {
public:
    // `report` gets the recorder's reports, as whole lines, from the recorder's thread.
    HistoryServices(const ConfigStore& store, const std::filesystem::path& database,
                    std::function<void(const std::string&)> report,
                    std::optional<std::chrono::milliseconds> requestInterval = std::nullopt);
    HistoryServices(const HistoryServices&) = delete;
    HistoryServices& operator=(const HistoryServices&) = delete;

    ~HistoryServices();

    history::HistoryRecorder& recorder() { return *recorder_; }
    RevisionDesk& desk() { return *desk_; }
    // Carries out the decision requests for this site once a network is attached.
    RequestRunner& requests() { return *requests_; }

private:
    std::atomic<RevisionDesk*> deskReady_{nullptr};
    std::atomic<RequestRunner*> requestsReady_{nullptr};
    // Declared before the recorder: destroyed after it, whose thread tells them to its end.
    std::unique_ptr<RequestRunner> requests_;
    std::unique_ptr<RevisionDesk> desk_;
    std::unique_ptr<history::HistoryRecorder> recorder_;
};

}  // namespace dnc
