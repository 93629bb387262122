#include "package/companion_files.h"

#include <cctype>
#include <string>
#include <system_error>

#include "package/input_requirements.h"
#include "package/build_options.h"
#include "package/skin_set.h"
#include "process/tool_folder.h"
#include "text/tourpack_error.h"
#include "text/utf8_path.h"

#ifndef TOURPACK_FALLBACK_BIN
#define TOURPACK_FALLBACK_BIN ""
#endif

namespace tourpack {

namespace fs = std::filesystem;

namespace {

fs::path firstExisting(const std::vector<fs::path>& candidates) {
    for (const fs::path& candidate : candidates) {
        std::error_code error;
        if (!candidate.empty() && fs::is_regular_file(candidate, error)) {
            return candidate;
        }
    }
    return {};
}

std::string listOf(const std::vector<fs::path>& candidates) {
    std::string list;
    for (const fs::path& candidate : candidates) {
        if (!candidate.empty()) {
            list += (list.empty() ? "" : ", ") + utf8Of(candidate);
        }
    }
    return list;
}

std::vector<fs::path> playerCandidates(const BuildOptions& options) {
    std::vector<fs::path> candidates;
    for (const fs::path& folder : companionFolders(options.toolFolder)) {
        candidates.push_back(folder / "player.exe");
    }
    const fs::path fallback = TOURPACK_FALLBACK_BIN;
    if (!fallback.empty()) {
        candidates.push_back(fallback / "player.exe");
    }
    return candidates;
}

// For the Linux tourpack of a checkout whose Windows build (which makes the
// player and the language modules) has not been made yet: how to make it.
std::string windowsBuildHint(const std::string& target) {
    const fs::path fallback = TOURPACK_FALLBACK_BIN;
    std::error_code error;
    if (fallback.empty() || fs::exists(fallback, error)) {
        return "";
    }
    const fs::path checkout = fallback.parent_path().parent_path().parent_path();
    return "; or make it with the Windows build of " + utf8Of(checkout) +
           ": cmake --preset win && cmake --build --preset win --target " + target;
}

std::vector<fs::path> languageCandidates(const Manifest& manifest, const BuildOptions& options) {
    const fs::path file = pathFromUtf8(manifest.language + ".dll");
    std::vector<fs::path> candidates;
    if (!options.languageFolder.empty()) {
        candidates.push_back(options.languageFolder / file);
    }
    for (const fs::path& folder : companionFolders(options.toolFolder)) {
        candidates.push_back(folder / "lang" / file);
    }
    const fs::path fallback = TOURPACK_FALLBACK_BIN;
    if (!fallback.empty()) {
        candidates.push_back(fallback / "lang" / file);
    }
    return candidates;
}

}  // namespace

fs::path chosenPlayer(const Manifest& manifest, const BuildOptions& options) {
    if (!options.player.empty()) {
        return options.player;
    }
    if (!manifest.player.empty()) {
        return manifest.player;
    }
    return firstExisting(playerCandidates(options));
}

fs::path resolvePlayer(const Manifest& manifest, const BuildOptions& options) {
    const fs::path chosen = chosenPlayer(manifest, options);
    if (!options.player.empty() || !manifest.player.empty()) {
        requiredFileSize(manifest, options.player.empty() ? "player" : "player (--player)", chosen);
    } else if (chosen.empty()) {
        failOnField(manifest, "player",
                    "no player image given and none found (looked at " +
                        listOf(playerCandidates(options)) + "); name one with --player" +
                        windowsBuildHint("player"));
    }
    return chosen;
}

fs::path chosenLanguage(const Manifest& manifest, const BuildOptions& options) {
    return manifest.languagePath.empty() ? firstExisting(languageCandidates(manifest, options))
                                         : manifest.languagePath;
}

fs::path resolveLanguage(const Manifest& manifest, const BuildOptions& options) {
    if (!manifest.languagePath.empty()) {
        requiredFileSize(manifest, "language", manifest.languagePath);
        return manifest.languagePath;
    }
    const std::vector<fs::path> candidates = languageCandidates(manifest, options);
    fs::path found = firstExisting(candidates);
    if (found.empty()) {
        failOnField(manifest, "language",
                    "no language module '" + manifest.language + "' found (looked at " +
                        listOf(candidates) + "); give a path to a module DLL or use --lang-dir" +
                        windowsBuildHint("lumivue_lang_" + manifest.language));
    }
    return found;
}

fs::path skinFolderOf(const Manifest& manifest) {
    if (!manifest.skinFolder.empty()) {
        return manifest.skinFolder;
    }
    const std::vector<fs::path> candidates = defaultSkinCandidates();
    for (const fs::path& candidate : candidates) {
        std::error_code error;
        if (fs::is_directory(candidate, error)) {
            return candidate;
        }
    }
    failOnField(manifest, "skin",
                "no skin given and the default skin is not installed (looked at " +
                    listOf(candidates) + "); name a skin folder");
}

std::vector<fs::path> findSkinSlots(const Manifest& manifest) {
    const fs::path folder = skinFolderOf(manifest);
    std::error_code error;
    if (!fs::is_directory(folder, error)) {
        failOnField(manifest, "skin", utf8Of(folder) + " is not a folder");
    }
    std::vector<fs::path> slots(package::SkinSet::imageCount);
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        const std::string name = utf8Of(entry.path().filename());
        if (!entry.is_regular_file() || name.size() < 3 ||
            !std::isdigit(static_cast<unsigned char>(name[0])) ||
            !std::isdigit(static_cast<unsigned char>(name[1])) ||
            (name[2] != '.' && name[2] != '-')) {
            continue;
        }
        const int slot = (name[0] - '0') * 10 + (name[1] - '0');
        if (slot >= package::SkinSet::imageCount) {
            continue;
        }
        if (!slots[static_cast<std::size_t>(slot)].empty()) {
            failOnField(manifest, "skin",
                        "slot " + name.substr(0, 2) + " has two images: " +
                            utf8Of(slots[static_cast<std::size_t>(slot)].filename()) + " and " +
                            name);
        }
        slots[static_cast<std::size_t>(slot)] = entry.path();
    }
    std::string missing;
    for (int slot = 0; slot < package::SkinSet::imageCount; ++slot) {
        if (slots[static_cast<std::size_t>(slot)].empty()) {
            missing += (missing.empty() ? "" : ", ") + std::string(slot < 10 ? "0" : "") +
                       std::to_string(slot);
        }
    }
    if (!missing.empty()) {
        failOnField(manifest, "skin",
                    utf8Of(folder) +
                        " does not hold the 26 skin images (slots 00 to 25, "
                        "named NN.gif, NN.bmp or NN-name.ext); missing: " +
                        missing);
    }
    return slots;
}

}  // namespace tourpack
