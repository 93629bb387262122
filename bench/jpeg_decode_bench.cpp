// How long a JPEG takes to become a 24-bit bottom-up DIB section: the
// platform's picture service (OleLoadPicture + IPicture::Render) against the
// player's own decoder on one thread and on every core, at full size and at
// an eighth (the preview).
//
//   jpeg_decode_bench.exe [--repetitions N] PICTURE.jpg...
//
// Prints the median of each way per picture and a summary line per picture.
#include <windows.h>
#include <olectl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "imaging/image_geometry.h"
#include "imaging/jpeg_decoding.h"
#include "platform/band_pool.h"
#include "platform/com_apartment.h"
#include "platform/com_ref.h"
#include "platform/picture_decoding.h"
#include "platform/scoped_handle.h"

namespace {

double millisecondsOf(const std::function<void()>& work) {
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    work();
    QueryPerformanceCounter(&end);
    return static_cast<double>(end.QuadPart - start.QuadPart) * 1000.0 /
           static_cast<double>(frequency.QuadPart);
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

struct Section {
    platform::UniqueBitmap bitmap;
    void* bits = nullptr;
};

Section makeSection(HDC dc, imaging::PixelSize size) {
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = size.width;
    header.biHeight = size.height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    Section section;
    section.bitmap.reset(CreateDIBSection(dc, reinterpret_cast<BITMAPINFO*>(&header),
                                          DIB_RGB_COLORS, &section.bits, nullptr, 0));
    return section;
}

void byPlatform(const std::vector<std::uint8_t>& bytes, HDC dc) {
    platform::ComRef<IPicture> picture = platform::decodePicture(bytes.data(), bytes.size());
    OLE_XSIZE_HIMETRIC width = 0;
    OLE_YSIZE_HIMETRIC height = 0;
    picture->get_Width(&width);
    picture->get_Height(&height);
    const imaging::PixelSize size{MulDiv(width, GetDeviceCaps(dc, LOGPIXELSX), 2540),
                                  MulDiv(height, GetDeviceCaps(dc, LOGPIXELSY), 2540)};
    Section section = makeSection(dc, size);
    platform::Selection selection(dc, section.bitmap.get());
    picture->Render(dc, 0, 0, size.width, size.height, 0, height, width, -height, nullptr);
    GdiFlush();
}

void byOwnDecoder(const std::vector<std::uint8_t>& bytes, HDC dc, int eighths, unsigned threads) {
    const auto facts = imaging::jpeg::probe(bytes);
    const imaging::PixelSize size = imaging::jpeg::scaledSize(facts->size, eighths);
    Section section = makeSection(dc, size);
    const imaging::jpeg::Outcome outcome =
        imaging::jpeg::decode(bytes, eighths,
                              {static_cast<std::uint8_t*>(section.bits), size.width, size.height,
                               imaging::dibStride(size.width)},
                              threads);
    if (outcome != imaging::jpeg::Outcome::decoded) {
        std::fprintf(stderr, "the picture did not decode\n");
        std::exit(1);
    }
}

void benchPicture(const char* path, int repetitions, HDC dc) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    const auto facts = imaging::jpeg::probe(bytes);
    if (!facts || !imaging::jpeg::takes(*facts)) {
        std::fprintf(stderr, "%s: not a JPEG the player decodes itself\n", path);
        std::exit(1);
    }
    const auto cores = static_cast<unsigned>(platform::BandPool::threadsForThisProcessor());
    std::vector<double> platform, one, all, eighthOne, eighthAll;
    for (int i = 0; i < repetitions; ++i) {
        platform.push_back(millisecondsOf([&] { byPlatform(bytes, dc); }));
        one.push_back(millisecondsOf([&] { byOwnDecoder(bytes, dc, 8, 1); }));
        all.push_back(millisecondsOf([&] { byOwnDecoder(bytes, dc, 8, cores); }));
        eighthOne.push_back(millisecondsOf([&] { byOwnDecoder(bytes, dc, 1, 1); }));
        eighthAll.push_back(millisecondsOf([&] { byOwnDecoder(bytes, dc, 1, cores); }));
    }
    const double platformMs = median(platform);
    const double allMs = median(all);
    std::printf("%s: %dx%d, restart interval %u MCUs (%s)\n", path, facts->size.width,
                facts->size.height, facts->restartInterval,
                imaging::jpeg::decodesInBands(*facts) ? "decoded in bands" : "one piece");
    std::printf("  platform picture service  %8.1f ms\n", platformMs);
    std::printf("  own, 1 thread             %8.1f ms\n", median(one));
    std::printf("  own, %u threads            %8.1f ms\n", cores, allMs);
    std::printf("  own 1/8, 1 thread         %8.1f ms\n", median(eighthOne));
    std::printf("  own 1/8, %u threads        %8.1f ms\n", cores, median(eighthAll));
    std::printf(
        "summary: jpeg decode %dx%d%s: own %.0f ms on %u cores (1 thread %.0f ms, 1/8 %.0f ms), "
        "platform picture service %.0f ms, ratio %.2f\n",
        facts->size.width, facts->size.height,
        imaging::jpeg::decodesInBands(*facts) ? " with restart markers" : "", allMs, cores,
        median(one), median(eighthAll), platformMs, allMs / platformMs);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    int repetitions = 5;
    int first = 1;
    if (argc > 2 && std::string(argv[1]) == "--repetitions") {
        repetitions = std::max(1, std::atoi(argv[2]));
        first = 3;
    }
    if (first >= argc) {
        std::fprintf(stderr, "usage: jpeg_decode_bench.exe [--repetitions N] PICTURE.jpg...\n");
        return 2;
    }
    platform::ComApartment apartment;
    platform::UniqueMemoryDC dc = platform::makeMemoryDC();
    for (int i = first; i < argc; ++i) {
        benchPicture(argv[i], repetitions, dc.get());
    }
    return 0;
}
