// The rules of the Revisions and Pending programs views that need no window: which revisions a
// view lists, the texts of a row, the marks of a compared line, and the status-bar count.
#pragma once

#include <array>
#include <string>

#include "dnc/history/Revisions.h"
#include "dnc/revisions/ProgramDiff.h"
#include "dnc/window/rules/UnitSelector.h"

namespace dnc::window {

// The string numbers of the views' texts.
namespace revstr {
inline constexpr int kMenuRevisions = 1901;
inline constexpr int kMenuPending = 1902;
inline constexpr int kTitleRevisions = 1903;
inline constexpr int kTitlePending = 1904;
inline constexpr int kFirstColumn = 1905;  // 1905..1913, in column order
inline constexpr int kCompare = 1914;
inline constexpr int kAccept = 1915;
inline constexpr int kReject = 1916;
inline constexpr int kRestore = 1917;
inline constexpr int kClose = 1918;
inline constexpr int kPendingCount = 1919;  // "%1 program(s) wait for approval"
inline constexpr int kNoHistory = 1920;
inline constexpr int kFailed = 1921;       // "%1 failed: %2"
inline constexpr int kFirstState = 1922;   // 1922..1926: released .. deleted
inline constexpr int kFirstSource = 1927;  // 1927..1931: unit .. restore
inline constexpr int kSelectProgram = 1932;
inline constexpr int kCompareHeader = 1933;  // "Revision %1 against %2"
inline constexpr int kLineEndsOnly = 1934;   // "Only the line ends differ"
inline constexpr int kReleasedOne = 1935;    // "the released one"
inline constexpr int kMarkTip = 1936;
inline constexpr int kReading = 1937;
inline constexpr int kNoRevisions = 1938;     // "No revision of %1 is recorded: ..."
inline constexpr int kRevisionColumn = 1939;  // "Revision %1 (%2)": id, state
inline constexpr int kBefore = 1940;          // the compared columns before a comparison
inline constexpr int kAfter = 1941;
inline constexpr int kLineColumn = 1942;
inline constexpr int kMarkColumn = 1943;
}  // namespace revstr

enum class RevisionColumn { Id, Time, Unit, Name, State, Source, Size, User, Note };
inline constexpr std::size_t kRevisionColumnCount = 9;

// The revisions a view lists: the program's (all its revisions), or the sub net's pending ones.
history::RevisionFilter revisionViewFilter(int subNet, int unit, const std::string& name,
                                           bool pendingOnly);

// The texts of a row, in column order; states and sources in the program's language.
std::array<std::string, kRevisionColumnCount> revisionRowTexts(const history::RevisionRow& row,
                                                               const StringLookup& strings);

// The mark of a compared row beside its line numbers, readable without colour: "~" changed,
// "-" only in the first, "+" only in the second, "¶" the line end alone, "" the same.
std::string rowMark(const revisions::SideBySideRow& row);

// The status bar's text for `pending` programs waiting (empty when none).
std::string pendingCountText(std::size_t pending, const StringLookup& strings);

}  // namespace dnc::window
