// Writes the settings store in an endless loop, for the crash test that kills it at random
// moments:  StoreWriter <store file> <first generation>
// Every write gives one section a new generation: all its keys tell that generation, so a
// reader can see whether the section came back whole. One line on standard output says that
// writing has begun.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "StoreGenerations.h"
#include "dnc/config/ConfigStore.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: StoreWriter <store file> <first generation>\n");
        return 2;
    }
    dnc::ConfigStore store(argv[1]);
    const std::uint64_t first = std::strtoull(argv[2], nullptr, 10);
    for (std::uint64_t generation = first;; ++generation) {
        for (int net = 1; net <= storecrash::kSections; ++net) {
            if (!store.write(storecrash::sectionName(net),
                             storecrash::sectionValues(net, generation))) {
                return 1;
            }
            if (generation == first && net == 1) {
                std::puts("writing");
                std::fflush(stdout);
            }
        }
    }
}
