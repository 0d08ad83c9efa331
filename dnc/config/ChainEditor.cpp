#include "dnc/config/ChainEditor.h"

namespace dnc {

void ChainEditor::load(const std::vector<std::string>& steps) {
    chain_ = ConversionChain();
    for (const std::string& step : steps) {
        chain_.insertStep(chain_.size(), step);  // a step too long for its record is skipped
    }
    selection_.reset();
}

StepFields ChainEditor::select(std::optional<std::size_t> index) {
    if (!index || *index >= chain_.size()) {
        selection_.reset();
        return {};
    }
    selection_ = index;
    return splitStep(chain_.steps()[*index]);
}

void ChainEditor::insertSelectedCopy(std::size_t at) {
    chain_.insertStep(at, chain_.steps()[*selection_]);
}

bool ChainEditor::startEmptyList() {
    if (chain_.size() != 0) {
        return false;
    }
    chain_.insertStep(0, std::string());
    selection_ = 0;
    return true;
}

void ChainEditor::swapSelectedWith(std::size_t other) {
    const std::string neighbour = chain_.steps()[other];
    chain_.setStep(other, chain_.steps()[*selection_]);
    chain_.setStep(*selection_, neighbour);
    selection_ = other;
}

void ChainEditor::addBefore() {
    if (startEmptyList()) {
        return;
    }
    if (!selection_) {
        chain_.insertStep(1, chain_.steps().front());
        return;
    }
    insertSelectedCopy(*selection_);
}

void ChainEditor::addAfter() {
    if (startEmptyList()) {
        return;
    }
    if (!selection_) {
        selection_ = chain_.size() - 1;
    }
    insertSelectedCopy(*selection_ + 1);
    selection_ = *selection_ + 1;
}

void ChainEditor::remove() {
    if (!selection_) {
        return;
    }
    chain_.removeStep(*selection_);
    if (chain_.size() == 0) {
        selection_.reset();
    } else if (*selection_ >= chain_.size()) {
        selection_ = chain_.size() - 1;
    }
}

void ChainEditor::moveUp() {
    if (selection_ && *selection_ > 0) {
        swapSelectedWith(*selection_ - 1);
    }
}

void ChainEditor::moveDown() {
    if (selection_ && *selection_ + 1 < chain_.size()) {
        swapSelectedWith(*selection_ + 1);
    }
}

ChainEditor::EditResult ChainEditor::edit(const StepFields& fields) {
    if (!selection_) {
        return EditResult::NothingSelected;
    }
    return chain_.setStep(*selection_, composeStep(fields)) ? EditResult::Changed
                                                            : EditResult::TooLong;
}

}  // namespace dnc
