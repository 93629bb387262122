#include "engine/step_table.h"

#include <cmath>

int StepTable::shiftFor(double perCode) {
    constexpr int largest = 12;
    if (!(perCode > 0.0)) {
        return largest;
    }
    // Rounding of the values the table keeps can bring a step a code or so
    // early; a block of at most 80% of the codes between steps leaves room.
    const double codesPerStep = 0.8 / perCode;
    int shift = 0;
    while (shift < largest && std::ldexp(1.0, shift + 1) <= codesPerStep) {
        ++shift;
    }
    return shift;
}

void StepTable::reset(std::size_t count, int shift) {
    shift_ = shift;
    placeMask_ = (std::int32_t{1} << shift) - 1;
    blocks_.assign((count + placeMask_) >> shift, Block{unknown, 0, 0});
}

void StepTable::setBlock(std::size_t block, const std::int32_t* values, std::size_t count) {
    Block kept{unknown, 0, 0};
    if (count == 0 || values[0] == unknown) {
        blocks_[block] = kept;
        return;
    }
    std::size_t step = 1;
    while (step < count && values[step] == values[0]) {
        ++step;
    }
    const std::int64_t delta =
        step < count ? std::int64_t{values[step]} - std::int64_t{values[0]} : 0;
    bool oneStep = delta >= INT16_MIN && delta <= INT16_MAX;
    for (std::size_t k = step + 1; k < count && oneStep; ++k) {
        oneStep = values[k] == values[step];
    }
    if (oneStep) {
        kept = Block{values[0], static_cast<std::uint16_t>(step), static_cast<std::int16_t>(delta)};
    }
    blocks_[block] = kept;
}
