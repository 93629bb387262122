#include "jpeg_transcoding.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

#include <jpeglib.h>

#include "imaging/jpeg_decoding.h"
#include "imaging/jpeg_layout.h"
#include "tourpack_error.h"

namespace tourpack {

namespace {

namespace fs = std::filesystem;

// libjpeg's errors jump back to the guarded call; its warnings are ignored
// (a picture that reads with warnings is copied with the same coefficients).
struct Transcoding {
    jpeg_decompress_struct source{};
    jpeg_compress_struct target{};
    jpeg_error_mgr errors{};
    std::jmp_buf jump{};
    unsigned char* output = nullptr;
    unsigned long outputSize = 0;

    ~Transcoding() {
        jpeg_destroy_compress(&target);
        jpeg_destroy_decompress(&source);
        std::free(output);  // jpeg_mem_dest allocates with malloc
    }
};

void jumpBack(j_common_ptr info) {
    std::longjmp(static_cast<Transcoding*>(info->client_data)->jump, 1);
}

void ignoreMessage(j_common_ptr, int) {}

bool isMarker(const jpeg_saved_marker_ptr marker, int code, const char* name) {
    const std::size_t length = std::strlen(name) + 1;
    return marker->marker == code && marker->data_length >= length &&
           std::memcmp(marker->data, name, length) == 0;
}

// The application and comment markers of the source, less the JFIF and
// Adobe markers the library writes itself.
void copyMarkers(Transcoding& work) {
    for (jpeg_saved_marker_ptr marker = work.source.marker_list; marker != nullptr;
         marker = marker->next) {
        if ((work.target.write_JFIF_header && isMarker(marker, JPEG_APP0, "JFIF")) ||
            (work.target.write_Adobe_marker && isMarker(marker, JPEG_APP0 + 14, "Adobe"))) {
            continue;
        }
        jpeg_write_marker(&work.target, marker->marker, marker->data, marker->data_length);
    }
}

// Copies the coefficients of `jpeg` into `work.output`. Between setjmp and a
// jump back only libjpeg's state changes. False when libjpeg fails.
bool transcode(Transcoding& work, std::span<const std::uint8_t> jpeg) {
    work.source.err = jpeg_std_error(&work.errors);
    work.target.err = &work.errors;
    work.errors.error_exit = jumpBack;
    work.errors.emit_message = ignoreMessage;
    work.source.client_data = &work;
    work.target.client_data = &work;
    if (setjmp(work.jump) != 0) {
        return false;
    }
    jpeg_create_decompress(&work.source);
    jpeg_create_compress(&work.target);
    jpeg_mem_src(&work.source, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
    jpeg_save_markers(&work.source, JPEG_COM, 0xFFFF);
    for (int app = 0; app < 16; ++app) {
        jpeg_save_markers(&work.source, JPEG_APP0 + app, 0xFFFF);
    }
    jpeg_read_header(&work.source, TRUE);
    jvirt_barray_ptr* coefficients = jpeg_read_coefficients(&work.source);
    jpeg_copy_critical_parameters(&work.source, &work.target);
    // Huffman coding fitted to the picture: progressive and arithmetic-coded
    // sources become baseline, which the player decodes in bands.
    work.target.optimize_coding = TRUE;
    const unsigned mcuHeight = 8 * static_cast<unsigned>(work.source.max_v_samp_factor);
    work.target.restart_in_rows =
        static_cast<int>(restartRowsFor((work.source.image_height + mcuHeight - 1) / mcuHeight));
    jpeg_mem_dest(&work.target, &work.output, &work.outputSize);
    jpeg_write_coefficients(&work.target, coefficients);
    copyMarkers(work);
    jpeg_finish_compress(&work.target);
    jpeg_finish_decompress(&work.source);
    return true;
}

bool needsNoMarkers(std::span<const std::uint8_t> jpeg) {
    const auto facts = imaging::jpeg::probe(jpeg);
    return facts && imaging::jpeg::decodesInBands(*facts) && imaging::jpeg::readScanLayout(jpeg);
}

std::vector<std::uint8_t> readJpegFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        throw TourpackError(file.string() + ": cannot be read");
    }
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

unsigned restartRowsFor(unsigned mcuRows) {
    return std::max(1u, mcuRows / 64);
}

std::optional<std::vector<std::uint8_t>> withRestartMarkers(std::span<const std::uint8_t> jpeg) {
    if (needsNoMarkers(jpeg)) {
        return std::nullopt;
    }
    Transcoding work;
    if (!transcode(work, jpeg)) {
        return std::nullopt;
    }
    return std::vector<std::uint8_t>(work.output, work.output + work.outputSize);
}

fs::path storedWithRestartMarkers(const fs::path& picture, const fs::path& scratchFolder) {
    const std::vector<std::uint8_t> bytes = readJpegFile(picture);
    if (bytes.size() < 3 || bytes[0] != 0xFF || bytes[1] != 0xD8 || bytes[2] != 0xFF) {
        return picture;  // not a JPEG
    }
    const std::optional<std::vector<std::uint8_t>> marked = withRestartMarkers(bytes);
    if (!marked) {
        return picture;
    }
    fs::path stored = scratchFolder / ("restart-" + picture.filename().string());
    for (int copy = 2; fs::exists(stored); ++copy) {
        stored =
            scratchFolder / ("restart-" + std::to_string(copy) + "-" + picture.filename().string());
    }
    std::ofstream out(stored, std::ios::binary);
    out.write(reinterpret_cast<const char*>(marked->data()),
              static_cast<std::streamsize>(marked->size()));
    if (!out.flush()) {
        throw TourpackError(stored.string() + ": cannot write the picture with restart markers");
    }
    return stored;
}

}  // namespace tourpack
