// The chain list as the chain dialog edits it: copies made by the add buttons, moves, deletes,
// the fields of a selected step and the record limit.
#include <gtest/gtest.h>

#include "dnc/config/ChainEditor.h"

namespace dnc {
namespace {

using Steps = std::vector<std::string>;

ChainEditor editorOf(const Steps& steps, std::optional<std::size_t> selected) {
    ChainEditor editor;
    editor.load(steps);
    editor.select(selected);
    return editor;
}

TEST(ChainEditor, AnEmptyListGetsOneEmptySelectedStepFromEitherAddButton) {
    for (const bool before : {true, false}) {
        ChainEditor editor;
        before ? editor.addBefore() : editor.addAfter();
        EXPECT_EQ(editor.steps(), Steps{""});
        EXPECT_EQ(editor.selection(), 0u);
    }
}

TEST(ChainEditor, AddBeforeCopiesTheSelectedStepInFrontAndStaysAtItsPosition) {
    ChainEditor editor = editorOf({"S A", "S B", "S C"}, 1);
    editor.addBefore();
    EXPECT_EQ(editor.steps(), (Steps{"S A", "S B", "S B", "S C"}));
    EXPECT_EQ(editor.selection(), 1u);  // the new copy
    // Without a selection the first step is copied behind itself and nothing is selected.
    editor.select(std::nullopt);
    editor.addBefore();
    EXPECT_EQ(editor.steps(), (Steps{"S A", "S A", "S B", "S B", "S C"}));
    EXPECT_EQ(editor.selection(), std::nullopt);
}

TEST(ChainEditor, AddAfterCopiesBehindAndSelectsTheCopy) {
    ChainEditor editor = editorOf({"S A", "S B", "S C"}, 0);
    editor.addAfter();
    EXPECT_EQ(editor.steps(), (Steps{"S A", "S A", "S B", "S C"}));
    EXPECT_EQ(editor.selection(), 1u);
    // Without a selection the last step is copied to the end and the copy selected.
    editor.select(std::nullopt);
    editor.addAfter();
    EXPECT_EQ(editor.steps(), (Steps{"S A", "S A", "S B", "S C", "S C"}));
    EXPECT_EQ(editor.selection(), 4u);
}

TEST(ChainEditor, DeleteRemovesTheSelectedStepAndTheOthersMoveUp) {
    ChainEditor editor = editorOf({"S A", "S B", "S C"}, 1);
    editor.remove();
    EXPECT_EQ(editor.steps(), (Steps{"S A", "S C"}));
    EXPECT_EQ(editor.selection(), 1u);  // the step that moved into its place
    editor.remove();
    EXPECT_EQ(editor.steps(), Steps{"S A"});
    EXPECT_EQ(editor.selection(), 0u);  // the last one went: its neighbour above
    editor.remove();
    EXPECT_TRUE(editor.steps().empty()) << "deleting the only step leaves an empty list";
    EXPECT_EQ(editor.selection(), std::nullopt);
    editor.remove();  // nothing selected: nothing happens
    EXPECT_TRUE(editor.steps().empty());
}

TEST(ChainEditor, ArrowsSwapWithTheNeighbourAndTheSelectionFollows) {
    ChainEditor editor = editorOf({"S A", "S B", "S C"}, 2);
    editor.moveUp();
    EXPECT_EQ(editor.steps(), (Steps{"S A", "S C", "S B"}));
    EXPECT_EQ(editor.selection(), 1u);
    editor.moveUp();
    editor.moveUp();  // already first
    EXPECT_EQ(editor.steps(), (Steps{"S C", "S A", "S B"}));
    EXPECT_EQ(editor.selection(), 0u);
    editor.select(2);
    editor.moveDown();  // already last
    EXPECT_EQ(editor.selection(), 2u);
    editor.select(0);
    editor.moveDown();
    EXPECT_EQ(editor.steps(), (Steps{"S A", "S C", "S B"}));
    EXPECT_EQ(editor.selection(), 1u);
    editor.select(std::nullopt);
    editor.moveUp();
    EXPECT_EQ(editor.steps(), (Steps{"S A", "S C", "S B"}));
}

TEST(ChainEditor, SelectingFillsTheFieldsWithTheBlanksAsTheyAre) {
    ChainEditor editor = editorOf({"S TXT>ISO /X", "U  /P", "S", "S TXT>ISO"}, std::nullopt);
    StepFields fields = editor.select(1);
    EXPECT_TRUE(fields.userConversion);
    EXPECT_EQ(fields.conversion, "");
    EXPECT_EQ(fields.parameters, "/P");
    fields = editor.select(0);
    EXPECT_FALSE(fields.userConversion);
    EXPECT_EQ(fields.conversion, "TXT>ISO");
    EXPECT_EQ(fields.parameters, "/X");
    fields = editor.select(2);  // too short for a conversion
    EXPECT_FALSE(fields.userConversion);
    EXPECT_EQ(fields.conversion, "");
    EXPECT_EQ(fields.parameters, "");
    fields = editor.select(3);
    EXPECT_EQ(fields.conversion, "TXT>ISO");
    EXPECT_EQ(fields.parameters, "");
    fields = editor.select(9);  // outside the list: nothing selected, empty fields
    EXPECT_EQ(editor.selection(), std::nullopt);
    EXPECT_EQ(fields.conversion, "");
}

TEST(ChainEditor, EditingReplacesTheSelectedStepOrRefusesALongOne) {
    ChainEditor editor = editorOf({"S TXT>ISO /X"}, 0);
    EXPECT_EQ(editor.edit({true, "", "/P"}), ChainEditor::EditResult::Changed);
    EXPECT_EQ(editor.steps(), Steps{"U  /P"});
    // "S " + name + " " + parameters: 126 characters fit, 127 do not.
    const std::string fits(126 - 4, 'P');
    EXPECT_EQ(editor.edit({false, "X", fits}), ChainEditor::EditResult::Changed);
    EXPECT_EQ(editor.steps()[0].size(), 126u);
    EXPECT_EQ(editor.edit({false, "X", fits + "Q"}), ChainEditor::EditResult::TooLong);
    EXPECT_EQ(editor.steps()[0], "S X " + fits) << "the step keeps its text";
    editor.select(std::nullopt);
    EXPECT_EQ(editor.edit({true, "", "/Q"}), ChainEditor::EditResult::NothingSelected);
    EXPECT_EQ(editor.steps()[0], "S X " + fits);
}

TEST(ChainEditor, LoadingStartsWithoutASelectionAndDropsStepsNoRecordHolds) {
    ChainEditor editor = editorOf({"S A"}, 0);
    editor.load({"S B", std::string(127, 'U'), "U  /P"});
    EXPECT_EQ(editor.steps(), (Steps{"S B", "U  /P"}));
    EXPECT_EQ(editor.selection(), std::nullopt);
}

}  // namespace
}  // namespace dnc
