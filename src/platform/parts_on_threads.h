// Work cut into independent parts, run on threads of their own: part 0 on the
// calling thread, every other on a new thread while threads are to be had,
// and what no thread took on the caller's too. Returns when every part is
// done. The parts must not throw.
#pragma once

#include <cstddef>
#include <functional>

namespace platform {

void runPartsOnThreads(std::size_t parts, const std::function<void(std::size_t part)>& runPart);

}  // namespace platform
