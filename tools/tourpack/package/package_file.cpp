#include "package/package_file.h"

#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "package/record_stream_writing.h"
#include "package/tea.h"
#include "package/tour_trailer.h"
#include "process/interruption.h"
#include "text/field_writer.h"
#include "text/tourpack_error.h"
#include "text/utf8_path.h"

namespace tourpack {

namespace {

namespace fs = std::filesystem;

constexpr std::int64_t maximumPackageSize = INT32_MAX;  // offsets are signed 32-bit
constexpr std::int64_t copyChunk = 1 << 20;

class OutputFile {
  public:
    explicit OutputFile(const fs::path& target)
        : target_(target), partial_(fs::path(target) += ".part") {
        out_.open(partial_, std::ios::binary | std::ios::trunc);
        if (!out_) {
            throw TourpackError(utf8Of(target) + ": cannot write the tour executable here");
        }
    }
    ~OutputFile() {
        if (!committed_) {
            out_.close();
            std::error_code error;
            fs::remove(partial_, error);
        }
    }
    std::ofstream& stream() { return out_; }
    void commit() {
        out_.close();
        if (!out_) {
            throw TourpackError(utf8Of(target_) + ": writing the tour executable failed");
        }
        std::error_code error;
        fs::rename(partial_, target_, error);
        if (error) {
            throw TourpackError(utf8Of(target_) + ": cannot replace it: " + error.message());
        }
        committed_ = true;
        // A tour runs where it is written: on Linux (through Wine) as on Windows.
        fs::permissions(target_,
                        fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec,
                        fs::perm_options::add, error);
    }

  private:
    fs::path target_;
    fs::path partial_;
    std::ofstream out_;
    bool committed_ = false;
};

class Progress {
  public:
    Progress(const BuildOptions& options, std::int64_t total) : options_(options), total_(total) {}
    void advance(std::int64_t bytes) {
        stopIfInterrupted();
        done_ += bytes;
        if (options_.progress) {
            options_.progress(done_, total_);
        }
    }

  private:
    const BuildOptions& options_;
    std::int64_t total_;
    std::int64_t done_ = 0;
};

void copyFile(const fs::path& file, std::ostream& out, bool encrypt, Progress& progress) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        throw TourpackError(utf8Of(file) + ": cannot be read");
    }
    std::vector<char> buffer(static_cast<std::size_t>(copyChunk));
    // The chunk is a multiple of 8, so encrypting chunk by chunk gives the same
    // blocks as encrypting the whole file, with only the file's last partial
    // block left plain.
    while (in) {
        in.read(buffer.data(), copyChunk);
        const std::streamsize got = in.gcount();
        if (got <= 0) {
            break;
        }
        if (encrypt) {
            auto* bytes = reinterpret_cast<std::uint8_t*>(buffer.data());
            package::teaEncryptBuffer(bytes, bytes, got, package::playerKeyText);
        }
        out.write(buffer.data(), got);
        progress.advance(got);
    }
}

}  // namespace

PackagePlan planPackage(const Manifest& manifest, BuildInputs& inputs) {
    std::int64_t offset = inputs.playerSize;
    for (PayloadSlot& slot : inputs.payloads.slots()) {
        slot.offset = offset;
        offset += slot.size;
    }
    PackagePlan plan;
    plan.recordStream = offset;
    CountingFieldWriter counter;
    std::int64_t storedFiles = 0;
    writeRecordStream(counter, manifest, inputs,
                      [&storedFiles](const fs::path&, std::int64_t size) { storedFiles += size; });
    counter.writeLong(static_cast<std::int32_t>(plan.recordStream));  // the trailer's
    plan.total = plan.recordStream + counter.written() + storedFiles + trailerMarkerSize;
    if (plan.total > maximumPackageSize) {
        throw TourpackError(utf8Of(manifest.file) + ": the tour would be " +
                            std::to_string(plan.total) +
                            " bytes; a tour executable holds at most 2 GiB (2147483647 bytes)");
    }
    return plan;
}

void writePackage(const fs::path& output, const Manifest& manifest, const BuildInputs& inputs,
                  const PackagePlan& plan, const BuildOptions& options) {
    OutputFile file(output);
    std::ofstream& out = file.stream();
    Progress progress(options, plan.total);
    copyFile(inputs.player, out, false, progress);
    for (const PayloadSlot& slot : inputs.payloads.slots()) {
        copyFile(slot.file, out, slot.encrypted, progress);
    }
    FieldWriter fields(out);
    writeRecordStream(fields, manifest, inputs, [&](const fs::path& path, std::int64_t) {
        copyFile(path, out, false, progress);
    });
    fields.writeLong(static_cast<std::int32_t>(plan.recordStream));
    out.write(trailerMarker, trailerMarkerSize);
    if (static_cast<std::int64_t>(out.tellp()) != plan.total) {
        throw TourpackError(utf8Of(output) + ": wrote " + std::to_string(out.tellp()) +
                            " bytes where " + std::to_string(plan.total) + " were planned");
    }
    file.commit();
}

}  // namespace tourpack
