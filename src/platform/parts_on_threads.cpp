#include "platform/parts_on_threads.h"

#include <exception>
#include <thread>
#include <vector>

namespace platform {

void runPartsOnThreads(std::size_t parts, const std::function<void(std::size_t part)>& runPart) {
    std::vector<std::thread> helpers;
    struct JoinAll {
        std::vector<std::thread>& threads;
        ~JoinAll() {
            for (std::thread& thread : threads) {
                thread.join();
            }
        }
    } join{helpers};
    std::size_t next = 1;
    try {
        helpers.reserve(parts);
        for (; next < parts; ++next) {
            helpers.emplace_back(runPart, next);
        }
    } catch (const std::exception&) {
        // No more threads to be had: this one takes the rest.
    }
    if (parts > 0) {
        runPart(0);
    }
    for (std::size_t part = next; part < parts; ++part) {
        runPart(part);
    }
}

}  // namespace platform
