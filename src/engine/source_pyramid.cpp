#include "engine/source_pyramid.h"

#include <algorithm>
#include <new>

#include "platform/band_pool.h"
#include "engine/processor.h"
#include "engine/wide_steps.h"

namespace engine {

namespace {

// The size of the level below one of `size` pixels.
std::int32_t halved(std::int32_t size) {
    return (size + 1) / 2;
}

// A level is made while both sides of the one above exceed one pixel.
bool halvable(std::int32_t width, std::int32_t height) {
    return width > 1 && height > 1;
}

// One pixel of the level above and its covered part, in 1/size-below units.
struct Tap {
    std::int32_t index;
    std::uint32_t weight;
};

// Up to three taps per pixel of the level below along one side: pixel k
// covers [k above, (k + 1) above) in 1/below units, pixel m of the level
// above [m below, (m + 1) below). The weights of each pixel add up to above.
struct SideTaps {
    std::vector<Tap> taps;  // 3 per pixel, unused ones with weight 0
};

SideTaps sideTaps(std::int32_t above, std::int32_t below) {
    SideTaps side;
    side.taps.assign(static_cast<std::size_t>(below) * 3, Tap{0, 0});
    for (std::int32_t k = 0; k < below; ++k) {
        const std::int64_t start = static_cast<std::int64_t>(k) * above;
        const std::int64_t end = start + above;
        std::size_t slot = static_cast<std::size_t>(k) * 3;
        for (std::int64_t m = start / below; m * below < end; ++m) {
            const std::int64_t covered =
                std::min(end, (m + 1) * below) - std::max(start, m * below);
            side.taps[slot++] =
                Tap{static_cast<std::int32_t>(m), static_cast<std::uint32_t>(covered)};
        }
    }
    return side;
}

// Rows [first, last) of `below` from `above`, both sides even: 2 x 2 means.
void halveEvenRows(const SourceImage& above, const SourceImage& below, std::int32_t first,
                   std::int32_t last, [[maybe_unused]] bool wide) {
    const auto width = static_cast<std::size_t>(below.width);
    for (std::int32_t y = first; y < last; ++y) {
        const std::uint8_t* top = above.pixels + static_cast<std::size_t>(2 * y) * above.stride;
        const std::uint8_t* bottom = top + above.stride;
        auto* out =
            const_cast<std::uint8_t*>(below.pixels) + static_cast<std::size_t>(y) * below.stride;
        std::size_t done = 0;
#if defined(LUMIVUE_WIDE_STEPS)
        if (wide) {
            done = static_cast<std::size_t>(halveRowWide(
                top, bottom, 3 * static_cast<std::size_t>(above.width), out, below.width));
        }
#endif
        for (std::size_t x = done; x < width; ++x) {
            for (std::size_t c = 0; c < 3; ++c) {
                const std::size_t at = 6 * x + c;
                out[3 * x + c] = static_cast<std::uint8_t>(
                    (top[at] + top[at + 3] + bottom[at] + bottom[at + 3] + 2) >> 2);
            }
        }
    }
}

// Rows [first, last) of `below` from `above` by the covered parts.
void halveRowsByTaps(const SourceImage& above, const SourceImage& below, const SideTaps& columns,
                     const SideTaps& rows, std::int32_t first, std::int32_t last) {
    const std::uint64_t total = static_cast<std::uint64_t>(above.width) * above.height;
    for (std::int32_t y = first; y < last; ++y) {
        auto* out =
            const_cast<std::uint8_t*>(below.pixels) + static_cast<std::size_t>(y) * below.stride;
        const Tap* rowTaps = &rows.taps[static_cast<std::size_t>(y) * 3];
        for (std::int32_t x = 0; x < below.width; ++x) {
            const Tap* columnTaps = &columns.taps[static_cast<std::size_t>(x) * 3];
            std::uint64_t sums[3] = {0, 0, 0};
            for (std::size_t r = 0; r < 3; ++r) {
                const std::uint8_t* line =
                    above.pixels + static_cast<std::size_t>(rowTaps[r].index) * above.stride;
                for (std::size_t c = 0; c < 3; ++c) {
                    const std::uint64_t weight =
                        static_cast<std::uint64_t>(rowTaps[r].weight) * columnTaps[c].weight;
                    const std::uint8_t* pixel =
                        line + 3 * static_cast<std::size_t>(columnTaps[c].index);
                    for (std::size_t channel = 0; channel < 3; ++channel) {
                        sums[channel] += weight * pixel[channel];
                    }
                }
            }
            for (std::size_t channel = 0; channel < 3; ++channel) {
                out[3 * static_cast<std::size_t>(x) + channel] =
                    static_cast<std::uint8_t>((sums[channel] + total / 2) / total);
            }
        }
    }
}

// Pixels a band of a level's rows has at least: handing out a band costs
// about what averaging this many does.
constexpr std::size_t smallestLevelBand = 32768;
constexpr std::int32_t levelBandsPerThread = 4;

}  // namespace

std::size_t SourcePyramid::bytesFor(std::int32_t width, std::int32_t height) {
    std::size_t bytes = spareBytes;
    while (halvable(width, height)) {
        width = halved(width);
        height = halved(height);
        bytes +=
            static_cast<std::size_t>(platform::dibStride(width)) * static_cast<std::size_t>(height);
    }
    return bytes;
}

std::unique_ptr<SourcePyramid> SourcePyramid::build(const SourceImage& source,
                                                    std::int32_t threads) {
    if (threads <= 1) {
        return buildOn(source, nullptr);
    }
    platform::PooledBands pooled(threads);
    return buildOn(source, &pooled.pool());
}

std::unique_ptr<SourcePyramid> SourcePyramid::build(const SourceImage& source,
                                                    platform::BandPool& pool) {
    return buildOn(source, &pool);
}

std::unique_ptr<SourcePyramid> SourcePyramid::buildOn(const SourceImage& source,
                                                      platform::BandPool* pool) {
    if (!source.usable() || !halvable(source.width, source.height)) {
        return nullptr;
    }
    std::unique_ptr<SourcePyramid> pyramid(new (std::nothrow) SourcePyramid);
    if (!pyramid) {
        return nullptr;
    }
    pyramid->sourceWidth_ = source.width;
    pyramid->sourceHeight_ = source.height;
    pyramid->byteCount_ = bytesFor(source.width, source.height);
    pyramid->bytes_.reset(new (std::nothrow) std::uint8_t[pyramid->byteCount_]);
    if (!pyramid->bytes_) {
        return nullptr;
    }
    std::fill_n(pyramid->bytes_.get() + pyramid->byteCount_ - spareBytes, spareBytes, 0);
    try {
        std::size_t offset = 0;
        std::int32_t width = source.width;
        std::int32_t height = source.height;
        while (halvable(width, height)) {
            width = halved(width);
            height = halved(height);
            const std::int32_t stride = platform::dibStride(width);
            pyramid->levels_.push_back(
                SourceImage{pyramid->bytes_.get() + offset, width, height, stride});
            offset += static_cast<std::size_t>(stride) * static_cast<std::size_t>(height);
        }
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    const bool wide = wideStepsEnabled();
    const SourceImage* above = &source;
    for (const SourceImage& below : pyramid->levels_) {
        const bool even = above->width % 2 == 0 && above->height % 2 == 0;
        SideTaps columns;
        SideTaps rows;
        if (!even) {
            columns = sideTaps(above->width, below.width);
            rows = sideTaps(above->height, below.height);
        }
        const std::size_t pixels = static_cast<std::size_t>(below.width) * below.height;
        std::int32_t bands = 1;
        if (pool != nullptr && pool->threads() > 1) {
            bands = static_cast<std::int32_t>(std::min<std::size_t>(
                {pixels / smallestLevelBand, static_cast<std::size_t>(below.height),
                 static_cast<std::size_t>(pool->threads() * levelBandsPerThread)}));
            bands = std::max(bands, 1);
        }
        const SourceImage& from = *above;
        auto work = [&](std::int32_t band, std::int32_t) {
            const auto first =
                static_cast<std::int32_t>(static_cast<std::int64_t>(below.height) * band / bands);
            const auto last = static_cast<std::int32_t>(static_cast<std::int64_t>(below.height) *
                                                        (band + 1) / bands);
            if (even) {
                halveEvenRows(from, below, first, last, wide);
            } else {
                halveRowsByTaps(from, below, columns, rows, first, last);
            }
        };
        if (bands > 1) {
            pool->run(bands, work);
        } else {
            work(0, 0);
        }
        above = &below;
    }
    return pyramid;
}

}  // namespace engine
