#include "pictures/jpeg_transcoding.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <string>

#include <jpeglib.h>

#include "imaging/jpeg_decoding.h"
#include "imaging/jpeg_layout.h"
#include "pictures/jpeg_reading.h"
#include "pictures/picture_conversion.h"
#include "pictures/picture_preparation.h"
#include "scratch_files.h"
#include "text/tourpack_error.h"

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

// `blockwise`: chroma upsampled by repeating samples, so that every pixel
// comes from its own blocks alone (the smoothing filter is not symmetric, so
// a turned picture would not smooth to the turned pixels), and the float
// inverse DCT, which keeps every bit between its column and row passes (the
// integer one rounds there, so a transposed block would differ by one in a
// few samples).
Samples decodeSamples(const Bytes& jpeg, bool blockwise = false) {
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
    info.do_fancy_upsampling = blockwise ? FALSE : TRUE;
    if (blockwise) {
        info.dct_method = JDCT_FLOAT;
    }
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

// An EXIF block (big-endian) whose one directory entry is the orientation tag.
Bytes exifWithOrientation(int orientation) {
    return {
        'E', 'x', 'i', 'f',  0,    0, 'M', 'M', 0, 42, 0, 0, 0,
        8,   0,   1,   0x01, 0x12, 0, 3,   0,   0, 0,  1, 0, static_cast<std::uint8_t>(orientation),
        0,   0,   0,   0,    0,    0};
}

// A colour JPEG made with libjpeg: luma sampled `across` x `down` times the
// chroma, the quality-85 tables (not symmetric, so a transposed block needs
// the transposed table), detail that differs along rows and columns in every
// block, and an EXIF orientation tag when `orientation` is not 0.
struct MadeJpeg {
    unsigned width = 48, height = 32;
    int across = 2, down = 2;
    bool arithmetic = false;
    int orientation = 0;
};

Bytes makeJpeg(const MadeJpeg& made) {
    jpeg_compress_struct info{};
    Failure failure{};
    info.err = jpeg_std_error(&failure.manager);
    failure.manager.error_exit = failed;
    unsigned char* output = nullptr;
    unsigned long size = 0;
    if (setjmp(failure.jump) != 0) {
        jpeg_destroy_compress(&info);
        std::free(output);
        ADD_FAILURE() << "libjpeg could not encode the picture";
        return {};
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &output, &size);
    info.image_width = made.width;
    info.image_height = made.height;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 85, TRUE);
    info.comp_info[0].h_samp_factor = made.across;
    info.comp_info[0].v_samp_factor = made.down;
    info.arith_code = made.arithmetic ? TRUE : FALSE;
    jpeg_start_compress(&info, TRUE);
    if (made.orientation != 0) {
        const Bytes exif = exifWithOrientation(made.orientation);
        jpeg_write_marker(&info, JPEG_APP0 + 1, exif.data(), static_cast<unsigned>(exif.size()));
    }
    std::vector<JSAMPLE> row(made.width * 3);
    while (info.next_scanline < info.image_height) {
        const unsigned y = info.next_scanline;
        for (unsigned x = 0; x < made.width; ++x) {
            row[3 * x] = static_cast<JSAMPLE>(x * 5 + y);
            row[3 * x + 1] = static_cast<JSAMPLE>((x * x + 7 * y) * 3);
            row[3 * x + 2] = static_cast<JSAMPLE>((x * 31 + y * y * 17) ^ (x * y));
        }
        JSAMPROW rows = row.data();
        jpeg_write_scanlines(&info, &rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    Bytes bytes(output, output + size);
    std::free(output);
    return bytes;
}

// The decoded samples turned upright as an orientation tag says, from the
// part a lossless turn keeps (the top left `kept` of the stored picture).
Samples turnedSamples(const Samples& stored, tourpack::PictureSize kept, int orientation) {
    std::vector<std::uint8_t> pixels;
    for (int y = 0; y < kept.height; ++y) {
        const auto row = stored.samples.begin() + static_cast<std::ptrdiff_t>(y) * stored.width * 3;
        pixels.insert(pixels.end(), row, row + kept.width * 3);
    }
    tourpack::PictureSize size = kept;
    Samples turned;
    turned.samples = tourpack::orientUpright(pixels, size, orientation);
    turned.width = static_cast<unsigned>(size.width);
    turned.height = static_cast<unsigned>(size.height);
    turned.components = 3;
    return turned;
}

TEST(RestartMarkers, BuildSaysWhetherItAddedThem) {
    TempFolder folder;
    const fs::path plain = folder.path() / "plain.jpg";  // one scan, no restart markers
    writeFile(plain, makeJpeg({96, 48, 2, 2, false, 0}));
    const fs::path banded = jpegPicture("restart-420.jpg");
    const tourpack::PictureSize bandedSize =
        tourpack::probePicture(banded, tourpack::FileKind::jpeg);
    tourpack::Manifest manifest;
    manifest.file = folder.path() / "tour.json";
    manifest.scenes.push_back({"Plain", 0, 0, 100, plain, {}, {}, {}});
    manifest.scenes.push_back({"Banded", 0, 0, 100, banded, {}, {}, {}});
    std::vector<std::string> lines;
    std::vector<std::string> warnings;
    tourpack::ConversionOptions options;
    options.pictureDone = [&](const std::string& line) { lines.push_back(line); };
    tourpack::PreparedPictures prepared;
    tourpack::preparePictures(manifest, options, prepared, warnings);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0],
              "scenes[1].image: plain.jpg, a JPEG picture of 96 x 48, stored with restart "
              "markers, pixels unchanged");
    EXPECT_NE(prepared.manifest().scenes[0].image, plain);
    EXPECT_EQ(lines[1], "scenes[2].image: restart-420.jpg, a JPEG picture of " +
                            std::to_string(bandedSize.width) + " x " +
                            std::to_string(bandedSize.height) + ", stored as it is");
    EXPECT_EQ(prepared.manifest().scenes[1].image, banded) << "stored byte for byte";
}

// Damage libjpeg only warns about, filling in what is missing: a file cut
// inside its entropy data, entropy data that ends early at a marker, bytes
// where a marker belongs. What build and new read pictures with refuses each,
// in either coding, whichever decoder reads it. (Arithmetic-coded data that
// ends early at a marker cannot be told from whole data: its encoder leaves
// out trailing zero bytes, which the decoder stuffs back at the marker.)
TEST(DamagedJpegs, AreRefusedInEitherCoding) {
    TempFolder folder;
    for (const bool arithmetic : {false, true}) {
        const Bytes whole = makeJpeg({96, 64, 2, 2, arithmetic, 0});
        const std::uint8_t startOfScan[] = {0xFF, 0xDA};
        const auto scan =
            std::search(whole.begin(), whole.end(), std::begin(startOfScan), std::end(startOfScan));
        ASSERT_NE(scan, whole.end());
        ASSERT_EQ(whole[whole.size() - 2], 0xFF);
        ASSERT_EQ(whole.back(), 0xD9);
        const auto middle = scan + (whole.end() - scan) / 2;
        const Bytes cut(whole.begin(), middle);
        Bytes endsEarly = cut;
        endsEarly.insert(endsEarly.end(), {0xFF, 0xD9});
        Bytes extraneous = whole;
        extraneous.insert(extraneous.begin() + (scan - whole.begin()), {0x12, 0x34, 0x56});
        std::vector<std::pair<std::string, Bytes>> damaged = {{"cut", cut},
                                                              {"extraneous", extraneous}};
        if (!arithmetic) {
            damaged.emplace_back("ends-early", endsEarly);
        }
        const std::string coding = arithmetic ? "arithmetic-" : "huffman-";
        const fs::path intact = folder.path() / (coding + "intact.jpg");
        writeFile(intact, whole);
        EXPECT_EQ(tourpack::readPictureThrough(intact).width, 96);
        for (const auto& [name, bytes] : damaged) {
            SCOPED_TRACE(coding + name);
            const fs::path file = folder.path() / (coding + name + ".jpg");
            writeFile(file, bytes);
            try {
                tourpack::decodePicture(file, tourpack::FileKind::jpeg);
                ADD_FAILURE() << "the damaged picture was decoded";
            } catch (const tourpack::TourpackError& error) {
                EXPECT_NE(std::string(error.what()).find(": is truncated or corrupt ("),
                          std::string::npos)
                    << error.what();
            }
            EXPECT_THROW(tourpack::readPictureThrough(file), tourpack::TourpackError);
        }
    }
}

TEST(LosslessTurn, EachOrientationDecodesToTheStoredPixelsTurned) {
    for (const auto& [across, down] : {std::pair{2, 2}, {2, 1}, {1, 1}}) {
        const Bytes stored = makeJpeg({48, 32, across, down, false, 0});
        const Samples before = decodeSamples(stored, true);
        ASSERT_EQ(before.width, 48u);
        for (int orientation = 1; orientation <= 8; ++orientation) {
            SCOPED_TRACE(std::to_string(across) + "x" + std::to_string(down) + " orientation " +
                         std::to_string(orientation));
            const auto turned = tourpack::turnedUprightLosslessly(stored, orientation);
            ASSERT_TRUE(turned);
            EXPECT_TRUE(decodeSamples(*turned, true) ==
                        turnedSamples(before, {48, 32}, orientation));
            expectRowBands(*turned);
        }
    }
}

TEST(LosslessTurn, PartialMcusOnEdgesTurnedToTheLeftOrTopAreTrimmed) {
    // 50 x 30 in MCUs of 16 x 16: 2 columns and 14 rows of partial MCUs.
    const Bytes stored = makeJpeg({50, 30, 2, 2, false, 0});
    const Samples before = decodeSamples(stored, true);
    struct Case {
        int orientation;
        tourpack::PictureSize upright;
        const char* trimmed;
    };
    for (const Case& expected :
         {Case{2, {48, 30}, "2 pixels trimmed from the left"},
          Case{3, {48, 16}, "2 pixels trimmed from the left and 14 from the top"},
          Case{4, {50, 16}, "14 pixels trimmed from the top"}, Case{5, {30, 50}, ""},
          Case{6, {16, 50}, "14 pixels trimmed from the left"},
          Case{7, {16, 48}, "14 pixels trimmed from the left and 2 from the top"},
          Case{8, {30, 48}, "2 pixels trimmed from the top"}}) {
        SCOPED_TRACE(expected.orientation);
        const tourpack::LosslessTurn turn =
            tourpack::losslessTurn({50, 30}, {16, 16}, expected.orientation);
        EXPECT_EQ(turn.upright.width, expected.upright.width);
        EXPECT_EQ(turn.upright.height, expected.upright.height);
        EXPECT_EQ(turn.trimmedText(), expected.trimmed);
        const auto turned = tourpack::turnedUprightLosslessly(stored, expected.orientation);
        ASSERT_TRUE(turned);
        EXPECT_TRUE(decodeSamples(*turned, true) ==
                    turnedSamples(before, turn.kept, expected.orientation));
        const auto facts = tourpack::readJpegFacts(*turned);
        ASSERT_TRUE(facts);
        EXPECT_EQ(facts->turn().upright.width, expected.upright.width) << "read back as stored";
    }
    // Narrower than one MCU on the side that would be trimmed: nothing is left;
    // cut off in its header: libjpeg cannot read it.
    EXPECT_FALSE(tourpack::turnedUprightLosslessly(makeJpeg({50, 10, 2, 2, false, 0}), 6));
    EXPECT_FALSE(tourpack::turnedUprightLosslessly(std::span(stored).first(120), 6));
}

TEST(LosslessTurn, TheTurnedCopySaysItIsUprightAndArithmeticCodingBecomesBaseline) {
    const Bytes tagged = makeJpeg({48, 32, 2, 2, true, 6});
    ASSERT_EQ(tourpack::readJpegFacts(tagged)->orientation, 6);
    ASSERT_TRUE(tourpack::readJpegFacts(tagged)->arithmetic());
    const auto turned = tourpack::turnedUprightLosslessly(tagged, 6);
    ASSERT_TRUE(turned);
    const auto facts = tourpack::readJpegFacts(*turned);
    EXPECT_EQ(facts->orientation, 1);
    EXPECT_EQ(facts->frameMarker, 0xC0);
    const std::string text(turned->begin(), turned->end());
    EXPECT_NE(text.find("Exif"), std::string::npos) << "the EXIF block is kept";
    EXPECT_TRUE(decodeSamples(*turned, true) ==
                turnedSamples(decodeSamples(tagged, true), {48, 32}, 6));
}

// What build does with camera and arithmetic-coded JPEGs: kept losslessly
// where nothing else changes, each line saying so; decoded and encoded anew
// where the picture is reduced anyway.
TEST(LosslessTurn, BuildStoresTaggedAndArithmeticJpegsLosslesslyUnlessItReducesThem) {
    TempFolder folder;
    const fs::path arithmetic = folder.path() / "arithmetic.jpg";
    writeFile(arithmetic, makeJpeg({48, 32, 2, 2, true, 0}));
    const fs::path portrait = folder.path() / "portrait.jpg";
    writeFile(portrait, makeJpeg({50, 30, 2, 2, false, 6}));
    tourpack::Manifest manifest;
    manifest.file = folder.path() / "tour.json";
    manifest.scenes.push_back({"Arithmetic", 0, 0, 100, arithmetic, {}, {}, {}});
    manifest.scenes.push_back({"Portrait", 0, 0, 100, portrait, {}, {}, {}});
    std::vector<std::string> lines;
    std::vector<std::string> warnings;
    tourpack::ConversionOptions options;
    options.pictureDone = [&](const std::string& line) { lines.push_back(line); };
    {
        tourpack::PreparedPictures prepared;
        tourpack::preparePictures(manifest, options, prepared, warnings);
        ASSERT_EQ(lines.size(), 2u);
        EXPECT_EQ(lines[0],
                  "scenes[1].image: arithmetic.jpg, an arithmetic-coded JPEG picture of 48 x 32, "
                  "stored as baseline JPEG (losslessly)");
        EXPECT_EQ(lines[1],
                  "scenes[2].image: portrait.jpg, a JPEG picture of 30 x 50, turned upright "
                  "losslessly (its orientation tag: rotated 90 degrees clockwise), 14 pixels "
                  "trimmed from the left (now 16 x 50), stored as baseline JPEG");
        const Bytes storedArithmetic = readFile(prepared.manifest().scenes[0].image);
        EXPECT_EQ(tourpack::readJpegFacts(storedArithmetic)->frameMarker, 0xC0);
        EXPECT_TRUE(decodeSamples(storedArithmetic) == decodeSamples(readFile(arithmetic)));
        const Bytes storedPortrait = readFile(prepared.manifest().scenes[1].image);
        EXPECT_EQ(tourpack::readJpegFacts(storedPortrait)->orientation, 1);
        EXPECT_TRUE(decodeSamples(storedPortrait, true) ==
                    turnedSamples(decodeSamples(readFile(portrait), true), {50, 16}, 6));
    }
    // new shows the size build stores.
    const tourpack::PictureSize probed = tourpack::probePicture(portrait, tourpack::FileKind::jpeg);
    EXPECT_EQ(probed.width, 16);
    EXPECT_EQ(probed.height, 50);

    options.maxWidth = 10;
    lines.clear();
    tourpack::PreparedPictures reduced;
    tourpack::preparePictures(manifest, options, reduced, warnings);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("arithmetic-coded JPEG picture of 48 x 32, reduced to 10 x"),
              std::string::npos)
        << lines[0];
    EXPECT_NE(lines[1].find("JPEG picture of 30 x 50, turned upright (its orientation tag: rotated "
                            "90 degrees clockwise), reduced to 10 x"),
              std::string::npos)
        << lines[1];
}

}  // namespace
