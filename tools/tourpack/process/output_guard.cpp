#include "text/utf8_path.h"
#include "process/output_guard.h"

#include <system_error>

#include "text/tourpack_error.h"

namespace tourpack {

namespace fs = std::filesystem;

namespace {

fs::path normalisedAbsolute(const fs::path& file) {
    std::error_code error;
    fs::path resolved = fs::weakly_canonical(fs::absolute(file, error), error);
    if (error) {
        resolved = fs::absolute(file, error);
    }
    return resolved.lexically_normal();
}

}  // namespace

bool sameFile(const fs::path& one, const fs::path& other) {
    std::error_code error;
    if (fs::exists(one, error) && fs::exists(other, error)) {
        return fs::equivalent(one, other, error) && !error;
    }
    return normalisedAbsolute(one) == normalisedAbsolute(other);
}

void requireOutputFile(const fs::path& output, const std::string& example) {
    std::error_code error;
    if (!output.has_filename() || fs::is_directory(output, error)) {
        const fs::path suggestion = output / example;
        throw TourpackError(utf8Of(output) + ": is a folder; -o names the file to write, e.g. " +
                            suggestion.generic_string());
    }
    const fs::path folder = output.parent_path();
    if (!folder.empty() && !fs::is_directory(folder, error)) {
        throw TourpackError(utf8Of(output) + ": the folder " + utf8Of(folder) +
                            " does not exist; create it first");
    }
}

void refuseToReplace(const fs::path& output, const std::vector<NamedInput>& inputs) {
    for (const NamedInput& input : inputs) {
        if (!input.file.empty() && sameFile(output, input.file)) {
            throw TourpackError(utf8Of(output) + ": -o would replace " + input.what + " (" +
                                utf8Of(input.file) + "); write the output somewhere else");
        }
    }
}

}  // namespace tourpack
