#include "dnc/revisions/RevisionState.h"

#include <array>
#include <utility>

namespace dnc::revisions {

namespace {

constexpr std::array<std::pair<State, std::string_view>, 5> kStates{{
    {State::Released, "released"},
    {State::Pending, "pending"},
    {State::Superseded, "superseded"},
    {State::Rejected, "rejected"},
    {State::Deleted, "deleted"},
}};
constexpr std::array<std::pair<Source, std::string_view>, 5> kSources{{
    {Source::Unit, "unit"},
    {Source::Operator, "operator"},
    {Source::Include, "include"},
    {Source::Accept, "accept"},
    {Source::Restore, "restore"},
}};

template <typename E, std::size_t N>
std::string_view find(const std::array<std::pair<E, std::string_view>, N>& table, E value) {
    for (const auto& [e, text] : table) {
        if (e == value) {
            return text;
        }
    }
    return {};
}

template <typename E, std::size_t N>
std::optional<E> parse(const std::array<std::pair<E, std::string_view>, N>& table,
                       std::string_view text) {
    for (const auto& [e, name] : table) {
        if (name == text) {
            return e;
        }
    }
    return std::nullopt;
}

}  // namespace

std::string_view toText(State state) {
    return find(kStates, state);
}

std::string_view toText(Source source) {
    return find(kSources, source);
}

std::string_view toText(Action action) {
    switch (action) {
        case Action::Accept:
            return "accept";
        case Action::Reject:
            return "reject";
        case Action::Restore:
            return "restore";
    }
    return {};
}

std::optional<State> stateFromText(std::string_view text) {
    return parse(kStates, text);
}

std::optional<Source> sourceFromText(std::string_view text) {
    return parse(kSources, text);
}

std::optional<std::string> refusal(Action action, State state) {
    const std::string is = "the revision is " + std::string(toText(state));
    switch (action) {
        case Action::Accept:
        case Action::Reject:
            if (state != State::Pending) {
                return is + ", only a pending one can be " +
                       (action == Action::Accept ? "accepted" : "rejected");
            }
            return std::nullopt;
        case Action::Restore:
            if (state == State::Pending) {
                return is + ": accept it instead";
            }
            if (state == State::Released) {
                return is + ": it is the file already";
            }
            return std::nullopt;
    }
    return std::nullopt;
}

bool removesProgram(State state, std::string_view note) {
    return state == State::Deleted || note == kDeletionNote;
}

std::optional<std::string> refusal(Action action, State state, bool hasContent) {
    if (action == Action::Restore && !hasContent && state != State::Pending) {
        return "the revision is " + std::string(toText(state)) + ": it has no content to restore";
    }
    return refusal(action, state);
}

std::string unitUser(int unit) {
    return "unit " + std::to_string(unit);
}

}  // namespace dnc::revisions
