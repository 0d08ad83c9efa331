// A unit's program memory: four sections of named files, one of them current, or the four
// joined into one memory. Programs that arrive are stored in the current section; uploads,
// deletes and the memory list see the current section, or every section while joined.
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
    static constexpr std::uint32_t kDefaultCapacity = 131072;

    int currentSection() const { return current_; }
    // False for a section outside 1 to 4. Selecting a section ends a join.
    bool selectSection(int section);
    // The four sections act as one memory until a section is selected again.
    void joinSections() { joined_ = true; }
    bool joined() const { return joined_; }
    // Erases every section and starts again in section 1.
    void purge();

    // Stores (or replaces) a file in the current section, or in `section`.
    void store(const MemoryFile& file);
    void store(int section, const MemoryFile& file);
    // Looks in the current section, or in every section while joined.
    const MemoryFile* find(const std::string& name) const;
    bool remove(const std::string& name);
    std::vector<MemoryFile> files(int section) const;
    // The files the unit works with now: the current section's, or all while joined.
    std::vector<MemoryFile> visibleFiles() const;

    void setCapacity(std::uint32_t bytes) { capacity_ = bytes; }
    std::uint32_t capacity() const { return capacity_; }
    // Capacity less the bytes of every stored file, never below 0.
    std::uint32_t freeBytes() const;

private:
    int current_ = 1;
    bool joined_ = false;
    std::uint32_t capacity_ = kDefaultCapacity;
    std::array<std::map<std::string, MemoryFile>, kSections> sections_;
};

}  // namespace sim::unit
