#include "dnc/history/TransferRecord.h"

#include <array>
#include <utility>

namespace dnc::history {

namespace {

constexpr std::array<std::pair<Direction, std::string_view>, 4> kDirections{{
    {Direction::ToUnit, "to-unit"},
    {Direction::FromUnit, "from-unit"},
    {Direction::Include, "include"},
    {Direction::Exclude, "exclude"},
}};
constexpr std::array<std::pair<StartedBy, std::string_view>, 3> kStarters{{
    {StartedBy::Unit, "unit"},
    {StartedBy::Operator, "operator"},
    {StartedBy::Window, "window"},
}};
constexpr std::array<std::pair<Outcome, std::string_view>, 3> kOutcomes{{
    {Outcome::Done, "done"},
    {Outcome::Failed, "failed"},
    {Outcome::Stopped, "stopped"},
}};

template <typename Value, std::size_t N>
std::string_view textOf(const std::array<std::pair<Value, std::string_view>, N>& table,
                        Value value) {
    for (const auto& entry : table) {
        if (entry.first == value) {
            return entry.second;
        }
    }
    return {};
}

template <typename Value, std::size_t N>
std::optional<Value> valueOf(const std::array<std::pair<Value, std::string_view>, N>& table,
                             std::string_view text) {
    for (const auto& entry : table) {
        if (entry.second == text) {
            return entry.first;
        }
    }
    return std::nullopt;
}

}  // namespace

std::string_view toText(Direction direction) {
    return textOf(kDirections, direction);
}
std::string_view toText(StartedBy startedBy) {
    return textOf(kStarters, startedBy);
}
std::string_view toText(Outcome outcome) {
    return textOf(kOutcomes, outcome);
}
std::optional<Direction> directionFromText(std::string_view text) {
    return valueOf(kDirections, text);
}
std::optional<StartedBy> startedByFromText(std::string_view text) {
    return valueOf(kStarters, text);
}
std::optional<Outcome> outcomeFromText(std::string_view text) {
    return valueOf(kOutcomes, text);
}

}  // namespace dnc::history
