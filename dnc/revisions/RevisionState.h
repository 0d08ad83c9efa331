// The states and sources of a program's revisions, and which operator action a revision in a
// state allows.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace dnc::revisions {

enum class State { Released, Pending, Superseded, Rejected, Deleted };
enum class Source { Unit, Operator, Include, Accept, Restore };
enum class Action { Accept, Reject, Restore };

std::string_view toText(State state);
std::string_view toText(Source source);
std::string_view toText(Action action);
std::optional<State> stateFromText(std::string_view text);
std::optional<Source> sourceFromText(std::string_view text);

// Why `action` cannot be taken on a revision in `state`; nullopt when it can. Only a pending
// revision is accepted or rejected; any other revision with content, except the released one,
// is restored (a removal's content is what the file held before it went).
std::optional<std::string> refusal(Action action, State state);

// The note of a revision that removes its program: pending, it waits for approval of the
// removal; its hash and size are those of the content the program had.
inline constexpr std::string_view kDeletionNote = "removes the program";
bool removesProgram(State state, std::string_view note);

// The same for a revision that may have no content (a removal whose file could not be read).
std::optional<std::string> refusal(Action action, State state, bool hasContent);

// The user named for what a unit sent.
std::string unitUser(int unit);

}  // namespace dnc::revisions
