#include "engine/pixel_gather.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "engine/wide_steps.h"

namespace engine {

PixelGather::PixelGather(const SourceImage& source, bool wide)
    : pixels_(source.pixels),
      stride_(static_cast<std::size_t>(source.stride)),
      lastPixel_(source.pixels + stride_ * static_cast<std::size_t>(source.height - 1) +
                 3 * static_cast<std::size_t>(source.width - 1)),
      wide_(wide) {}

void PixelGather::locate(const std::int32_t* rows, const std::int32_t* columns,
                         std::size_t* offsets, std::int32_t count) const {
    const std::size_t stride = stride_;
#if defined(LUMIVUE_WIDE_STEPS)
    if (wide_) {
        locateWide(rows, columns, stride, offsets, count);
        return;
    }
#endif
    for (std::int32_t k = 0; k < count; ++k) {
        offsets[k] =
            static_cast<std::size_t>(rows[k]) * stride + static_cast<std::size_t>(columns[k]) * 3;
    }
}

void PixelGather::prefetch(const std::size_t* offsets, std::int32_t count) const {
#if defined(__SSE2__)
    const std::uint8_t* pixels = pixels_;
    for (std::int32_t k = 0; k < count; ++k) {
        _mm_prefetch(reinterpret_cast<const char*>(pixels + offsets[k]), _MM_HINT_T1);
    }
#else
    (void)offsets;
    (void)count;
#endif
}

void PixelGather::gather(const std::size_t* offsets, std::uint8_t* out, std::int32_t count) const {
    if (count <= 0) {
        return;
    }
    const std::uint8_t* pixels = pixels_;
    const std::size_t lastOffset = static_cast<std::size_t>(lastPixel_ - pixels_);
    for (std::int32_t k = 0; k + 1 < count; ++k) {
        const std::size_t offset = offsets[k];
        std::uint8_t* to = out + 3 * static_cast<std::size_t>(k);
        if (offset != lastOffset) {
            std::memcpy(to, pixels + offset, 4);
        } else {
            std::memcpy(to, pixels + offset, 3);
        }
    }
    copyLast(pixels + offsets[count - 1], out + 3 * static_cast<std::size_t>(count - 1));
}

void PixelGather::gatherAsking(const std::size_t* offsets, std::uint8_t* out, std::int32_t count,
                               const std::size_t* ahead) const {
    if (count <= 0) {
        return;
    }
    const std::uint8_t* pixels = pixels_;
    const std::size_t lastOffset = static_cast<std::size_t>(lastPixel_ - pixels_);
    for (std::int32_t k = 0; k + 1 < count; ++k) {
#if defined(__SSE2__)
        _mm_prefetch(reinterpret_cast<const char*>(pixels + ahead[k]), _MM_HINT_T1);
#endif
        const std::size_t offset = offsets[k];
        std::uint8_t* to = out + 3 * static_cast<std::size_t>(k);
        if (offset != lastOffset) {
            std::memcpy(to, pixels + offset, 4);
        } else {
            std::memcpy(to, pixels + offset, 3);
        }
    }
#if defined(__SSE2__)
    _mm_prefetch(reinterpret_cast<const char*>(pixels + ahead[count - 1]), _MM_HINT_T1);
#else
    (void)ahead;
#endif
    copyLast(pixels + offsets[count - 1], out + 3 * static_cast<std::size_t>(count - 1));
}

void streamEntries(std::int32_t* to, const std::int32_t* from, std::size_t count) {
#if defined(__SSE2__)
    std::size_t k = 0;
    for (; k < count && (reinterpret_cast<std::uintptr_t>(to + k) & 15) != 0; ++k) {
        _mm_stream_si32(reinterpret_cast<int*>(to + k), from[k]);
    }
    for (; k + 4 <= count; k += 4) {
        _mm_stream_si128(reinterpret_cast<__m128i*>(to + k),
                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + k)));
    }
    for (; k < count; ++k) {
        _mm_stream_si32(reinterpret_cast<int*>(to + k), from[k]);
    }
#else
    std::memcpy(to, from, count * sizeof *to);
#endif
}

void streamBytes(std::uint8_t* to, const std::uint8_t* from, std::size_t count) {
#if defined(__SSE2__)
    std::size_t k = 0;
    for (; k < count && (reinterpret_cast<std::uintptr_t>(to + k) & 3) != 0; ++k) {
        to[k] = from[k];
    }
    for (; k + 4 <= count && (reinterpret_cast<std::uintptr_t>(to + k) & 15) != 0; k += 4) {
        std::int32_t word;
        std::memcpy(&word, from + k, 4);
        _mm_stream_si32(reinterpret_cast<int*>(to + k), word);
    }
    for (; k + 16 <= count; k += 16) {
        _mm_stream_si128(reinterpret_cast<__m128i*>(to + k),
                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + k)));
    }
    for (; k + 4 <= count; k += 4) {
        std::int32_t word;
        std::memcpy(&word, from + k, 4);
        _mm_stream_si32(reinterpret_cast<int*>(to + k), word);
    }
    for (; k < count; ++k) {
        to[k] = from[k];
    }
#else
    std::memcpy(to, from, count);
#endif
}

void finishStreaming() {
#if defined(__SSE2__)
    _mm_sfence();
#endif
}

}  // namespace engine
