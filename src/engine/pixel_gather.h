// Moving pixels and map rows: copying the source pixels two maps name into a
// view row, asking for those pixels ahead of time, and writing finished map
// rows to memory past the caches.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "engine/pixel_buffers.h"

namespace engine {

class PixelGather {
  public:
    // `wide`: locate with the processor's wide steps (see processor.h).
    explicit PixelGather(const SourceImage& source, bool wide = false);

    // Byte offsets in the source of the pixels of `count` entries.
    void locate(const std::int32_t* rows, const std::int32_t* columns, std::size_t* offsets,
                std::int32_t count) const;

    // Asks for the source pixels at `count` offsets, to be copied soon.
    void prefetch(const std::size_t* offsets, std::int32_t count) const;

    // Copies the source pixels at `count` offsets to `out`, 3 bytes each.
    // Four bytes move as one word where both the source and the view have a
    // byte to spare after the pixel (the view's spare byte is the next pixel,
    // written after it); the exact three bytes elsewhere.
    void gather(const std::size_t* offsets, std::uint8_t* out, std::int32_t count) const;

    // gather, asking at the same time for the pixels at `ahead` (as many).
    void gatherAsking(const std::size_t* offsets, std::uint8_t* out, std::int32_t count,
                      const std::size_t* ahead) const;

  private:
    static void copyLast(const std::uint8_t* pixel, std::uint8_t* out) {
        std::memcpy(out, pixel, 3);
    }

    const std::uint8_t* pixels_;
    std::size_t stride_;
    const std::uint8_t* lastPixel_;
    bool wide_;
};

// Copies `count` map entries to `to` with stores that bypass the caches: the
// maps are read again only by the next pan, long after the caches turned over.
// Call finishStreaming before the entries are read elsewhere.
void streamEntries(std::int32_t* to, const std::int32_t* from, std::size_t count);
void streamBytes(std::uint8_t* to, const std::uint8_t* from, std::size_t count);
void finishStreaming();

}  // namespace engine
