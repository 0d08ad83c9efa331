// The lines a log wrote, collected from any thread, for the tests to count.
#pragma once

#include <mutex>
#include <string>
#include <vector>

class LogLines {
public:
    void add(const std::string& line) {
        std::lock_guard<std::mutex> lock(mutex_);
        lines_.push_back(line);
    }
    // How many lines hold `text`.
    int with(const std::string& text) const {
        std::lock_guard<std::mutex> lock(mutex_);
        int n = 0;
        for (const auto& l : lines_) {
            n += l.find(text) != std::string::npos ? 1 : 0;
        }
        return n;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};
