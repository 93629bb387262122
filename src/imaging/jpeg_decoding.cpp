#include "imaging/jpeg_decoding.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE
#include <new>
#include <vector>

#include <jpeglib.h>
#include <jerror.h>

#include "imaging/jpeg_layout.h"
#include "imaging/jpeg_session.h"
#include "platform/band_pool.h"

namespace imaging::jpeg {

namespace {

// The player refuses damaged data (entropy data that ends early, a marker in
// the middle of it, scans out of order), which libjpeg would fill in, so that
// such a picture goes to the platform's decoder and its prompt instead.
struct Session {
    jpeg_decompress_struct info{};
    SessionErrors errors;
};

// Every warning but those about what a picture says of itself.
bool damagesPixels(int code) {
    return code != JWRN_ADOBE_XFORM && code != JWRN_JFIF_MAJOR && code != JWRN_BOGUS_ICC;
}

void prepare(Session& session) {
    session.errors.damages = damagesPixels;
    session.errors.failOnDamage = true;
    session.info.err = session.errors.armed();
}

Outcome failureOf(const Session& session) {
    return session.errors.failure == JERR_OUT_OF_MEMORY ? Outcome::outOfMemory : Outcome::corrupt;
}

// Reads the header into `session.info`. False when it does not read.
bool readHeader(Session& session, std::span<const std::uint8_t> bytes) {
    prepare(session);
    if (setjmp(session.errors.jump) != 0) {
        return false;
    }
    jpeg_create_decompress(&session.info);
    jpeg_mem_src(&session.info, bytes.data(), static_cast<unsigned long>(bytes.size()));
    return jpeg_read_header(&session.info, TRUE) == JPEG_HEADER_OK;
}

struct DestroyOnExit {
    Session& session;
    ~DestroyOnExit() { jpeg_destroy_decompress(&session.info); }
};

// The rows one stream gives: the first `skipped` are context for the rows
// after them and dropped; the next `kept` are the picture's rows from
// `firstRow` on.
struct RowPlan {
    int skipped = 0;
    int kept = 0;
    int firstRow = 0;
    int pictureHeight = 0;
};

// What every band of one decode shares with the others and the caller.
struct BandSignals {
    const std::atomic<bool>* cancel = nullptr;
    std::atomic<bool>* failed = nullptr;  // another band failed
    Progress* progress = nullptr;
    bool stopRaised() const {
        return (cancel != nullptr && cancel->load(std::memory_order_relaxed)) ||
               failed->load(std::memory_order_relaxed);
    }
    void written(int rows) const {
        if (progress != nullptr && rows > 0) {
            progress->rowsWritten.fetch_add(rows, std::memory_order_relaxed);
        }
    }
};

constexpr int rowsPerRead = 16;

// Decodes one stream into its rows of `rows`. Between setjmp and a jump back
// only libjpeg's state changes; nothing here needs unwinding.
Outcome decodeRows(Session& session, std::span<const std::uint8_t> stream, int eighths,
                   const RowPlan& plan, BgrRows rows, const BandSignals& signals) {
    if (!readHeader(session, stream)) {
        return failureOf(session);
    }
    if (setjmp(session.errors.jump) != 0) {
        return failureOf(session);
    }
    jpeg_decompress_struct& info = session.info;
    info.out_color_space = JCS_EXT_BGR;
    info.scale_num = static_cast<unsigned>(eighths);
    info.scale_denom = 8;
    jpeg_start_decompress(&info);
    JSAMPROW scratch = (*info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
                                                 info.output_width * 3, 1)[0];
    const int last = std::min<int>(plan.skipped + plan.kept, static_cast<int>(info.output_height));
    JSAMPROW batch[rowsPerRead];
    while (static_cast<int>(info.output_scanline) < last) {
        if (signals.stopRaised()) {
            return Outcome::cancelled;
        }
        const int first = static_cast<int>(info.output_scanline);
        const int count = std::min(rowsPerRead, last - first);
        for (int i = 0; i < count; ++i) {
            const int y = plan.firstRow + first + i - plan.skipped;
            batch[i] = first + i < plan.skipped ? scratch : rows.row(plan.pictureHeight - 1 - y);
        }
        const auto read =
            static_cast<int>(jpeg_read_scanlines(&info, batch, static_cast<JDIMENSION>(count)));
        signals.written(first + read - std::max(first, plan.skipped));
    }
    return Outcome::decoded;
}

Outcome decodeStream(std::span<const std::uint8_t> stream, int eighths, const RowPlan& plan,
                     BgrRows rows, const BandSignals& signals) {
    Session session;
    DestroyOnExit destroy{session};
    return decodeRows(session, stream, eighths, plan, rows, signals);
}

// One band: its own rows, decoded from a stream of their intervals. Where
// chroma is subsampled vertically the stream starts one interval earlier and
// ends one later (where there are), so that the chroma rows its edge rows are
// smoothed with are the picture's own and the band's rows equal those of a
// decode in one piece.
struct Band {
    std::vector<std::uint8_t> stream;
    RowPlan plan;
};

std::vector<Band> planBands(std::span<const std::uint8_t> bytes, const Facts& facts, int eighths,
                            unsigned threads) {
    std::vector<Band> bands;
    const std::optional<ScanLayout> layout = readScanLayout(bytes);
    const std::size_t intervalCount = layout ? layout->intervals.size() : 0;
    const int intervalRows =
        static_cast<int>(facts.restartInterval / facts.mcusPerRow) * facts.mcuHeight;
    const auto expected = static_cast<std::size_t>((facts.size.height + intervalRows - 1) /
                                                   std::max(intervalRows, 1));
    if (intervalCount < 2 || intervalCount != expected) {
        return bands;  // damaged or unusual: decoded in one piece
    }
    // Without vertical subsampling every row decodes apart from its
    // neighbours: a band needs no context rows, and more bands than threads
    // keep every thread busy to the end when other work takes a core for a
    // while. Context rows cost an interval on each side of a band, so a
    // subsampled picture gets one band a thread.
    const bool needsContext = facts.mcuHeight > 8;
    const std::size_t bandsPerThread = needsContext ? 1 : 4;
    const std::size_t count = std::min<std::size_t>(threads * bandsPerThread, intervalCount);
    const int scaledHeight = scaledSize(facts.size, eighths).height;
    const int scaledIntervalRows = intervalRows * eighths / 8;
    for (std::size_t band = 0; band < count; ++band) {
        const std::size_t first = intervalCount * band / count;
        const std::size_t last = intervalCount * (band + 1) / count;
        const std::size_t from = needsContext && first > 0 ? first - 1 : first;
        const std::size_t to = needsContext ? std::min(last + 1, intervalCount) : last;
        const int top = static_cast<int>(from) * intervalRows;
        const int bottom = std::min(static_cast<int>(to) * intervalRows, facts.size.height);
        Band planned;
        planned.stream =
            bandStream(bytes, *layout, from, to, static_cast<std::uint16_t>(bottom - top));
        planned.plan.skipped = static_cast<int>(first - from) * scaledIntervalRows;
        planned.plan.firstRow = static_cast<int>(first) * scaledIntervalRows;
        planned.plan.kept = std::min(static_cast<int>(last) * scaledIntervalRows, scaledHeight) -
                            planned.plan.firstRow;
        planned.plan.pictureHeight = scaledHeight;
        bands.push_back(std::move(planned));
    }
    return bands;
}

Outcome guardedBand(const Band& band, int eighths, BgrRows rows, const BandSignals& signals) {
    Outcome outcome = Outcome::corrupt;
    try {
        outcome = decodeStream(band.stream, eighths, band.plan, rows, signals);
    } catch (const std::bad_alloc&) {
        outcome = Outcome::outOfMemory;
    } catch (...) {
        outcome = Outcome::corrupt;
    }
    if (outcome != Outcome::decoded) {
        signals.failed->store(true, std::memory_order_relaxed);
    }
    return outcome;
}

// The outcome of the whole picture: a failure over a stop it caused.
Outcome combined(const std::vector<Outcome>& outcomes) {
    for (Outcome worst : {Outcome::outOfMemory, Outcome::corrupt, Outcome::cancelled}) {
        if (std::find(outcomes.begin(), outcomes.end(), worst) != outcomes.end()) {
            return worst;
        }
    }
    return Outcome::decoded;
}

Outcome decodeBands(const std::vector<Band>& bands, int eighths, BgrRows rows, unsigned threads,
                    const BandSignals& signals) {
    std::vector<Outcome> outcomes(bands.size(), Outcome::cancelled);
    const auto count = static_cast<std::int32_t>(bands.size());
    auto decodeBand = [&](std::int32_t band, std::int32_t) {
        const auto index = static_cast<std::size_t>(band);
        outcomes[index] = guardedBand(bands[index], eighths, rows, signals);
    };
    platform::PooledBands pooled(std::min(count, static_cast<std::int32_t>(threads)));
    pooled.pool().run(count, decodeBand);
    return combined(outcomes);
}

}  // namespace

std::optional<Facts> probe(std::span<const std::uint8_t> bytes) {
    Session session;
    DestroyOnExit destroy{session};
    if (!readHeader(session, bytes)) {
        return std::nullopt;
    }
    const jpeg_decompress_struct& info = session.info;
    Facts facts;
    facts.size = {static_cast<std::int32_t>(info.image_width),
                  static_cast<std::int32_t>(info.image_height)};
    facts.components = info.num_components;
    facts.progressive = info.progressive_mode != 0;
    facts.arithmetic = info.arith_code != 0;
    facts.greyOrYCbCr = (info.jpeg_color_space == JCS_GRAYSCALE && info.num_components == 1) ||
                        (info.jpeg_color_space == JCS_YCbCr && info.num_components == 3);
    facts.restartInterval = info.restart_interval;
    // A scan of one component has MCUs of one 8 x 8 block; an interleaved
    // scan's MCU covers the largest sampling factors' blocks.
    const int mcuWidth = info.comps_in_scan == 1 ? 8 : 8 * info.max_h_samp_factor;
    facts.mcuHeight = info.comps_in_scan == 1 ? 8 : 8 * info.max_v_samp_factor;
    facts.mcusPerRow = (info.image_width + mcuWidth - 1) / mcuWidth;
    return facts;
}

bool takes(const Facts& facts) {
    return facts.greyOrYCbCr && !facts.arithmetic && facts.size.width > 0 && facts.size.height > 0;
}

bool decodesInBands(const Facts& facts) {
    return takes(facts) && !facts.progressive && facts.components > 0 &&
           restartsOnRowBoundaries(facts.restartInterval, facts.mcusPerRow);
}

PixelSize scaledSize(PixelSize size, int eighths) {
    return {(size.width * eighths + 7) / 8, (size.height * eighths + 7) / 8};
}

int eighthsCovering(PixelSize size, PixelSize target) {
    for (int eighths : {1, 2, 4}) {
        const PixelSize scaled = scaledSize(size, eighths);
        if (scaled.width >= target.width && scaled.height >= target.height) {
            return eighths;
        }
    }
    return 8;
}

Outcome decode(std::span<const std::uint8_t> bytes, int eighths, BgrRows rows, unsigned threads,
               const std::atomic<bool>* cancel, Progress* progress) {
    try {
        const std::optional<Facts> facts = probe(bytes);
        if (!facts || !takes(*facts)) {
            return Outcome::corrupt;
        }
        std::atomic<bool> failed{false};
        const BandSignals signals{cancel, &failed, progress};
        if (progress != nullptr) {
            progress->rows.store(scaledSize(facts->size, eighths).height,
                                 std::memory_order_relaxed);
        }
        std::vector<Band> bands;
        if (threads > 1 && decodesInBands(*facts)) {
            bands = planBands(bytes, *facts, eighths, threads);
        }
        if (bands.size() > 1) {
            return decodeBands(bands, eighths, rows, threads, signals);
        }
        const int height = scaledSize(facts->size, eighths).height;
        return decodeStream(bytes, eighths, RowPlan{0, height, 0, height}, rows, signals);
    } catch (const std::bad_alloc&) {
        return Outcome::outOfMemory;
    } catch (...) {
        return Outcome::corrupt;
    }
}

}  // namespace imaging::jpeg
