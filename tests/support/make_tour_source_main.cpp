// Writes a test tour source (manifest and media) into a folder, for script
// tests and for making the fuzzer's seed packages:
//   make_tour_source FOLDER SCENES [PLAYER]
#include <cstdio>
#include <cstdlib>

#include "tour_source.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: make_tour_source FOLDER SCENES [PLAYER]\n");
        return 2;
    }
    const auto source =
        test_support::makeTourSource(argv[1], std::atoi(argv[2]), argc > 3 ? argv[3] : "");
    std::printf("%s\n", source.manifestPath().string().c_str());
    return 0;
}
