// Opening a TIFF file through libtiff, whose errors and warnings arrive
// through handlers rather than as results.
#pragma once

#ifdef TOURPACK_HAS_TIFF

#include <tiffio.h>

#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <string>

#include "text/utf8_path.h"

namespace tourpack {

// Opens `file` in `mode` ("r", "w"); on failure null, with libtiff's first
// error in `message`. Warnings are dropped (unknown tags are common and
// harmless).
inline TIFF* openTiff(const std::filesystem::path& file, const char* mode, std::string& message) {
    const auto keepFirstError = [](TIFF*, void* userData, const char* module, const char* format,
                                   va_list args) {
        auto* kept = static_cast<std::string*>(userData);
        if (kept->empty()) {
            char text[512] = {};
            std::vsnprintf(text, sizeof text, format, args);
            *kept = std::string(module != nullptr ? module : "") + ": " + text;
        }
        return 1;
    };
    const auto ignoreWarning = [](TIFF*, void*, const char*, const char*, va_list) { return 1; };
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(options, keepFirstError, &message);
    TIFFOpenOptionsSetWarningHandlerExtR(options, ignoreWarning, nullptr);
    TIFF* tiff = TIFFOpenExt(utf8Of(file).c_str(), mode, options);
    TIFFOpenOptionsFree(options);
    return tiff;
}

}  // namespace tourpack

#endif
