// A table of whole values by lookup code, kept small enough for the
// processor's second-level cache. The values the warp looks up by code (source
// columns and rows by angle) climb or fall by one every many codes, so blocks
// of 2^shift neighbouring codes are each kept as a value and one step: the
// place in the block where the value changes and by how much. A block the
// step cannot describe (two changes, or a change too large to keep) answers
// every code with a negative value, which no column or row is, so that the
// caller solves those rays by the exact steps instead.
//
// A table may keep two values per code (a column and its mirror) side by
// side, so that one load brings both.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace engine {

class StepTable {
  public:
    // The value of a block the steps cannot describe.
    static constexpr std::int32_t unknown = INT32_MIN;

    // The largest shift for which a block of codes holds at most one step
    // where a value changes by at most `perCode` (> 0) from one code to the
    // next, with a margin for rounding; at most 12.
    static int shiftFor(double perCode);

    // Makes room for `count` codes in blocks of 2^shift, `values` (1 or 2)
    // per code, all unknown.
    void reset(std::size_t count, int shift, std::size_t values = 1);
    std::size_t blockCount() const { return blocks_.size() / values_; }
    std::size_t blockSize() const { return std::size_t{1} << shift_; }

    // Keeps the values of block `block` (`count` of them, fewer only in the
    // last block), the `which`th value of each code.
    void setBlock(std::size_t block, const std::int32_t* values, std::size_t count,
                  std::size_t which = 0);

    // Keeps block `block` of `count` codes whose values are known to change at
    // most once, from `first` to `last` (the values of its first and last
    // code): the place of the change is found by halving, asking
    // valueAt(place) for a few places only.
    template <class ValueAt>
    void setSearched(std::size_t block, std::size_t count, std::int32_t first, std::int32_t last,
                     ValueAt valueAt, std::size_t which = 0) {
        std::size_t changed = count;
        if (first != last) {
            // The first place with the last value lies in (before, changed].
            std::size_t before = 0;
            changed = count - 1;
            while (changed - before > 1) {
                const std::size_t middle = before + (changed - before) / 2;
                (valueAt(middle) == last ? changed : before) = middle;
            }
        }
        setStep(block * values_ + which, first, changed, last);
    }

    // The table's records for the wide steps (wide_steps.h), which read them
    // in their own instructions: per block, `values` pairs of 32-bit words,
    // the base and the (step, delta) word.
    const std::int32_t* records() const {
        return reinterpret_cast<const std::int32_t*>(blocks_.data());
    }
    int shift() const { return shift_; }
    std::int32_t placeMask() const { return placeMask_; }

    // The `which`th value of one code (below the count given to reset).
    std::int32_t at(std::int32_t code, std::size_t which = 0) const {
        const Block b = blocks_[(static_cast<std::size_t>(code) >> shift_) * values_ + which];
        return (code & placeMask_) >= b.step ? b.base + b.delta : b.base;
    }

#if defined(__SSE2__)
    // The values of four codes, in a table of one value per code.
    __m128i four(const std::int32_t* codes) const {
        const Block* blocks = blocks_.data();
        auto block = [&](std::int32_t code) {
            return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(
                blocks + (static_cast<std::uint32_t>(code) >> shift_)));
        };
        // [base0 base1 step0 step1] and the same for codes 2 and 3.
        const __m128i low = _mm_unpacklo_epi32(block(codes[0]), block(codes[1]));
        const __m128i high = _mm_unpacklo_epi32(block(codes[2]), block(codes[3]));
        return valuesOf(_mm_unpacklo_epi64(low, high), _mm_unpackhi_epi64(low, high), codes);
    }

    // Both values of four codes, in a table of two values per code.
    void fourPairs(const std::int32_t* codes, __m128i& first, __m128i& second) const {
        const Block* blocks = blocks_.data();
        auto pair = [&](std::int32_t code) {
            return _mm_loadu_si128(reinterpret_cast<const __m128i*>(
                blocks + 2 * (static_cast<std::uint32_t>(code) >> shift_)));
        };
        const __m128i code0 = pair(codes[0]);
        const __m128i code1 = pair(codes[1]);
        const __m128i code2 = pair(codes[2]);
        const __m128i code3 = pair(codes[3]);
        // [base0 base1 step0 step1] of the first value, then of the second.
        const __m128i first01 = _mm_unpacklo_epi32(code0, code1);
        const __m128i second01 = _mm_unpackhi_epi32(code0, code1);
        const __m128i first23 = _mm_unpacklo_epi32(code2, code3);
        const __m128i second23 = _mm_unpackhi_epi32(code2, code3);
        first = valuesOf(_mm_unpacklo_epi64(first01, first23), _mm_unpackhi_epi64(first01, first23),
                         codes);
        second = valuesOf(_mm_unpacklo_epi64(second01, second23),
                          _mm_unpackhi_epi64(second01, second23), codes);
    }
#endif

  private:
    // Keeps block record `record` as `before` up to `place` and `after` from
    // there on (unknown when the change does not fit a block).
    void setStep(std::size_t record, std::int32_t before, std::size_t place, std::int32_t after);

#if defined(__SSE2__)
    // Four codes' values from their blocks' bases and (step, delta) words.
    __m128i valuesOf(__m128i bases, __m128i steps, const std::int32_t* codes) const {
        const __m128i places = _mm_and_si128(
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(codes)), _mm_set1_epi32(placeMask_));
        const __m128i before =
            _mm_cmpgt_epi32(_mm_and_si128(steps, _mm_set1_epi32(0xFFFF)), places);
        return _mm_add_epi32(bases, _mm_andnot_si128(before, _mm_srai_epi32(steps, 16)));
    }
#endif

    // 8 bytes, so that one load brings a block in; `step` (the first place
    // with the changed value) and `delta` share a 32-bit word, step low.
    struct Block {
        std::int32_t base;
        std::uint16_t step;
        std::int16_t delta;
    };
    static_assert(sizeof(Block) == 8, "a block is loaded as one 64-bit word");

    std::vector<Block> blocks_;
    std::size_t values_ = 1;
    int shift_ = 0;
    std::int32_t placeMask_ = 0;
};

}  // namespace engine
