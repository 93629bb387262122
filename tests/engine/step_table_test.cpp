// The compressed code tables: every code of a block with at most one step
// answers its own value, by one lookup and four at a time; blocks the step
// cannot describe answer negative values so that the caller solves them
// exactly instead.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "engine/step_table.h"

namespace {

engine::StepTable tableOf(const std::vector<std::int32_t>& values, int shift) {
    engine::StepTable table;
    table.reset(values.size(), shift);
    for (std::size_t block = 0; block < table.blockCount(); ++block) {
        const std::size_t start = block * table.blockSize();
        const std::size_t count = std::min(table.blockSize(), values.size() - start);
        table.setBlock(block, values.data() + start, count);
    }
    return table;
}

// Each code's value through both lookups: the value itself, or (for codes of
// a block in `unknownBlocks`) a negative one.
void expectAnswers(const engine::StepTable& table, const std::vector<std::int32_t>& values,
                   const std::vector<std::size_t>& unknownBlocks = {}) {
    std::vector<std::int32_t> codes(values.size() + 3 - (values.size() + 3) % 4);
    for (std::size_t k = 0; k < codes.size(); ++k) {
        codes[k] = static_cast<std::int32_t>(k < values.size() ? k : 0);
    }
    std::vector<std::int32_t> byFour(codes.size());
    for (std::size_t k = 0; k < codes.size(); k += 4) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(&byFour[k]), table.four(&codes[k]));
    }
    for (std::size_t k = 0; k < values.size(); ++k) {
        const std::size_t block = k / table.blockSize();
        const bool unknown =
            std::find(unknownBlocks.begin(), unknownBlocks.end(), block) != unknownBlocks.end();
        const std::int32_t one = table.at(static_cast<std::int32_t>(k));
        if (unknown) {
            EXPECT_LT(one, 0) << "code " << k;
            EXPECT_LT(byFour[k], 0) << "code " << k;
        } else {
            EXPECT_EQ(one, values[k]) << "code " << k;
            EXPECT_EQ(byFour[k], values[k]) << "code " << k;
        }
    }
}

}  // namespace

TEST(StepTable, StaircasesUpAndDownKeepEveryCode) {
    // Rising by one every 11 codes, then falling by one every 7, with a
    // partial last block.
    std::vector<std::int32_t> values;
    for (int k = 0; k < 300; ++k) {
        values.push_back(5000 + k / 11);
    }
    for (int k = 0; k < 101; ++k) {
        values.push_back(values.back() - (k % 7 == 6 ? 1 : 0));
    }
    const engine::StepTable table = tableOf(values, 2);
    EXPECT_EQ(table.blockCount(), (values.size() + 3) / 4);
    expectAnswers(table, values);
}

TEST(StepTable, AStepAtTheSeamMayBeAsLargeAsTheTableKeeps) {
    // A column wrapping from the panorama's last column to its first, at
    // every place of a block of 8.
    for (int place = 0; place < 8; ++place) {
        std::vector<std::int32_t> values(24, 0);
        for (int k = 0; k < 24; ++k) {
            values[static_cast<std::size_t>(k)] = k < 8 + place ? 32767 : 0;
        }
        expectAnswers(tableOf(values, 3), values);
    }
    // One more and the change no longer fits: only that block is unknown.
    std::vector<std::int32_t> values(24, 40000);
    for (std::size_t k = 12; k < 24; ++k) {
        values[k] = 0;
    }
    expectAnswers(tableOf(values, 3), values, {1});
}

TEST(StepTable, BlocksWithTwoChangesAreUnknown) {
    std::vector<std::int32_t> values(64, 7);
    values[20] = 8;  // block 2: up and back down
    // Block 5: two steps up (7, 7, 8, 8, 8, 9, 9, 9), one value after.
    for (std::size_t k = 42; k < 64; ++k) {
        values[k] = k < 45 ? 8 : 9;
    }
    expectAnswers(tableOf(values, 3), values, {2, 5});
}

TEST(StepTable, TwoValuesPerCodeKeepTheirOwnSteps) {
    // A column rising and its mirror falling at other places, one block of
    // the mirror changing twice, kept whole and found by halving.
    const std::size_t count = 250;
    std::vector<std::int32_t> columns(count);
    std::vector<std::int32_t> mirrored(count);
    for (std::size_t k = 0; k < count; ++k) {
        columns[k] = 100 + static_cast<std::int32_t>(k / 20);
        mirrored[k] = 900 - static_cast<std::int32_t>((k + 7) / 20);
    }
    mirrored[70] = 5;  // block 4 (64 ... 79) of the mirror only
    for (const bool searched : {false, true}) {
        engine::StepTable table;
        table.reset(count, 4, 2);
        for (std::size_t block = 0; block < table.blockCount(); ++block) {
            const std::size_t start = block * 16;
            const std::size_t length = std::min<std::size_t>(16, count - start);
            table.setBlock(block, &columns[start], length, 0);
            if (searched && block != 4) {
                table.setSearched(
                    block, length, mirrored[start], mirrored[start + length - 1],
                    [&](std::size_t k) { return mirrored[start + k]; }, 1);
            } else {
                table.setBlock(block, &mirrored[start], length, 1);
            }
        }
        for (std::int32_t k = 0; k + 4 <= static_cast<std::int32_t>(count); k += 4) {
            const std::int32_t codes[4] = {k + 3, k, k + 2, k + 1};
            __m128i first;
            __m128i second;
            table.fourPairs(codes, first, second);
            std::int32_t firsts[4];
            std::int32_t seconds[4];
            _mm_storeu_si128(reinterpret_cast<__m128i*>(firsts), first);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(seconds), second);
            for (int n = 0; n < 4; ++n) {
                const auto code = static_cast<std::size_t>(codes[n]);
                EXPECT_EQ(firsts[n], columns[code]) << code;
                EXPECT_EQ(table.at(codes[n], 0), columns[code]) << code;
                if (code / 16 == 4) {
                    EXPECT_LT(seconds[n], 0) << code;
                } else {
                    EXPECT_EQ(seconds[n], mirrored[code]) << code;
                    EXPECT_EQ(table.at(codes[n], 1), mirrored[code]) << code;
                }
            }
        }
    }
}

TEST(StepTable, ShiftLeavesRoomBetweenSteps) {
    // One step per 100000 / 1130 codes: blocks of 64 (at most 80% of 88).
    EXPECT_EQ(engine::StepTable::shiftFor(1130e-5), 6);
    EXPECT_EQ(engine::StepTable::shiftFor(1.0), 0);
    EXPECT_EQ(engine::StepTable::shiftFor(0.0), 12);
    EXPECT_EQ(engine::StepTable::shiftFor(1e-9), 12);
}
