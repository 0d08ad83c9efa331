#include "sim/unit/UnitMemory.h"

namespace sim::unit {

bool UnitMemory::selectSection(int section) {
    if (section < 1 || section > kSections) {
        return false;
    }
    current_ = section;
    return true;
}

void UnitMemory::store(const MemoryFile& file) {
    store(current_, file);
}

void UnitMemory::store(int section, const MemoryFile& file) {
    if (section >= 1 && section <= kSections) {
        sections_[section - 1][file.name] = file;
    }
}

const MemoryFile* UnitMemory::find(const std::string& name) const {
    const auto& section = sections_[current_ - 1];
    const auto it = section.find(name);
    return it == section.end() ? nullptr : &it->second;
}

bool UnitMemory::remove(const std::string& name) {
    return sections_[current_ - 1].erase(name) > 0;
}

std::vector<MemoryFile> UnitMemory::files(int section) const {
    std::vector<MemoryFile> out;
    if (section >= 1 && section <= kSections) {
        for (const auto& [name, file] : sections_[section - 1]) {
            out.push_back(file);
        }
    }
    return out;
}

}  // namespace sim::unit
