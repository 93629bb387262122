// The arctangent table that replaces per-pixel trigonometry in the warp:
// entry k is the arctangent of k / 100000, for k = 0 ... 100000.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/angles.h"

namespace engine {

class ArctangentTable {
  public:
    static constexpr std::int32_t entryCount = 100001;
    static constexpr double indexScale = 100000.0;

    // Allocates and fills the table. Returns null when the memory is not
    // available, so that the caller can report it its own way.
    static std::unique_ptr<ArctangentTable> create();

    float entry(std::int32_t index) const { return entries_[index]; }
    const float* entries() const { return entries_.get(); }

    // Index used for a ratio magnitude m: trunc(100000 * m) for m <= 1, else
    // trunc(100000 / m); 0 for NaN. Always within 0 ... 100000.
    static std::int32_t indexFor(double magnitude) {
        if (magnitude > 1.0) {
            return static_cast<std::int32_t>(indexScale / magnitude);
        }
        return magnitude >= 0.0 ? static_cast<std::int32_t>(indexScale * magnitude) : 0;
    }

    // Arctangent of the ratio by table: entry[trunc(100000 g)] for 0 <= g <= 1,
    // halfPi - entry[trunc(100000 / g)] above 1, mirrored for negative ratios.
    // An infinite ratio uses index 0; NaN gives 0.
    float arctangent(double ratio) const {
        const bool negative = ratio < 0.0;
        const double magnitude = negative ? -ratio : ratio;
        const float value = entries_[indexFor(magnitude)];
        const float angle = magnitude > 1.0 ? halfPi - value : value;
        return negative ? -angle : angle;
    }

    // The same value as arctangent(numerator / denominator), computed without
    // dividing: inverseDenominator = 1 / denominator and inverseNumerator =
    // 1 / numerator are given. The products carry a relative error of a few
    // units in the last place; wherever that could move the table index (the
    // scaled ratio within 1e-9 of a whole number or of the 0-1 boundary, NaN,
    // infinities) the exact quotient is used instead, so the result is always
    // the one the division gives.
    float arctangentOfQuotient(double numerator, double denominator, double inverseDenominator,
                               double inverseNumerator) const {
        const double ratio = numerator * inverseDenominator;
        const double magnitude = ratio < 0.0 ? -ratio : ratio;
        double scaled;
        bool above;
        if (magnitude < 1.0 - guard) {
            scaled = indexScale * magnitude;
            above = false;
        } else if (magnitude > 1.0 + guard && magnitude <= maximumFinite) {
            const double inverse = denominator * inverseNumerator;
            scaled = indexScale * (inverse < 0.0 ? -inverse : inverse);
            above = true;
        } else {
            return arctangent(numerator / denominator);
        }
        const auto index = static_cast<std::int32_t>(scaled);
        const double fraction = scaled - index;
        if (fraction < guard || fraction > 1.0 - guard) {
            return arctangent(numerator / denominator);
        }
        const float value = entries_[index];
        const float angle = above ? halfPi - value : value;
        return ratio < 0.0 ? -angle : angle;
    }

  private:
    static constexpr double guard = 1e-9;
    static constexpr double maximumFinite = 1.0e300;

    explicit ArctangentTable(std::unique_ptr<float[]> entries) : entries_(std::move(entries)) {}

    std::unique_ptr<float[]> entries_;
};

}  // namespace engine
