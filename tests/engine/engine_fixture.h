// A panorama view rendering into memory, for the engine's tests.
#pragma once

#include <cstring>
#include <memory>

#include "engine/memory_view_host.h"
#include "engine/panorama_view.h"
#include "reference_warp.h"

struct MemoryView {
    engine::MemoryViewHost host;
    std::unique_ptr<engine::PanoramaView> view = std::make_unique<engine::PanoramaView>(host);

    void show(const ReferencePanorama& panorama) {
        engine::SourceImage image{panorama.pixels.data(), panorama.width, panorama.height,
                                  panorama.stride};
        view->setImage(&image);
    }

    // The view's pixels and maps equal the reference's, entry for entry.
    ::testing::AssertionResult matches(const ReferenceView& expected) const {
        const engine::ViewBuffer& buffer = view->viewBuffer();
        if (buffer.width != expected.width || buffer.height != expected.height) {
            return ::testing::AssertionFailure() << "view size differs";
        }
        const std::int32_t* columns = view->warper().columnMap();
        const std::int32_t* rows = view->warper().rowMap();
        for (std::size_t k = 0; k < expected.columns.size(); ++k) {
            if (columns[k] != expected.columns[k] || rows[k] != expected.rows[k]) {
                return ::testing::AssertionFailure()
                       << "map entry " << k << " (row " << k / expected.width << ", column "
                       << k % expected.width << "): engine " << columns[k] << "," << rows[k]
                       << " reference " << expected.columns[k] << "," << expected.rows[k];
            }
        }
        for (std::int32_t j = 0; j < expected.height; ++j) {
            if (std::memcmp(buffer.pixels + static_cast<std::size_t>(j) * buffer.stride,
                            expected.pixels.data() + static_cast<std::size_t>(j) * expected.stride,
                            static_cast<std::size_t>(expected.width) * 3) != 0) {
                return ::testing::AssertionFailure() << "pixels of view row " << j << " differ";
            }
        }
        if (view->warper().columnCarry() != expected.columnCarry) {
            return ::testing::AssertionFailure() << "column carry differs";
        }
        return ::testing::AssertionSuccess();
    }
};
