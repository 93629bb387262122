#include "bmp_file.h"

#include <algorithm>
#include <fstream>

namespace test_support {

Bytes bmpFile(int width, int height, const std::uint8_t* rows) {
    constexpr std::size_t headers = 14 + 40;
    const std::size_t pixels = bmpStride(width) * static_cast<std::size_t>(height);
    Bytes bytes(headers + pixels, 0);
    bytes[0] = 'B';
    bytes[1] = 'M';
    put32(bytes, 2, static_cast<std::uint32_t>(bytes.size()));
    put32(bytes, 10, headers);
    put32(bytes, 14, 40);
    put32(bytes, 18, static_cast<std::uint32_t>(width));
    put32(bytes, 22, static_cast<std::uint32_t>(height));
    put16(bytes, 26, 1);
    put16(bytes, 28, 24);
    put32(bytes, 34, static_cast<std::uint32_t>(pixels));
    std::copy_n(rows, pixels, bytes.begin() + headers);
    return bytes;
}

bool writeBmpFile(const fs::path& path, int width, int height, const std::uint8_t* rows) {
    const Bytes bytes = bmpFile(width, height, rows);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.close();
    return !out.fail();
}

}  // namespace test_support
