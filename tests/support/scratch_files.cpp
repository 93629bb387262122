#include "scratch_files.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

namespace test_support {

TempFolder::TempFolder() {
    static std::atomic<int> serial{0};
    std::mt19937_64 random(
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
    path_ = fs::temp_directory_path() / ("lumivue-test-" + std::to_string(random() % 1000000000) +
                                         "-" + std::to_string(serial++));
    fs::create_directories(path_);
}

TempFolder::~TempFolder() {
    std::error_code error;
    fs::remove_all(path_, error);
}

void writeFile(const fs::path& file, const Bytes& bytes) {
    if (file.has_parent_path()) {
        fs::create_directories(file.parent_path());
    }
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

Bytes readFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace test_support
