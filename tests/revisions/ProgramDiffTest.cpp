// How two versions of an NC program differ: unified text with hunks and line numbers, a change
// of line ends alone shown as such, the side-by-side rows of the window; and which decision a
// revision's state allows.
#include <gtest/gtest.h>

#include "dnc/revisions/ProgramDiff.h"
#include "dnc/revisions/RevisionState.h"

namespace {

using namespace dnc::revisions;

std::string lines(int from, int to, const char* end = "\n") {
    std::string text;
    for (int n = from; n <= to; ++n) {
        text += "N" + std::to_string(n * 10) + " G01 X" + std::to_string(n) + end;
    }
    return text;
}

TEST(ProgramDiff, AChangedLineIsOneHunkWithItsContext) {
    const std::string before = lines(1, 10);
    std::string after = before;
    after.replace(after.find("X5"), 2, "X55");
    const std::string text = unifiedText(compare(before, after), "a", "b");
    EXPECT_EQ(text,
              "--- a\n"
              "+++ b\n"
              "@@ -2,7 +2,7 @@\n"
              " N20 G01 X2\n"
              " N30 G01 X3\n"
              " N40 G01 X4\n"
              "-N50 G01 X5\n"
              "+N50 G01 X55\n"
              " N60 G01 X6\n"
              " N70 G01 X7\n"
              " N80 G01 X8\n");
}

TEST(ProgramDiff, DistantChangesAreSeparateHunksAndAddedLinesAtTheEndCount) {
    const std::string before = lines(1, 20);
    std::string after = "%\n" + before + "M30\n";
    const ProgramDiff diff = compare(before, after);
    EXPECT_EQ(diff.linesChanged, 2u);
    const std::string text = unifiedText(diff, "a", "b", 1);
    EXPECT_NE(text.find("@@ -1,1 +1,2 @@\n+%\n N10 G01 X1\n"), std::string::npos) << text;
    EXPECT_NE(text.find("@@ -20,1 +21,2 @@\n N200 G01 X20\n+M30\n"), std::string::npos) << text;
}

TEST(ProgramDiff, LineEndsAloneAreNotedNotShownAsEveryLineChanged) {
    const ProgramDiff diff = compare(lines(1, 50, "\r\n"), lines(1, 50, "\n"));
    EXPECT_FALSE(diff.identical);
    EXPECT_EQ(diff.linesChanged, 0u);
    EXPECT_EQ(diff.endsChanged, 50u);
    EXPECT_EQ(unifiedText(diff, "a", "b"),
              "--- a\n+++ b\n\\ line ends differ on 50 line(s) (CR LF, then LF); nothing else "
              "differs\n");

    // With a real change as well: the note, and only the changed line.
    std::string after = lines(1, 50, "\n");
    after.replace(after.find("X7\n"), 2, "Y7");
    const std::string text = unifiedText(compare(lines(1, 50, "\r\n"), after), "a", "b");
    EXPECT_NE(text.find("\\ line ends differ on 49 line(s) (CR LF, then LF)\n@@"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("\n-"), text.find("\n-N70 G01 X7\n")) << text;  // the only line taken
    EXPECT_EQ(text.find("\n-", text.find("\n-") + 1), std::string::npos) << text;
}

TEST(ProgramDiff, TheSameBytesGiveNoTextAndAMissingLastLineEndIsAChange) {
    EXPECT_EQ(unifiedText(compare("G00\r\n", "G00\r\n"), "a", "b"), "");
    const ProgramDiff diff = compare("G00\nM30", "G00\nM30\n");
    EXPECT_EQ(diff.endsChanged, 1u);
    EXPECT_EQ(diff.linesChanged, 0u);
    const auto split = splitLines("A\r\nB\nC");
    ASSERT_EQ(split.size(), 3u);
    EXPECT_EQ(split[0].text, "A");
    EXPECT_EQ(split[0].end, LineEnd::CrLf);
    EXPECT_EQ(split[1].end, LineEnd::Lf);
    EXPECT_EQ(split[2].end, LineEnd::None);
}

TEST(ProgramDiff, SideBySideRowsPairReplacedLinesAndMarkEachKind) {
    const ProgramDiff diff = compare("A\nB\nC\nD\n", "A\nX\nC\nD\r\nE\n");
    const std::vector<SideBySideRow> rows = sideBySide(diff);
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[0].kind, RowKind::Same);
    EXPECT_EQ(rows[1].kind, RowKind::Changed);
    EXPECT_EQ(rows[1].firstText, "B");
    EXPECT_EQ(rows[1].secondText, "X");
    EXPECT_EQ(rows[1].first, 2u);
    EXPECT_EQ(rows[1].second, 2u);
    EXPECT_EQ(rows[3].kind, RowKind::Same);
    EXPECT_TRUE(rows[3].endChanged);
    EXPECT_EQ(rows[4].kind, RowKind::Added);
    EXPECT_EQ(rows[4].first, 0u);
    EXPECT_EQ(rows[4].secondText, "E");
}

TEST(RevisionState, OnlyPendingRevisionsAreDecidedAndOnlyEarlierOnesRestored) {
    EXPECT_FALSE(refusal(Action::Accept, State::Pending));
    EXPECT_FALSE(refusal(Action::Reject, State::Pending));
    for (State s : {State::Released, State::Superseded, State::Rejected, State::Deleted}) {
        EXPECT_TRUE(refusal(Action::Accept, s)) << toText(s);
        EXPECT_TRUE(refusal(Action::Reject, s)) << toText(s);
    }
    EXPECT_FALSE(refusal(Action::Restore, State::Superseded));
    EXPECT_FALSE(refusal(Action::Restore, State::Rejected));
    EXPECT_TRUE(refusal(Action::Restore, State::Released));
    EXPECT_TRUE(refusal(Action::Restore, State::Pending));
    // A removal brings back what the file held, when that could be read.
    EXPECT_FALSE(refusal(Action::Restore, State::Deleted));
    EXPECT_TRUE(refusal(Action::Restore, State::Deleted, false));
    EXPECT_FALSE(refusal(Action::Restore, State::Superseded, true));
    for (State s :
         {State::Released, State::Pending, State::Superseded, State::Rejected, State::Deleted}) {
        EXPECT_EQ(stateFromText(toText(s)), s);
    }
    EXPECT_FALSE(stateFromText("approved"));
}

}  // namespace
