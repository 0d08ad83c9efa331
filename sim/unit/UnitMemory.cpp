#include "sim/unit/UnitMemory.h"

namespace sim::unit {

bool UnitMemory::selectSection(int section) {
    if (section < 1 || section > kSections) {
        return false;
    }
    current_ = section;
    joined_ = false;
    return true;
}

void UnitMemory::purge() {
    for (auto& section : sections_) {
        section.clear();
    }
    current_ = 1;
    joined_ = false;
}

void UnitMemory::store(const MemoryFile& file) {
    // While joined, a file replaces the one of its name wherever that one is kept.
    for (int section = 1; joined_ && section <= kSections; ++section) {
        if (sections_[section - 1].count(file.name) > 0) {
            store(section, file);
            return;
        }
    }
    store(current_, file);
}

void UnitMemory::store(int section, const MemoryFile& file) {
    if (section >= 1 && section <= kSections) {
        sections_[section - 1][file.name] = file;
    }
}

const MemoryFile* UnitMemory::find(const std::string& name) const {
    for (int i = 0; i < kSections; ++i) {
        // The current section first: while joined, a name there hides the same name elsewhere.
        const int section = (current_ - 1 + i) % kSections;
        const auto it = sections_[section].find(name);
        if (it != sections_[section].end()) {
            return &it->second;
        }
        if (!joined_) {
            break;
        }
    }
    return nullptr;
}

bool UnitMemory::remove(const std::string& name) {
    for (int i = 0; i < kSections; ++i) {
        const int section = (current_ - 1 + i) % kSections;
        if (sections_[section].erase(name) > 0) {
            return true;
        }
        if (!joined_) {
            break;
        }
    }
    return false;
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

std::vector<MemoryFile> UnitMemory::visibleFiles() const {
    if (!joined_) {
        return files(current_);
    }
    std::vector<MemoryFile> out;
    for (int section = 1; section <= kSections; ++section) {
        for (MemoryFile& file : files(section)) {
            out.push_back(std::move(file));
        }
    }
    return out;
}

std::uint32_t UnitMemory::freeBytes() const {
    std::uint64_t used = 0;
    for (const auto& section : sections_) {
        for (const auto& [name, file] : section) {
            used += file.data.size();
        }
    }
    return used >= capacity_ ? 0 : static_cast<std::uint32_t>(capacity_ - used);
}

}  // namespace sim::unit
