// Carries out the accepts and rejects that other sites (or the browser view) asked this site
// for: the history's thread is asked for this site's open requests at an interval, and each is
// carried out as an operator's decision is (the file replaced on its sub net while the line
// rests, the decision recorded with the request settled in the same transaction), or settled
// failed with the reason. Another site's requests are left alone.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "dnc/history/HistoryRecorder.h"
#include "dnc/manager/Network.h"
#include "dnc/manager/RevisionDesk.h"

namespace dnc {

class RequestRunner {
public:
    struct Options {
        std::chrono::milliseconds interval{3000};
        // Gets a line for the log of each request carried out or failed, on any thread.
        std::function<void(const std::string&)> log;
    };
    RequestRunner(std::filesystem::path database, std::string site, RevisionDesk& desk,
                  history::HistoryRecorder& recorder, Options options);
    ~RequestRunner();
    RequestRunner(const RequestRunner&) = delete;
    RequestRunner& operator=(const RequestRunner&) = delete;

    // The network whose running sub nets carry the requests out; from then on the requests are
    // asked for at the interval. Null: none (the requests wait; the network may go after this).
    void attach(Network* network);
    // Asks for the open requests now.
    void checkNow();
    // Stops asking; what is being carried out ends as it would.
    void stop();

    // For RecorderOptions::requestsOpen: on the recorder's thread.
    void requestsOpen(const std::vector<history::DecisionRequest>& open);

private:
    void take(const history::DecisionRequest& request);
    void settleFailed(const history::DecisionRequest& request, const std::string& why);
    void finished(std::int64_t id);
    void say(const std::string& line) const;
    void tick();

    std::filesystem::path database_;
    std::string site_;
    RevisionDesk& desk_;
    history::HistoryRecorder& recorder_;
    Options options_;
    std::mutex mutex_;
    std::condition_variable wake_;
    Network* network_ = nullptr;
    std::set<std::int64_t> inFlight_;  // taken and not yet settled
    bool stopping_ = false;
    std::thread timer_;
};

}  // namespace dnc
