#include "dnc/revisions/ProgramDiff.h"

#include <dtl/dtl.hpp>

#include <algorithm>

namespace dnc::revisions {

namespace {

// Beyond this many lines on both sides the library gives an edit that may be longer than the
// shortest but takes bounded time.
constexpr long long kHugeProduct = 4'000'000'000LL;

LineEnd mostUsedEnd(const std::vector<ProgramLine>& lines) {
    std::size_t lf = 0;
    std::size_t crlf = 0;
    for (const ProgramLine& line : lines) {
        lf += line.end == LineEnd::Lf ? 1 : 0;
        crlf += line.end == LineEnd::CrLf ? 1 : 0;
    }
    if (lf == 0 && crlf == 0) {
        return LineEnd::None;
    }
    return crlf >= lf ? LineEnd::CrLf : LineEnd::Lf;
}

std::string range(std::size_t start, std::size_t count) {
    // A hunk that holds no line of a side names the line before it.
    return std::to_string(count == 0 ? start - 1 : start) + "," + std::to_string(count);
}

}  // namespace

std::string_view lineEndName(LineEnd end) {
    switch (end) {
        case LineEnd::Lf:
            return "LF";
        case LineEnd::CrLf:
            return "CR LF";
        case LineEnd::None:
            break;
    }
    return "none";
}

std::vector<ProgramLine> splitLines(std::string_view program) {
    std::vector<ProgramLine> lines;
    std::size_t start = 0;
    while (start < program.size()) {
        const std::size_t lf = program.find('\n', start);
        if (lf == std::string_view::npos) {
            lines.push_back({std::string(program.substr(start)), LineEnd::None});
            break;
        }
        const bool cr = lf > start && program[lf - 1] == '\r';
        lines.push_back({std::string(program.substr(start, lf - start - (cr ? 1 : 0))),
                         cr ? LineEnd::CrLf : LineEnd::Lf});
        start = lf + 1;
    }
    return lines;
}

ProgramDiff compare(std::string_view first, std::string_view second) {
    ProgramDiff diff;
    diff.identical = first == second;
    const std::vector<ProgramLine> a = splitLines(first);
    const std::vector<ProgramLine> b = splitLines(second);
    diff.firstEnds = mostUsedEnd(a);
    diff.secondEnds = mostUsedEnd(b);
    std::vector<std::string> textA;
    std::vector<std::string> textB;
    textA.reserve(a.size());
    textB.reserve(b.size());
    for (const ProgramLine& line : a) {
        textA.push_back(line.text);
    }
    for (const ProgramLine& line : b) {
        textB.push_back(line.text);
    }
    dtl::Diff<std::string> edit(textA, textB);
    if (static_cast<long long>(a.size()) * static_cast<long long>(b.size()) > kHugeProduct) {
        edit.onHuge();
    }
    edit.compose();
    for (const auto& [text, info] : edit.getSes().getSequence()) {
        DiffStep step;
        step.text = text;
        if (info.type == dtl::SES_ADD) {
            step.change = LineChange::Added;
            step.second = static_cast<std::size_t>(info.afterIdx);
            ++diff.linesChanged;
        } else if (info.type == dtl::SES_DELETE) {
            step.change = LineChange::Removed;
            step.first = static_cast<std::size_t>(info.beforeIdx);
            ++diff.linesChanged;
        } else {
            step.first = static_cast<std::size_t>(info.beforeIdx);
            step.second = static_cast<std::size_t>(info.afterIdx);
            step.endChanged = a[step.first - 1].end != b[step.second - 1].end;
            diff.endsChanged += step.endChanged ? 1 : 0;
        }
        diff.steps.push_back(std::move(step));
    }
    // Within each run of changes the removed lines go first, as readers of diffs expect.
    auto run = diff.steps.begin();
    while (run != diff.steps.end()) {
        run = std::find_if(run, diff.steps.end(),
                           [](const DiffStep& s) { return s.change != LineChange::Same; });
        const auto end = std::find_if(
            run, diff.steps.end(), [](const DiffStep& s) { return s.change == LineChange::Same; });
        std::stable_partition(run, end,
                              [](const DiffStep& s) { return s.change == LineChange::Removed; });
        run = end;
    }
    return diff;
}

std::string unifiedText(const ProgramDiff& diff, std::string_view firstLabel,
                        std::string_view secondLabel, std::size_t context) {
    std::string out;
    if (diff.identical) {
        return out;
    }
    out += "--- " + std::string(firstLabel) + "\n";
    out += "+++ " + std::string(secondLabel) + "\n";
    if (diff.endsChanged > 0) {
        out += "\\ line ends differ on " + std::to_string(diff.endsChanged) + " line(s) (" +
               std::string(lineEndName(diff.firstEnds)) + ", then " +
               std::string(lineEndName(diff.secondEnds)) + ")";
        out += diff.linesChanged == 0 ? "; nothing else differs\n" : "\n";
    }
    const std::vector<DiffStep>& steps = diff.steps;
    std::vector<std::size_t> changed;
    for (std::size_t i = 0; i < steps.size(); ++i) {
        if (steps[i].change != LineChange::Same) {
            changed.push_back(i);
        }
    }
    std::size_t next = 0;
    while (next < changed.size()) {
        // A hunk: the changes whose contexts touch, with `context` lines around them.
        const std::size_t begin = changed[next] > context ? changed[next] - context : 0;
        std::size_t last = changed[next];
        while (next + 1 < changed.size() && changed[next + 1] - last <= 2 * context + 1) {
            last = changed[++next];
        }
        ++next;
        const std::size_t end = std::min(steps.size(), last + context + 1);
        std::size_t firstStart = 0;
        std::size_t secondStart = 0;
        std::size_t firstCount = 0;
        std::size_t secondCount = 0;
        std::string body;
        for (std::size_t i = begin; i < end; ++i) {
            const DiffStep& step = steps[i];
            char mark = ' ';
            if (step.change == LineChange::Removed) {
                mark = '-';
            } else if (step.change == LineChange::Added) {
                mark = '+';
            }
            if (step.change != LineChange::Added) {
                firstStart = firstStart == 0 ? step.first : firstStart;
                ++firstCount;
            }
            if (step.change != LineChange::Removed) {
                secondStart = secondStart == 0 ? step.second : secondStart;
                ++secondCount;
            }
            body += mark;
            body += step.text;
            body += '\n';
        }
        // Where a side has no line in the hunk, its position follows from the step before.
        auto before = [&](bool firstSide) {
            std::size_t at = 0;
            for (std::size_t i = 0; i < begin; ++i) {
                const std::size_t n = firstSide ? steps[i].first : steps[i].second;
                at = n != 0 ? n : at;
            }
            return at + 1;
        };
        if (firstStart == 0) {
            firstStart = before(true);
        }
        if (secondStart == 0) {
            secondStart = before(false);
        }
        out += "@@ -" + range(firstStart, firstCount) + " +" + range(secondStart, secondCount) +
               " @@\n" + body;
    }
    return out;
}

std::vector<SideBySideRow> sideBySide(const ProgramDiff& diff) {
    std::vector<SideBySideRow> rows;
    const std::vector<DiffStep>& steps = diff.steps;
    std::size_t i = 0;
    while (i < steps.size()) {
        if (steps[i].change == LineChange::Same) {
            rows.push_back({RowKind::Same, steps[i].first, steps[i].text, steps[i].second,
                            steps[i].text, steps[i].endChanged});
            ++i;
            continue;
        }
        // A run of removed and added lines: pair them up line by line.
        std::vector<const DiffStep*> removed;
        std::vector<const DiffStep*> added;
        while (i < steps.size() && steps[i].change != LineChange::Same) {
            (steps[i].change == LineChange::Removed ? removed : added).push_back(&steps[i]);
            ++i;
        }
        const std::size_t n = std::max(removed.size(), added.size());
        for (std::size_t k = 0; k < n; ++k) {
            SideBySideRow row;
            if (k < removed.size()) {
                row.first = removed[k]->first;
                row.firstText = removed[k]->text;
            }
            if (k < added.size()) {
                row.second = added[k]->second;
                row.secondText = added[k]->text;
            }
            row.kind = k < removed.size() && k < added.size() ? RowKind::Changed
                       : k < removed.size()                   ? RowKind::Removed
                                                              : RowKind::Added;
            rows.push_back(std::move(row));
        }
    }
    return rows;
}

}  // namespace dnc::revisions
