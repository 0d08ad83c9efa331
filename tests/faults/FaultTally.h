// What a fault run did, printed for the record: the transfers tried, how many needed another
// attempt, how many failed (each reported through OnError), and what the wire did to the
// characters.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "sim/virtual/VirtualLine.h"

struct TransferTally {
    int jobs = 0;              // transfers wanted
    int attempts = 0;          // transfers started, retries included
    int firstTime = 0;         // jobs done at the first attempt
    int afterRetry = 0;        // jobs done at a later attempt
    int reportedFailures = 0;  // attempts that failed with an error reported
    int unheard = 0;           // attempts whose request never reached the PC (nothing to report)
    int givenUp = 0;           // jobs still not done after the last attempt
    int unseenByCheck = 0;     // programs that arrived changed in a way the check cannot see

    void print(const std::string& run, const sim::WireTally& wire) const {
        std::printf(
            "[ tally    ] %s: %d jobs, %d attempts; %d done first time, %d after a retry, %d "
            "given up, %d with changes the check cannot see; %d failures reported, %d requests "
            "unheard; wire: %zu characters, %zu "
            "corrupted, %zu dropped, %zu duplicated, %zu cut off\n",
            run.c_str(), jobs, attempts, firstTime, afterRetry, givenUp, unseenByCheck,
            reportedFailures, unheard, wire.carried, wire.corrupted, wire.dropped, wire.duplicated,
            wire.cut);
        std::fflush(stdout);
    }
};

// The seed of the wire's faults. A run is repeated exactly with the same seed; another seed
// (FERIX_FAULT_SEED) tries other places for the faults when looking for what a run missed.
inline std::uint64_t faultSeed() {
    if (const char* chosen = std::getenv("FERIX_FAULT_SEED"); chosen && *chosen) {
        return std::strtoull(chosen, nullptr, 10);
    }
    return 20261207;
}
