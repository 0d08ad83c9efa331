// A unit's program memory: four sections of named files, one of them current. Programs that
// arrive are stored in the current section; uploads come from it.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace sim::unit {

struct MemoryFile {
    std::string name;
    std::uint8_t kind = 1;
    std::string data;
};

class UnitMemory {
public:
    static constexpr int kSections = 4;

    int currentSection() const { return current_; }
    // False for a section outside 1 to 4.
    bool selectSection(int section);

    // Stores (or replaces) a file in the current section, or in `section`.
    void store(const MemoryFile& file);
    void store(int section, const MemoryFile& file);
    const MemoryFile* find(const std::string& name) const;
    bool remove(const std::string& name);
    std::vector<MemoryFile> files(int section) const;

private:
    int current_ = 1;
    std::array<std::map<std::string, MemoryFile>, kSections> sections_;
};

}  // namespace sim::unit
