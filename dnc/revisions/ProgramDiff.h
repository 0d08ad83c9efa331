// The line-by-line difference of two versions of an NC program. Programs are text with CR LF or
// LF line ends: lines are compared without their ends, so a change of line ends alone shows as
// such and not as every line changed.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace dnc::revisions {

enum class LineEnd { None, Lf, CrLf };

struct ProgramLine {
    std::string text;  // without its end
    LineEnd end = LineEnd::None;
};

// The lines of `program`; a last line without an end is kept.
std::vector<ProgramLine> splitLines(std::string_view program);

enum class LineChange { Same, Removed, Added };

// One step of the edit from the first version to the second. Line numbers count from 1; 0 when
// the line is not in that version.
struct DiffStep {
    LineChange change = LineChange::Same;
    std::size_t first = 0;
    std::size_t second = 0;
    std::string text;
    bool endChanged = false;  // Same text, other line end
};

struct ProgramDiff {
    std::vector<DiffStep> steps;
    std::size_t linesChanged = 0;       // removed plus added
    std::size_t endsChanged = 0;        // lines equal but for their end
    bool identical = false;             // byte for byte
    LineEnd firstEnds = LineEnd::None;  // the ends most lines of each version have
    LineEnd secondEnds = LineEnd::None;
};

ProgramDiff compare(std::string_view first, std::string_view second);

// The difference as unified text with `context` lines around each change. A change of line
// ends is noted in a line of its own below the header.
std::string unifiedText(const ProgramDiff& diff, std::string_view firstLabel,
                        std::string_view secondLabel, std::size_t context = 3);

// The name of the line ends used by most lines of a version ("CR LF", "LF" or "none").
std::string_view lineEndName(LineEnd end);

enum class RowKind { Same, Changed, Removed, Added };

// A side-by-side row: a removed line next to the added line that replaces it.
struct SideBySideRow {
    RowKind kind = RowKind::Same;
    std::size_t first = 0;  // 0: nothing on this side
    std::string firstText;
    std::size_t second = 0;
    std::string secondText;
    bool endChanged = false;
};
std::vector<SideBySideRow> sideBySide(const ProgramDiff& diff);

}  // namespace dnc::revisions
