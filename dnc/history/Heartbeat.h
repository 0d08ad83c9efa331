// What a running service tells the other PCs of a plant every few seconds: its sub nets with
// their states and the revisions waiting for approval. A state, not a record: each beat
// replaces the site's last one, is never sealed onto a chain and is not kept in the history.
#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace dnc::history {

// The states a sub net is told in.
inline constexpr const char* kSubNetRunning = "running";
inline constexpr const char* kSubNetStopped = "stopped";
inline constexpr const char* kSubNetRetrying = "retrying";

struct SubNetBeat {
    int subNet = 0;
    std::string caption;
    std::string state;
    std::string error;  // the last error of its port ("" when it had none)
};

struct Heartbeat {
    std::string site;  // written: empty for the store's own site
    std::chrono::system_clock::time_point time;
    int pending = 0;  // revisions waiting for approval
    std::vector<SubNetBeat> subNets;
};

// A site whose last beat is older than this is silent: its service is gone or cut off.
inline constexpr std::chrono::seconds kSilentAfter{30};

inline bool silent(const Heartbeat& beat, std::chrono::system_clock::time_point now) {
    return now - beat.time > kSilentAfter;
}

}  // namespace dnc::history
