#include "pictures/jpeg_transcoding.h"

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
#include "imaging/jpeg_session.h"
#include "pictures/exif_orientation.h"
#include "pictures/jpeg_reading.h"
#include "text/tourpack_error.h"
#include "text/utf8_path.h"

namespace tourpack {

namespace {

namespace fs = std::filesystem;

// A component's blocks in the kept part of the stored picture and in the
// turned picture (whose arrays are padded to whole MCUs).
struct ComponentTurn {
    JDIMENSION keptWidth = 0, keptHeight = 0;      // stored blocks
    JDIMENSION turnedWidth = 0, turnedHeight = 0;  // turned blocks
    JDIMENSION paddedRows = 0;
    jvirt_barray_ptr turned = nullptr;
};

// What the guarded call makes lives here, outside the frames a jump leaves (a
// picture that reads with warnings is copied with the same coefficients).
struct Transcoding {
    jpeg_decompress_struct source{};
    jpeg_compress_struct target{};
    imaging::jpeg::SessionErrors errors;  // warnings dropped
    int orientation = 1;                  // the EXIF tag the copy is turned by
    std::vector<ComponentTurn> components;
    std::vector<std::uint8_t> exif;  // a turned copy's EXIF block
    unsigned char* output = nullptr;
    unsigned long outputSize = 0;

    ~Transcoding() {
        jpeg_destroy_compress(&target);
        jpeg_destroy_decompress(&source);
        std::free(output);  // jpeg_mem_dest allocates with malloc
    }
};

bool isMarker(const jpeg_saved_marker_ptr marker, int code, const char* name) {
    const std::size_t length = std::strlen(name) + 1;
    return marker->marker == code && marker->data_length >= length &&
           std::memcmp(marker->data, name, length) == 0;
}

// The application and comment markers of the source, less the JFIF and
// Adobe markers the library writes itself; a turned copy's EXIF block says
// it is upright.
void copyMarkers(Transcoding& work) {
    for (jpeg_saved_marker_ptr marker = work.source.marker_list; marker != nullptr;
         marker = marker->next) {
        if ((work.target.write_JFIF_header && isMarker(marker, JPEG_APP0, "JFIF")) ||
            (work.target.write_Adobe_marker && isMarker(marker, JPEG_APP0 + 14, "Adobe"))) {
            continue;
        }
        if (work.orientation != 1 && marker->marker == JPEG_APP0 + 1) {
            work.exif.assign(marker->data, marker->data + marker->data_length);
            markExifUpright(work.exif);
            jpeg_write_marker(&work.target, marker->marker, work.exif.data(),
                              static_cast<unsigned>(work.exif.size()));
            continue;
        }
        jpeg_write_marker(&work.target, marker->marker, marker->data, marker->data_length);
    }
}

// One block turned. Mirroring a block's columns negates its coefficients of
// odd horizontal frequency, mirroring its rows those of odd vertical
// frequency (cos((2(7-x)+1)u pi/16) = (-1)^u cos((2x+1)u pi/16)); a
// transposed block has its frequencies exchanged. Both orders are natural.
template <typename Value>
void turnBlock(const Value* from, Value* to, OrientationTurn turn) {
    for (int v = 0; v < DCTSIZE; ++v) {
        for (int u = 0; u < DCTSIZE; ++u) {
            const bool negated =
                (turn.reversesColumns && (u & 1) != 0) != (turn.reversesRows && (v & 1) != 0);
            const Value value = from[v * DCTSIZE + u];
            to[turn.transposes ? u * DCTSIZE + v : v * DCTSIZE + u] =
                negated ? static_cast<Value>(-value) : value;
        }
    }
}

JDIMENSION divideRoundingUp(JDIMENSION value, JDIMENSION divisor) {
    return (value + divisor - 1) / divisor;
}

// Before the source's coefficients are read (which makes every array the
// memory manager was asked for): one array per component for the turned
// picture of `kept` stored pixels.
void requestTurnedArrays(jpeg_decompress_struct& source, PictureSize kept, OrientationTurn turn,
                         std::vector<ComponentTurn>& components) {
    const auto common = reinterpret_cast<j_common_ptr>(&source);
    for (int c = 0; c < source.num_components; ++c) {
        const jpeg_component_info& info = source.comp_info[c];
        ComponentTurn& component = components[static_cast<std::size_t>(c)];
        component.keptWidth =
            divideRoundingUp(static_cast<JDIMENSION>(kept.width * info.h_samp_factor),
                             static_cast<JDIMENSION>(DCTSIZE * source.max_h_samp_factor));
        component.keptHeight =
            divideRoundingUp(static_cast<JDIMENSION>(kept.height * info.v_samp_factor),
                             static_cast<JDIMENSION>(DCTSIZE * source.max_v_samp_factor));
        component.turnedWidth = turn.transposes ? component.keptHeight : component.keptWidth;
        component.turnedHeight = turn.transposes ? component.keptWidth : component.keptHeight;
        const auto across =
            static_cast<JDIMENSION>(turn.transposes ? info.v_samp_factor : info.h_samp_factor);
        const auto down =
            static_cast<JDIMENSION>(turn.transposes ? info.h_samp_factor : info.v_samp_factor);
        component.paddedRows = divideRoundingUp(component.turnedHeight, down) * down;
        component.turned = (*source.mem->request_virt_barray)(
            common, JPOOL_IMAGE, TRUE, divideRoundingUp(component.turnedWidth, across) * across,
            component.paddedRows, down);
    }
}

// Fills a component's turned array, row by row as the memory manager wants
// arrays written; rows past the picture stay zero. Both arrays are wholly in
// memory, so reading the stored blocks across their rows costs nothing.
void turnComponent(j_common_ptr common, jvirt_barray_ptr stored, const ComponentTurn& component,
                   OrientationTurn turn) {
    for (JDIMENSION ty = 0; ty < component.paddedRows; ++ty) {
        JBLOCKROW row =
            (*common->mem->access_virt_barray)(common, component.turned, ty, 1, TRUE)[0];
        if (ty >= component.turnedHeight) {
            continue;
        }
        for (JDIMENSION tx = 0; tx < component.turnedWidth; ++tx) {
            JDIMENSION sx = turn.transposes ? ty : tx;
            JDIMENSION sy = turn.transposes ? tx : ty;
            if (turn.reversesColumns) {
                sx = component.keptWidth - 1 - sx;
            }
            if (turn.reversesRows) {
                sy = component.keptHeight - 1 - sy;
            }
            const JBLOCKROW from =
                (*common->mem->access_virt_barray)(common, stored, sy, 1, FALSE)[0];
            turnBlock<JCOEF>(from[sx], row[tx], turn);
        }
    }
}

// The target, whose parameters were copied from the source, described as
// the turned picture: its size, sampling factors, quantisation tables (a
// transposed block's coefficients are quantised by the transposed table) and
// pixel density.
void describeTurnedTarget(jpeg_compress_struct& target, PictureSize upright, OrientationTurn turn) {
    target.image_width = static_cast<JDIMENSION>(upright.width);
    target.image_height = static_cast<JDIMENSION>(upright.height);
    if (!turn.transposes) {
        return;
    }
    for (int c = 0; c < target.num_components; ++c) {
        std::swap(target.comp_info[c].h_samp_factor, target.comp_info[c].v_samp_factor);
    }
    for (JQUANT_TBL* table : target.quant_tbl_ptrs) {
        if (table != nullptr) {
            UINT16 transposed[DCTSIZE2];
            turnBlock<UINT16>(table->quantval, transposed, {false, false, true});
            std::copy(std::begin(transposed), std::end(transposed), table->quantval);
        }
    }
    std::swap(target.X_density, target.Y_density);
}

// The MCU of the source picture in pixels: one block for a single component.
PictureSize mcuOf(const jpeg_decompress_struct& source) {
    if (source.num_components == 1) {
        return {DCTSIZE, DCTSIZE};
    }
    return {DCTSIZE * source.max_h_samp_factor, DCTSIZE * source.max_v_samp_factor};
}

// Reads the source's coefficients, turned by work.orientation into arrays of
// their own when it is not 1; sets the target's parameters for them. False
// when the turn keeps nothing.
bool readTurnedCoefficients(Transcoding& work, jvirt_barray_ptr*& coefficients, unsigned& mcuRows) {
    const PictureSize stored{static_cast<std::int32_t>(work.source.image_width),
                             static_cast<std::int32_t>(work.source.image_height)};
    const PictureSize mcu = mcuOf(work.source);
    const LosslessTurn geometry = losslessTurn(stored, mcu, work.orientation);
    if (!geometry.possible()) {
        return false;
    }
    const OrientationTurn& turn = orientationTurn(work.orientation);
    std::vector<ComponentTurn>& components = work.components;
    if (work.orientation != 1) {
        components.resize(static_cast<std::size_t>(work.source.num_components));
        requestTurnedArrays(work.source, geometry.kept, turn, components);
    }
    coefficients = jpeg_read_coefficients(&work.source);
    jpeg_copy_critical_parameters(&work.source, &work.target);
    const int turnedMcuHeight = turn.transposes ? mcu.width : mcu.height;
    mcuRows =
        static_cast<unsigned>(divideRoundingUp(static_cast<JDIMENSION>(geometry.upright.height),
                                               static_cast<JDIMENSION>(turnedMcuHeight)));
    if (work.orientation == 1) {
        return true;
    }
    describeTurnedTarget(work.target, geometry.upright, turn);
    const auto common = reinterpret_cast<j_common_ptr>(&work.source);
    jvirt_barray_ptr* turned = static_cast<jvirt_barray_ptr*>((*common->mem->alloc_small)(
        common, JPOOL_IMAGE, sizeof(jvirt_barray_ptr) * components.size()));
    for (std::size_t c = 0; c < components.size(); ++c) {
        turnComponent(common, coefficients[c], components[c], turn);
        turned[c] = components[c].turned;
    }
    coefficients = turned;
    return true;
}

// Copies the coefficients of `jpeg`, turned by work.orientation, into
// `work.output`. Between setjmp and a jump back only libjpeg's state
// changes. False when libjpeg fails or the turn keeps nothing.
bool transcode(Transcoding& work, std::span<const std::uint8_t> jpeg) {
    work.source.err = work.errors.armed();
    work.target.err = &work.errors.manager;
    if (setjmp(work.errors.jump) != 0) {
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
    jvirt_barray_ptr* coefficients = nullptr;
    unsigned mcuRows = 0;
    if (!readTurnedCoefficients(work, coefficients, mcuRows)) {
        return false;
    }
    // Huffman coding fitted to the picture: progressive and arithmetic-coded
    // sources become baseline, which the player decodes in bands.
    work.target.optimize_coding = TRUE;
    work.target.restart_in_rows = static_cast<int>(restartRowsFor(mcuRows));
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
        throw TourpackError(utf8Of(file) + ": cannot be read");
    }
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool isJpeg(const std::vector<std::uint8_t>& bytes) {
    return bytes.size() >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF;
}

std::optional<std::vector<std::uint8_t>> transcoded(std::span<const std::uint8_t> jpeg,
                                                    int orientation) {
    Transcoding work;
    work.orientation = orientation;
    if (!transcode(work, jpeg)) {
        return std::nullopt;
    }
    return std::vector<std::uint8_t>(work.output, work.output + work.outputSize);
}

// `bytes` as a file in the scratch folder named after `picture` (wide on
// Windows: the name may hold any character), after `prefix`.
fs::path writeScratchCopy(const std::vector<std::uint8_t>& bytes, const fs::path& picture,
                          const fs::path& scratchFolder, const std::string& prefix) {
    fs::path stored = scratchFolder / fs::path(prefix + "-");
    stored += picture.filename();
    for (int copy = 2; fs::exists(stored); ++copy) {
        stored = scratchFolder / fs::path(prefix + "-" + std::to_string(copy) + "-");
        stored += picture.filename();
    }
    std::ofstream out(stored, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) {
        throw TourpackError(utf8Of(stored) + ": cannot write the stored copy of the picture");
    }
    return stored;
}

}  // namespace

unsigned restartRowsFor(unsigned mcuRows) {
    return std::max(1u, mcuRows / 64);
}

std::optional<std::vector<std::uint8_t>> withRestartMarkers(std::span<const std::uint8_t> jpeg) {
    if (needsNoMarkers(jpeg)) {
        return std::nullopt;
    }
    return transcoded(jpeg, 1);
}

std::optional<std::vector<std::uint8_t>> turnedUprightLosslessly(std::span<const std::uint8_t> jpeg,
                                                                 int orientation) {
    return transcoded(jpeg, orientation >= 1 && orientation <= 8 ? orientation : 1);
}

std::optional<fs::path> storedUprightLosslessly(const fs::path& picture,
                                                const fs::path& scratchFolder, int orientation) {
    const std::vector<std::uint8_t> bytes = readJpegFile(picture);
    if (!isJpeg(bytes)) {
        return std::nullopt;
    }
    const std::optional<std::vector<std::uint8_t>> turned =
        turnedUprightLosslessly(bytes, orientation);
    if (!turned) {
        return std::nullopt;
    }
    return writeScratchCopy(*turned, picture, scratchFolder, "upright");
}

fs::path storedWithRestartMarkers(const fs::path& picture, const fs::path& scratchFolder) {
    const std::vector<std::uint8_t> bytes = readJpegFile(picture);
    if (!isJpeg(bytes)) {
        return picture;
    }
    const std::optional<std::vector<std::uint8_t>> marked = withRestartMarkers(bytes);
    if (!marked) {
        return picture;
    }
    return writeScratchCopy(*marked, picture, scratchFolder, "restart");
}

}  // namespace tourpack
