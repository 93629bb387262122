#include "jpeg_transcoding.h"

#include <gtest/gtest.h>

#include <csetjmp>
#include <cstdio>
#include <string>

#include <jpeglib.h>

#include "imaging/jpeg_decoding.h"
#include "imaging/jpeg_layout.h"
#include "scratch_files.h"

namespace {

using namespace test_support;

fs::path jpegPicture(const std::string& name) {
    return fs::path(JPEG_PICTURE_FOLDER) / name;
}

// The picture as libjpeg decodes it in its own colour space (RGB from YCbCr,
// grey, CMYK), with its size and components; empty when it does not decode.
struct Samples {
    unsigned width = 0, height = 0;
    int components = 0;
    Bytes samples;
    friend bool operator==(const Samples&, const Samples&) = default;
};

struct Failure {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

void failed(j_common_ptr info) {
    std::longjmp(reinterpret_cast<Failure*>(info->err)->jump, 1);
}

Samples decodeSamples(const Bytes& jpeg) {
    Samples result;
    jpeg_decompress_struct info{};
    Failure failure{};
    info.err = jpeg_std_error(&failure.manager);
    failure.manager.error_exit = failed;
    if (setjmp(failure.jump) != 0) {
        jpeg_destroy_decompress(&info);
        ADD_FAILURE() << "libjpeg could not decode the picture";
        return {};
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
    jpeg_read_header(&info, TRUE);
    jpeg_start_decompress(&info);
    result.width = info.output_width;
    result.height = info.output_height;
    result.components = info.output_components;
    const std::size_t rowBytes =
        static_cast<std::size_t>(info.output_width) * info.output_components;
    result.samples.resize(rowBytes * info.output_height);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = result.samples.data() + rowBytes * info.output_scanline;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return result;
}

// Restart intervals of whole MCU rows in one scan, as many as the picture's
// MCU rows make.
void expectRowBands(const Bytes& jpeg) {
    const auto facts = imaging::jpeg::probe(jpeg);
    ASSERT_TRUE(facts);
    EXPECT_FALSE(facts->progressive);
    EXPECT_FALSE(facts->arithmetic);
    EXPECT_TRUE(imaging::jpeg::restartsOnRowBoundaries(facts->restartInterval, facts->mcusPerRow));
    const auto layout = imaging::jpeg::readScanLayout(jpeg);
    ASSERT_TRUE(layout);
    const int intervalRows =
        static_cast<int>(facts->restartInterval / facts->mcusPerRow) * facts->mcuHeight;
    EXPECT_EQ(static_cast<int>(layout->intervals.size()),
              (facts->size.height + intervalRows - 1) / intervalRows);
}

TEST(RestartMarkers, EveryPixelDecodesAsBeforeAndTheMarkersFallOnRowBoundaries) {
    for (const char* name :
         {"baseline-420.jpg", "baseline-422.jpg", "baseline-444.jpg", "grey.jpg",
          "progressive-420.jpg", "progressive-444.jpg", "progressive-grey.jpg", "tiny.jpg",
          "restart-in-rows.jpg", "arithmetic.jpg", "cmyk.jpg", "dense-300dpi.jpg"}) {
        SCOPED_TRACE(name);
        const Bytes original = readFile(jpegPicture(name));
        ASSERT_FALSE(original.empty());
        const auto marked = tourpack::withRestartMarkers(original);
        ASSERT_TRUE(marked);
        const Samples before = decodeSamples(original);
        ASSERT_GT(before.samples.size(), 0u);
        EXPECT_TRUE(decodeSamples(*marked) == before);
        expectRowBands(*marked);
        const auto facts = imaging::jpeg::probe(*marked);
        EXPECT_EQ(imaging::jpeg::decodesInBands(*facts), name != std::string("cmyk.jpg"));
    }
}

TEST(RestartMarkers, PicturesAlreadyInRowBandsAreStoredByteForByte) {
    TempFolder scratch;
    for (const char* name : {"restart-420.jpg", "restart-grey.jpg", "large-restart.jpg"}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(tourpack::withRestartMarkers(readFile(jpegPicture(name))));
        EXPECT_EQ(tourpack::storedWithRestartMarkers(jpegPicture(name), scratch.path()),
                  jpegPicture(name));
    }
    // Not JPEGs: stored as they are.
    writeFile(scratch.path() / "picture.bmp", Bytes{'B', 'M', 0, 0, 0, 0});
    EXPECT_EQ(tourpack::storedWithRestartMarkers(scratch.path() / "picture.bmp", scratch.path()),
              scratch.path() / "picture.bmp");
}

TEST(RestartMarkers, MarkedCopiesGoToTheScratchFolderUnderNamesOfTheirOwn) {
    TempFolder scratch;
    const fs::path first =
        tourpack::storedWithRestartMarkers(jpegPicture("grey.jpg"), scratch.path());
    const fs::path second =
        tourpack::storedWithRestartMarkers(jpegPicture("grey.jpg"), scratch.path());
    EXPECT_EQ(first.parent_path(), scratch.path());
    EXPECT_NE(first, second);
    expectRowBands(readFile(first));
    EXPECT_EQ(readFile(first), readFile(second));
}

TEST(RestartMarkers, CommentsAndApplicationMarkersComeAlong) {
    const auto marked = tourpack::withRestartMarkers(readFile(jpegPicture("commented.jpg")));
    ASSERT_TRUE(marked);
    const std::string text(marked->begin(), marked->end());
    EXPECT_NE(text.find("made for the tests"), std::string::npos);
    EXPECT_EQ(text.find("JFIF"), text.rfind("JFIF"));  // one JFIF marker, not two
    EXPECT_NE(text.find("JFIF"), std::string::npos);
}

TEST(RestartMarkers, LargePanoramasGetEnoughBandsForEightCores) {
    // An 8000 x 4000 4:2:0 panorama has 250 MCU rows; a 4000 x 2000 one 125.
    for (unsigned mcuRows : {250u, 125u, 512u, 4096u}) {
        const unsigned rows = tourpack::restartRowsFor(mcuRows);
        const unsigned intervals = (mcuRows + rows - 1) / rows;
        EXPECT_GE(intervals, 64u) << mcuRows;
        EXPECT_LE(intervals, 128u) << mcuRows;
    }
    EXPECT_EQ(tourpack::restartRowsFor(3), 1u);
}

}  // namespace
