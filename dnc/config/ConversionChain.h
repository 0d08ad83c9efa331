// The steps of one conversion chain as they are edited. A step must fit its 128-byte record
// in the chain file; a longer one is refused when it is set, so that saving never loses it.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace dnc {

inline constexpr std::size_t kMaxStepLength = 126;

class ConversionChain {
public:
    ConversionChain() = default;

    // The chain of `steps`; false (and an empty chain) when one of them is too long.
    static bool fromSteps(const std::vector<std::string>& steps, ConversionChain& chain);

    static bool fitsRecord(const std::string& step) { return step.size() <= kMaxStepLength; }

    const std::vector<std::string>& steps() const { return steps_; }
    std::size_t size() const { return steps_.size(); }

    // Each returns false and leaves the chain unchanged for a step that is too long or an
    // index outside the chain (insertStep accepts size() to append).
    bool setStep(std::size_t index, const std::string& step);
    bool insertStep(std::size_t index, const std::string& step);
    bool removeStep(std::size_t index);

private:
    std::vector<std::string> steps_;
};

}  // namespace dnc
