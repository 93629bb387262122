#include "imaging/jpeg_session.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include <jerror.h>

namespace {

using imaging::jpeg::SessionErrors;

// A 32 x 32 grey JPEG, made here so that the test needs no file.
std::vector<std::uint8_t> greyJpeg() {
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = 32;
    info.image_height = 32;
    info.input_components = 1;
    info.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&info);
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row(32);
    while (info.next_scanline < info.image_height) {
        for (std::size_t x = 0; x < row.size(); ++x) {
            row[x] = static_cast<JSAMPLE>((x * 37 + info.next_scanline * 11) & 0xFF);
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::vector<std::uint8_t> bytes(out, out + size);
    std::free(out);
    return bytes;
}

// Cut inside the entropy data, which libjpeg only warns about.
std::vector<std::uint8_t> cutShort(std::vector<std::uint8_t> bytes) {
    bytes.resize(bytes.size() - 40);
    return bytes;
}

bool onlyTheEnd(int code) {
    return code == JWRN_JPEG_EOF;
}

struct Reading {
    bool jumpedBack = false;
    int rowsRead = 0;
    long warnings = 0;
};

// Reads every row of `bytes` into `run`; false when the session ends early.
// What a jump leaves behind lives in the caller's frame.
bool readAll(SessionErrors& errors, jpeg_decompress_struct& info,
             const std::vector<std::uint8_t>& bytes, std::vector<JSAMPLE>& row, Reading& run) {
    if (setjmp(errors.jump) != 0) {
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&info, TRUE);
    jpeg_start_decompress(&info);
    row.resize(static_cast<std::size_t>(info.output_width) * info.output_components);
    JSAMPROW rows[1] = {row.data()};
    while (info.output_scanline < info.output_height) {
        run.rowsRead += static_cast<int>(jpeg_read_scanlines(&info, rows, 1));
    }
    jpeg_finish_decompress(&info);
    return true;
}

Reading decodeUnder(SessionErrors& errors, const std::vector<std::uint8_t>& bytes) {
    jpeg_decompress_struct info{};
    info.err = errors.armed();
    std::vector<JSAMPLE> row;
    Reading run;
    run.jumpedBack = !readAll(errors, info, bytes, row, run);
    run.warnings = info.err->num_warnings;
    jpeg_destroy_decompress(&info);
    return run;
}

TEST(JpegSession, AnErrorJumpsBackWithItsCodeAndLibjpegsText) {
    SessionErrors errors;
    const std::vector<std::uint8_t> notJpeg = {'G', 'I', 'F', '8', '9', 'a', 0, 0};
    EXPECT_TRUE(decodeUnder(errors, notJpeg).jumpedBack);
    EXPECT_EQ(errors.failure, JERR_NO_SOI);
    EXPECT_EQ(std::string(errors.message).rfind("Not a JPEG file", 0), 0u) << errors.message;

    // Armed again, nothing of the last session remains.
    const Reading whole = decodeUnder(errors, greyJpeg());
    EXPECT_FALSE(whole.jumpedBack);
    EXPECT_EQ(whole.rowsRead, 32);
    EXPECT_EQ(errors.failure, 0);
    EXPECT_STREQ(errors.message, "");
}

TEST(JpegSession, DamageIsRecordedOrEndsTheSessionAsTheCallerAsks) {
    const std::vector<std::uint8_t> cut = cutShort(greyJpeg());

    SessionErrors recording;
    recording.damages = onlyTheEnd;
    const Reading recorded = decodeUnder(recording, cut);
    EXPECT_FALSE(recorded.jumpedBack);
    EXPECT_EQ(recorded.rowsRead, 32);  // filled in by libjpeg
    EXPECT_EQ(recording.damageWarnings, 1);
    EXPECT_EQ(std::string(recording.firstDamage).rfind("Premature end of JPEG file", 0), 0u)
        << recording.firstDamage;

    SessionErrors failing;
    failing.damages = onlyTheEnd;
    failing.failOnDamage = true;
    EXPECT_TRUE(decodeUnder(failing, cut).jumpedBack);
    EXPECT_EQ(failing.failure, JWRN_JPEG_EOF);
    EXPECT_EQ(failing.damageWarnings, 0);

    // Warnings the caller does not count as damage are counted by libjpeg only.
    SessionErrors ignoring;
    const Reading ignored = decodeUnder(ignoring, cut);
    EXPECT_FALSE(ignored.jumpedBack);
    EXPECT_GT(ignored.warnings, 0);
    EXPECT_EQ(ignoring.damageWarnings, 0);
    EXPECT_STREQ(ignoring.firstDamage, "");
}

}  // namespace
