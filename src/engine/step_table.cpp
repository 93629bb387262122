#include "engine/step_table.h"

#include <cmath>

namespace engine {

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

void StepTable::reset(std::size_t count, int shift, std::size_t values) {
    shift_ = shift;
    values_ = values;
    placeMask_ = (std::int32_t{1} << shift) - 1;
    blocks_.assign(((count + placeMask_) >> shift) * values, Block{unknown, 0, 0});
}

void StepTable::setBlock(std::size_t block, const std::int32_t* values, std::size_t count,
                         std::size_t which) {
    const std::size_t record = block * values_ + which;
    if (count == 0) {
        blocks_[record] = Block{unknown, 0, 0};
        return;
    }
    std::size_t place = 1;
    while (place < count && values[place] == values[0]) {
        ++place;
    }
    const std::int32_t after = place < count ? values[place] : values[0];
    for (std::size_t k = place + 1; k < count; ++k) {
        if (values[k] != after) {
            blocks_[record] = Block{unknown, 0, 0};
            return;
        }
    }
    setStep(record, values[0], place, after);
}

void StepTable::setStep(std::size_t record, std::int32_t before, std::size_t place,
                        std::int32_t after) {
    const std::int64_t delta = std::int64_t{after} - std::int64_t{before};
    if (before == unknown || delta < INT16_MIN || delta > INT16_MAX) {
        blocks_[record] = Block{unknown, 0, 0};
        return;
    }
    blocks_[record] =
        Block{before, static_cast<std::uint16_t>(place), static_cast<std::int16_t>(delta)};
}

}  // namespace engine
