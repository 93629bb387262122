// What a build copies and writes, every input checked: the files and their
// sizes, the texts in the tour's code page, the payload area.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "manifest/manifest.h"
#include "package/build_options.h"
#include "package/input_requirements.h"
#include "text/text_encoding.h"

namespace tourpack {

class Problems;

// One payload in the payload area; identical files are stored once.
struct PayloadSlot {
    std::filesystem::path file;
    bool encrypted = false;
    std::int64_t size = 0;
    std::int64_t offset = 0;
};

class PayloadArea {
  public:
    // Returns the index of the payload for `file`, adding it when new.
    std::size_t add(const std::filesystem::path& file, bool encrypted, std::int64_t size);
    std::vector<PayloadSlot>& slots() { return slots_; }
    const std::vector<PayloadSlot>& slots() const { return slots_; }
    const PayloadSlot& at(std::size_t index) const { return slots_[index]; }

  private:
    std::vector<PayloadSlot> slots_;
    std::map<std::pair<std::string, bool>, std::size_t> index_;
};

// A scene's name in the tour's code page and its payloads' places in the
// payload area.
struct ScenePayloads {
    std::string name;
    std::size_t image = 0;
    std::size_t sound = 0;
    bool hasSound = false;
    std::vector<std::string> linkLabels;  // in the tour's code page
    // Per note, its picture's number in BuildInputs::notePictureFiles (from
    // 1), or 0 for none.
    std::vector<std::int32_t> notePictures;
};

struct BuildInputs {
    std::filesystem::path player;
    std::int64_t playerSize = 0;
    std::filesystem::path languageModule;
    std::int64_t languageSize = 0;
    int textCodePage = defaultTextCodePage;
    std::string title;
    std::int64_t backgroundSize = 0;
    PayloadArea payloads;
    std::vector<ScenePayloads> scenes;
    bool hasLinks = false;
    bool hasPicture = false;
    std::size_t picture = 0;
    std::array<std::string, 6> infoTexts;
    std::vector<std::filesystem::path> skin;
    std::vector<std::int64_t> skinSizes;
    // Each scene's preview JPEG, in scene order; none at all leaves the
    // section out.
    std::vector<std::string> previews;
    bool hasNotes = false;
    // The notes' pictures, each file once, in the order the notes first show
    // them; their bytes are read once every input has passed.
    std::vector<std::filesystem::path> notePictureFiles;
    std::vector<std::string> notePictures;
};

// Checks every input of a build in the order a manifest names them, so that
// the problems are listed in the manifest's order, noting each problem; what
// passes is entered into the inputs returned.
BuildInputs checkInputs(const Manifest& manifest, const BuildOptions& options, PictureRule rule,
                        Problems& problems, std::vector<std::string>& warnings);

}  // namespace tourpack
