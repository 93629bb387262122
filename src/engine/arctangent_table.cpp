#include "engine/arctangent_table.h"

#include <cmath>
#include <new>

#include "engine/angles.h"

namespace engine {

std::unique_ptr<ArctangentTable> ArctangentTable::create() {
    std::unique_ptr<float[]> entries(new (std::nothrow) float[entryCount]);
    if (!entries) {
        return nullptr;
    }
    // x is accumulated by repeated addition in double precision.
    double x = 0.0;
    for (std::int32_t k = 0; k < entryCount; ++k) {
        entries[k] = static_cast<float>(std::atan(x / 1.0));
        x += 0.00001;
    }
    return std::unique_ptr<ArctangentTable>(new (std::nothrow) ArctangentTable(std::move(entries)));
}

}  // namespace engine
