// The list of a chain being edited, without any window: the chain dialog shows it and passes
// the operator's actions through it. New steps are always copies of an existing one (or one
// empty step in an empty list), then edited.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "dnc/config/ChainStep.h"
#include "dnc/config/ConversionChain.h"

namespace dnc {

class ChainEditor {
public:
    // Replaces the list; nothing is selected afterwards. Steps that do not fit a record are
    // dropped (a chain file cannot hold them).
    void load(const std::vector<std::string>& steps);

    const ConversionChain& chain() const { return chain_; }
    const std::vector<std::string>& steps() const { return chain_.steps(); }
    std::optional<std::size_t> selection() const { return selection_; }

    // Selects a step (nullopt or an index outside the list: nothing selected) and gives the
    // editor's fields for it (empty fields without a selection).
    StepFields select(std::optional<std::size_t> index);

    // Inserts a copy of the selected step in front of it; the selection stays at its position,
    // now on the copy. Without a selection a copy of the first step goes behind it and nothing
    // is selected; an empty list gets one empty step, selected.
    void addBefore();
    // Inserts a copy of the selected step behind it and selects the copy. Without a selection
    // the last step is copied to the end and the copy selected; an empty list gets one empty
    // step, selected.
    void addAfter();
    // Removes the selected step; the one that moved into its place is selected (the new last
    // one when the last was removed). Nothing happens without a selection.
    void remove();
    // Swap the selected step with its neighbour; the selection moves with it.
    void moveUp();
    void moveDown();

    enum class EditResult { Changed, NothingSelected, TooLong };
    // Replaces the selected step by the text the fields make. A text longer than a record holds
    // is refused and the step kept as it was.
    EditResult edit(const StepFields& fields);

private:
    void insertSelectedCopy(std::size_t at);
    // An empty list gets one empty step, selected; true when it was empty.
    bool startEmptyList();
    void swapSelectedWith(std::size_t other);

    ConversionChain chain_;
    std::optional<std::size_t> selection_;
};

}  // namespace dnc
