// Reads the tour package appended to the player's own executable: checks the
// "CAFEBABE" trailer, reads the record stream in one forward pass into a Tour,
// and writes the background sound, the 26 skin images and the language module
// to "QRZ" temporary files. Scene payloads stay in the executable.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/files.h"
#include "package/extension_block.h"
#include "package/skin_set.h"
#include "package/tour.h"

namespace package {

// Why a package was not read.
struct PackageError {
    enum Kind { none, badTrailer, corrupt };
    Kind kind = none;
    std::int64_t offset = 0;  // where in the file the reader found the fault
    std::string what;         // for people: which field, what was wrong
};

class TourLoader {
  public:
    TourLoader();
    virtual ~TourLoader();
    TourLoader(const TourLoader&) = delete;
    TourLoader& operator=(const TourLoader&) = delete;

    // The player's reader: a wrong trailer or a corrupt package ends the process
    // with exit code 0 and no message, after deleting every temporary file this
    // call made.
    std::unique_ptr<Tour> load(const char* exePath);

    // The same reader for tools: returns null and fills `error` instead of
    // ending the process (temporary files made so far are deleted).
    std::unique_ptr<Tour> read(const char* exePath, PackageError& error);

    // Deletes every file `load` wrote for `tour` (background sound, skin images,
    // language module) and forgets their paths; for a run that ends without
    // handing them to their owners.
    void deleteExtractedFiles(const Tour& tour);

    SkinSet& skinSet() { return skinSet_; }
    const SkinSet& skinSet() const { return skinSet_; }
    const char* languageModulePath() const { return languageModulePath_.c_str(); }
    // Whether the last tour read carried an extension block, and whether it
    // was sound (a bad block leaves the tour without links).
    const ExtensionBlockStatus& extensionBlock() const { return extensionBlock_; }

  private:
    SkinSet skinSet_;
    ExtensionBlockStatus extensionBlock_;
    std::string languageModulePath_;  // UTF-8, of any length
};

}  // namespace package
