#include "dnc/config/ConversionChain.h"

namespace dnc {

bool ConversionChain::fromSteps(const std::vector<std::string>& steps, ConversionChain& chain) {
    chain.steps_.clear();
    for (const std::string& step : steps) {
        if (!fitsRecord(step)) {
            chain.steps_.clear();
            return false;
        }
    }
    chain.steps_ = steps;
    return true;
}

bool ConversionChain::setStep(std::size_t index, const std::string& step) {
    if (index >= steps_.size() || !fitsRecord(step)) {
        return false;
    }
    steps_[index] = step;
    return true;
}

bool ConversionChain::insertStep(std::size_t index, const std::string& step) {
    if (index > steps_.size() || !fitsRecord(step)) {
        return false;
    }
    steps_.insert(steps_.begin() + static_cast<std::ptrdiff_t>(index), step);
    return true;
}

bool ConversionChain::removeStep(std::size_t index) {
    if (index >= steps_.size()) {
        return false;
    }
    steps_.erase(steps_.begin() + static_cast<std::ptrdiff_t>(index));
    return true;
}

}  // namespace dnc
