// tourpack new: a manifest guessed from a folder of panoramas and sounds,
// with every guess printed so that the author sees what to change.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <cstdio>
#include <memory>
#include <string>

#include "commands.h"
#include "folder_guess.h"
#include "manifest.h"
#include "natural_order.h"
#include "picture_conversion.h"
#include "picture_preparation.h"
#include "tool_folder.h"
#include "tourpack_error.h"

namespace {

namespace fs = std::filesystem;
using tourpack::TourpackError;

struct NewArguments {
    std::string folder;
    std::string manifest;
    bool force = false;
};

// The names of the files an author put in the folder: no subfolders, no
// hidden files and not the manifest being written.
std::vector<std::string> filesIn(const fs::path& folder, const fs::path& manifest) {
    std::error_code error;
    if (!fs::is_directory(folder, error)) {
        throw TourpackError(folder.string() + ": no such folder");
    }
    std::vector<std::string> files;
    bool anything = false;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        anything = true;
        const std::string name = entry.path().filename().string();
        std::error_code notThere;  // the manifest need not exist yet
        if (entry.is_regular_file() && name[0] != '.' &&
            !fs::equivalent(entry.path(), manifest, notThere)) {
            files.push_back(name);
        }
    }
    if (error) {
        throw TourpackError(folder.string() + ": cannot be listed: " + error.message());
    }
    if (!anything) {
        throw TourpackError(folder.string() + ": the folder is empty; put the panoramas in it");
    }
    return files;
}

fs::path defaultSkin() {
    std::string looked;
    for (const fs::path& candidate : tourpack::defaultSkinCandidates()) {
        std::error_code error;
        if (fs::is_directory(candidate, error)) {
            return candidate;
        }
        looked += (looked.empty() ? "" : ", ") + candidate.string();
    }
    throw TourpackError("the default skin is not installed (looked at " + looked + ")");
}

// Probes every picture, so that one that cannot be read is named now.
void probePictures(tourpack::FolderGuess& guess, const fs::path& folder) {
    for (tourpack::SceneGuess& scene : guess.scenes) {
        const fs::path file = folder / scene.picture;
        scene.size = tourpack::probePicture(file, tourpack::pictureKindOf(file));
    }
    if (!guess.infoPicture.empty()) {
        const fs::path file = folder / guess.infoPicture;
        tourpack::probePicture(file, tourpack::pictureKindOf(file));
    }
}

tourpack::Manifest manifestFor(const tourpack::FolderGuess& guess, const fs::path& folder,
                               const fs::path& file, const fs::path& skin) {
    tourpack::Manifest manifest;
    manifest.file = file;
    manifest.title = guess.title;
    for (const tourpack::SceneGuess& scene : guess.scenes) {
        tourpack::SceneEntry entry;
        entry.name = scene.name;
        entry.image = folder / scene.picture;
        entry.sound = scene.sound.empty() ? fs::path() : folder / scene.sound;
        manifest.scenes.push_back(entry);
    }
    manifest.backgroundSound = guess.tourSound.empty() ? fs::path() : folder / guess.tourSound;
    manifest.infoPicture = guess.infoPicture.empty() ? fs::path() : folder / guess.infoPicture;
    manifest.skinFolder = fs::absolute(skin).lexically_normal();
    return manifest;
}

// A path as it is typed in a shell: quoted when it holds a space or a
// character the shell would take for itself.
std::string quotedForShell(const std::string& path) {
    const bool plain = std::all_of(path.begin(), path.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || std::strchr("/._-+:,=@%", c);
    });
    if (plain && !path.empty()) {
        return path;
    }
#ifdef _WIN32
    return "\"" + path + "\"";
#else
    std::string quoted = "'";
    for (char c : path) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
#endif
}

int runNew(const NewArguments& arguments) {
    const fs::path folder = fs::absolute(arguments.folder).lexically_normal();
    const fs::path named = folder.has_filename() ? folder : folder.parent_path();
    const fs::path manifest = fs::absolute(
        arguments.manifest.empty() ? named / "tour.json" : fs::path(arguments.manifest));
    std::error_code error;
    if (fs::exists(manifest, error) && !arguments.force) {
        throw TourpackError(manifest.string() +
                            ": a manifest is already there; use --force to replace it");
    }
    const std::vector<std::string> files = filesIn(named, manifest);
    tourpack::FolderGuess guess = tourpack::guessTour(named.filename().string(), files);
    if (guess.scenes.empty()) {
        throw TourpackError(named.string() +
                            ": no picture for a scene (JPEG, GIF, BMP, PNG, TGA or TIFF) "
                            "among its " +
                            std::to_string(files.size()) + " files");
    }
    probePictures(guess, named);
    const fs::path skin = defaultSkin();
    const tourpack::Manifest written = manifestFor(guess, named, manifest, skin);

    // Written beside and then renamed: a failure leaves no half manifest.
    const fs::path partial = manifest.string() + ".part";
    try {
        tourpack::writeManifest(written, partial);
        fs::rename(partial, manifest);
    } catch (const TourpackError&) {
        fs::remove(partial, error);
        throw;
    } catch (const fs::filesystem_error& failure) {
        fs::remove(partial, error);
        throw TourpackError(manifest.string() +
                            ": cannot write the manifest: " + failure.code().message());
    }

    std::printf("Guessed from %s (%zu files):\n", named.string().c_str(), files.size());
    const tourpack::GuessContext context{named.filename().string(), skin.string(), written.language,
                                         tourpack::ConversionOptions{}.maxWidth};
    for (const std::string& line : tourpack::describeGuess(guess, context)) {
        std::printf("  %s\n", line.c_str());
    }
    std::printf("Wrote %s. Next: tourpack build %s -o TOUR.exe\n", manifest.string().c_str(),
                quotedForShell(manifest.string()).c_str());
    return 0;
}

const tourpack::RegisterCommand newCommand(
    "new", "Write a manifest for a folder of panoramas (one scene per picture)",
    [](tourpack::Subcommand& command) {
        auto arguments = std::make_shared<NewArguments>();
        command.required("folder", arguments->folder, "The folder of pictures and sounds");
        command.optional("-o,--output", arguments->manifest,
                         "The manifest to write (default: tour.json in the folder)");
        command.flag("--force", arguments->force, "Replace an existing manifest");
        command.onRun([arguments] { return runNew(*arguments); });
    });

}  // namespace
