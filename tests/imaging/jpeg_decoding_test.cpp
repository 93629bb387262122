#include "imaging/jpeg_decoding.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "imaging/image_geometry.h"
#include "imaging/jpeg_layout.h"

namespace {

using namespace imaging;

std::vector<std::uint8_t> readPicture(const std::string& name) {
    std::ifstream file(std::string(JPEG_PICTURE_FOLDER) + "/" + name, std::ios::binary);
    EXPECT_TRUE(file) << name;
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

struct Decoded {
    jpeg::Outcome outcome;
    PixelSize size;
    std::vector<std::uint8_t> pixels;
};

Decoded decodeAll(const std::vector<std::uint8_t>& bytes, int eighths, unsigned threads,
                  const std::atomic<bool>* cancel = nullptr) {
    const auto facts = jpeg::probe(bytes);
    EXPECT_TRUE(facts);
    Decoded decoded{jpeg::Outcome::corrupt, jpeg::scaledSize(facts->size, eighths), {}};
    // A byte no decoder writes, so that a row left out shows.
    decoded.pixels.assign(
        static_cast<std::size_t>(dibStride(decoded.size.width)) * decoded.size.height, 0xA5);
    decoded.outcome = jpeg::decode(bytes, eighths,
                                   {decoded.pixels.data(), decoded.size.width, decoded.size.height,
                                    dibStride(decoded.size.width)},
                                   threads, cancel);
    return decoded;
}

TEST(JpegFacts, TheHeaderTellsSizeProcessAndRestartRows) {
    const auto baseline = jpeg::probe(readPicture("restart-420.jpg"));
    ASSERT_TRUE(baseline);
    EXPECT_EQ(baseline->size, (PixelSize{333, 251}));
    EXPECT_EQ(baseline->components, 3);
    EXPECT_FALSE(baseline->progressive);
    EXPECT_EQ(baseline->mcuHeight, 16);
    EXPECT_EQ(baseline->mcusPerRow, 21u);
    EXPECT_EQ(baseline->restartInterval, 21u);  // one MCU row
    EXPECT_TRUE(jpeg::takes(*baseline));
    EXPECT_TRUE(jpeg::decodesInBands(*baseline));

    const auto grey = jpeg::probe(readPicture("restart-grey.jpg"));
    ASSERT_TRUE(grey);
    EXPECT_EQ(grey->mcuHeight, 8);
    EXPECT_EQ(grey->mcusPerRow, 42u);
    EXPECT_TRUE(jpeg::decodesInBands(*grey));

    const auto inRows = jpeg::probe(readPicture("restart-in-rows.jpg"));
    ASSERT_TRUE(inRows);
    EXPECT_TRUE(jpeg::takes(*inRows));
    EXPECT_FALSE(jpeg::decodesInBands(*inRows));  // 7 MCUs: not whole rows

    const auto progressive = jpeg::probe(readPicture("progressive-420.jpg"));
    ASSERT_TRUE(progressive);
    EXPECT_TRUE(progressive->progressive);
    EXPECT_TRUE(jpeg::takes(*progressive));
    EXPECT_FALSE(jpeg::decodesInBands(*progressive));
}

TEST(JpegFacts, ArithmeticCodingCmykAndNonJpegsAreDeclined) {
    for (const char* name : {"arithmetic.jpg", "cmyk.jpg"}) {
        SCOPED_TRACE(name);
        const auto facts = jpeg::probe(readPicture(name));
        ASSERT_TRUE(facts);
        EXPECT_FALSE(jpeg::takes(*facts));
    }
    const std::vector<std::uint8_t> text{'G', 'I', 'F', '8', '9', 'a', 0, 0};
    EXPECT_FALSE(jpeg::probe(text));
    EXPECT_FALSE(jpeg::probe({}));
    const auto whole = readPicture("baseline-420.jpg");
    EXPECT_FALSE(jpeg::probe(std::span(whole).first(100)));  // cut inside its header
}

TEST(JpegScaling, ScaledSizesRoundUpAndTheCoveringScaleIsTheSmallestThatCovers) {
    EXPECT_EQ(jpeg::scaledSize({333, 251}, 1), (PixelSize{42, 32}));
    EXPECT_EQ(jpeg::scaledSize({333, 251}, 4), (PixelSize{167, 126}));
    EXPECT_EQ(jpeg::eighthsCovering({8000, 4000}, {1000, 500}), 1);
    EXPECT_EQ(jpeg::eighthsCovering({8000, 4000}, {1001, 500}), 2);
    EXPECT_EQ(jpeg::eighthsCovering({4000, 2000}, {1000, 500}), 2);
    EXPECT_EQ(jpeg::eighthsCovering({1000, 600}, {2000, 1200}), 8);
}

TEST(JpegLayout, TheWholeScanRebuiltFromItsIntervalsIsTheSameFile) {
    for (const char* name : {"restart-420.jpg", "restart-grey.jpg", "large-restart.jpg"}) {
        SCOPED_TRACE(name);
        const auto bytes = readPicture(name);
        const auto facts = jpeg::probe(bytes);
        const auto layout = jpeg::readScanLayout(bytes);
        ASSERT_TRUE(layout);
        const int intervalRows =
            static_cast<int>(facts->restartInterval / facts->mcusPerRow) * facts->mcuHeight;
        EXPECT_EQ(static_cast<int>(layout->intervals.size()),
                  (facts->size.height + intervalRows - 1) / intervalRows);
        EXPECT_EQ(jpeg::bandStream(bytes, *layout, 0, layout->intervals.size(),
                                   static_cast<std::uint16_t>(facts->size.height)),
                  bytes);
    }
    EXPECT_FALSE(jpeg::readScanLayout(readPicture("progressive-420.jpg")));  // several scans
}

TEST(JpegDecoding, BandsOnSeveralThreadsGiveTheOneThreadPicture) {
    for (const char* name : {"restart-420.jpg", "restart-422.jpg", "restart-444.jpg",
                             "restart-grey.jpg", "large-restart.jpg", "large-restart-444.jpg"}) {
        const auto bytes = readPicture(name);
        for (int eighths : {8, 4, 1}) {
            const Decoded alone = decodeAll(bytes, eighths, 1);
            ASSERT_EQ(alone.outcome, jpeg::Outcome::decoded) << name;
            for (unsigned threads : {2u, 3u, 8u, 100u}) {
                SCOPED_TRACE(std::string(name) + " eighths " + std::to_string(eighths) +
                             " threads " + std::to_string(threads));
                const Decoded banded = decodeAll(bytes, eighths, threads);
                EXPECT_EQ(banded.outcome, jpeg::Outcome::decoded);
                EXPECT_TRUE(banded.pixels == alone.pixels);
            }
        }
    }
}

TEST(JpegDecoding, EveryRowIsWrittenBottomUpInBgrOrder) {
    // tiny.jpg: a gradient from red at the top to blue at the bottom.
    const Decoded tiny = decodeAll(readPicture("tiny.jpg"), 8, 1);
    ASSERT_EQ(tiny.outcome, jpeg::Outcome::decoded);
    const int stride = dibStride(17);
    const std::uint8_t* top = tiny.pixels.data() + 8 * stride;
    const std::uint8_t* bottom = tiny.pixels.data();
    EXPECT_GT(top[2], 200);  // red
    EXPECT_LT(top[0], 60);
    EXPECT_GT(bottom[0], 200);  // blue
    EXPECT_LT(bottom[2], 60);
    for (const char* name : {"baseline-420.jpg", "progressive-grey.jpg", "restart-in-rows.jpg"}) {
        const Decoded decoded = decodeAll(readPicture(name), 8, 4);
        EXPECT_EQ(decoded.outcome, jpeg::Outcome::decoded) << name;
        for (int y = 0; y < decoded.size.height; ++y) {
            const std::uint8_t* row = decoded.pixels.data() + y * dibStride(decoded.size.width);
            ASSERT_FALSE(std::all_of(row, row + decoded.size.width * 3,
                                     [](std::uint8_t byte) { return byte == 0xA5; }))
                << name << " row " << y;
        }
    }
}

TEST(JpegDecoding, FailuresOnAnyThreadAreTheOutcomeAndCancelStops) {
    const auto noTables = readPicture("no-tables.jpg");
    for (unsigned threads : {1u, 4u}) {
        std::vector<std::uint8_t> pixels(static_cast<std::size_t>(dibStride(333)) * 251);
        EXPECT_EQ(jpeg::decode(noTables, 8, {pixels.data(), 333, 251, dibStride(333)}, threads),
                  jpeg::Outcome::corrupt);
    }
    const std::atomic<bool> cancelled{true};
    for (unsigned threads : {1u, 4u}) {
        EXPECT_EQ(decodeAll(readPicture("large-restart.jpg"), 8, threads, &cancelled).outcome,
                  jpeg::Outcome::cancelled);
    }
    std::vector<std::uint8_t> pixels(16);
    EXPECT_EQ(jpeg::decode(readPicture("cmyk.jpg"), 8, {pixels.data(), 1, 1, 4}, 2),
              jpeg::Outcome::corrupt);  // declined kinds are never written
}

// libjpeg only warns about damaged entropy data and fills in what is missing;
// the decoder refuses such a picture on every path, so that it goes to the
// platform's decoder (and its prompt) instead of showing grey.
TEST(JpegDecoding, DamagedEntropyDataIsRefusedNotFilledIn) {
    const auto whole = readPicture("restart-420.jpg");
    const auto progressive = readPicture("progressive-420.jpg");
    const auto cut = [](std::vector<std::uint8_t> bytes, std::size_t keep) {
        bytes.resize(keep);
        return bytes;
    };
    // A restart marker numbered out of turn: libjpeg resynchronises.
    std::vector<std::uint8_t> misnumbered = whole;
    const std::uint8_t secondRestart[] = {0xFF, 0xD1};
    const auto marker = std::search(misnumbered.begin(), misnumbered.end(),
                                    std::begin(secondRestart), std::end(secondRestart));
    ASSERT_NE(marker, misnumbered.end());
    marker[1] = 0xD5;
    const std::vector<std::vector<std::uint8_t>> damaged = {
        cut(whole, 900), cut(whole, whole.size() / 2), cut(progressive, progressive.size() / 2),
        misnumbered};
    for (std::size_t k = 0; k < damaged.size(); ++k) {
        ASSERT_TRUE(jpeg::probe(damaged[k])) << k;  // the header still reads
        for (unsigned threads : {1u, 4u}) {
            for (int eighths : {8, 1}) {
                EXPECT_EQ(decodeAll(damaged[k], eighths, threads).outcome, jpeg::Outcome::corrupt)
                    << "case " << k << ", " << threads << " threads, " << eighths << "/8";
            }
        }
    }
    EXPECT_EQ(decodeAll(whole, 8, 4).outcome, jpeg::Outcome::decoded);
}

// The progress a scene's preview is decided on: every row of the picture
// counted once, whether bands decode it (their context rows not counted) or
// one thread, at full size or an eighth.
TEST(JpegDecoding, ProgressCountsEveryRowOnce) {
    for (const char* name : {"large-restart.jpg", "restart-420.jpg", "progressive-420.jpg"}) {
        const auto bytes = readPicture(name);
        const auto facts = jpeg::probe(bytes);
        ASSERT_TRUE(facts) << name;
        for (int eighths : {8, 1}) {
            for (unsigned threads : {1u, 3u}) {
                const PixelSize size = jpeg::scaledSize(facts->size, eighths);
                std::vector<std::uint8_t> pixels(static_cast<std::size_t>(dibStride(size.width)) *
                                                 size.height);
                jpeg::Progress progress;
                ASSERT_EQ(
                    jpeg::decode(bytes, eighths,
                                 {pixels.data(), size.width, size.height, dibStride(size.width)},
                                 threads, nullptr, &progress),
                    jpeg::Outcome::decoded)
                    << name;
                EXPECT_EQ(progress.rows.load(), size.height) << name << " " << eighths;
                EXPECT_EQ(progress.rowsWritten.load(), size.height)
                    << name << " " << eighths << " " << threads;
                EXPECT_DOUBLE_EQ(progress.fraction(), 1.0);
            }
        }
    }
}

}  // namespace
