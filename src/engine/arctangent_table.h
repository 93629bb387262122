// The arctangent table that replaces per-pixel trigonometry in the warp:
// entry k is the arctangent of k / 100000, for k = 0 ... 100000.
#pragma once

#include <cstdint>
#include <memory>

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
        const float angle = magnitude > 1.0 ? fromAbove(value) : value;
        return negative ? -angle : angle;
    }

  private:
    explicit ArctangentTable(std::unique_ptr<float[]> entries) : entries_(std::move(entries)) {}
    static float fromAbove(float entryValue);

    std::unique_ptr<float[]> entries_;
};
