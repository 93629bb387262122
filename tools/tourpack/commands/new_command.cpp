// tourpack new: a manifest guessed from a folder of panoramas and sounds,
// with every guess printed so that the author sees what to change.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <cstdio>
#include <memory>
#include <string>

#include "text/utf8_path.h"
#include "commands/commands.h"
#include "commands/folder_guess.h"
#include "manifest/manifest.h"
#include "text/natural_order.h"
#include "pictures/picture_conversion.h"
#include "pictures/picture_preparation.h"
#include "process/tool_folder.h"
#include "text/tourpack_error.h"

namespace {

using tourpack::pathFromUtf8;
using tourpack::utf8Of;

namespace fs = std::filesystem;
using tourpack::TourpackError;

struct NewArguments {
    std::string folder;
    std::string manifest;
    bool force = false;
};

// The names of the files an author put in the folder: no subfolders, no
// hidden files and not the manifest being written. A folder holding only
// subfolders (a camera's DCIM/100GOPRO/) says which.
std::vector<std::string> filesIn(const fs::path& folder, const fs::path& manifest) {
    std::error_code error;
    if (!fs::is_directory(folder, error)) {
        throw TourpackError(utf8Of(folder) + ": no such folder");
    }
    std::vector<std::string> files;
    std::vector<std::string> subfolders;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        const std::string name = utf8Of(entry.path().filename());
        std::error_code notThere;  // the manifest need not exist yet
        if (entry.is_directory(notThere)) {
            subfolders.push_back(name);
        } else if (entry.is_regular_file(notThere) && name[0] != '.' &&
                   !fs::equivalent(entry.path(), manifest, notThere)) {
            files.push_back(name);
        }
    }
    if (error) {
        throw TourpackError(utf8Of(folder) + ": cannot be listed: " + error.message());
    }
    if (files.empty() && !subfolders.empty()) {
        std::sort(subfolders.begin(), subfolders.end(), tourpack::naturalLess);
        std::string names;
        for (const std::string& name : subfolders) {
            names += (names.empty() ? "" : ", ") + name;
        }
        throw TourpackError(utf8Of(folder) + ": the folder holds only folders (" + names +
                            "); run tourpack new on the one with the panoramas");
    }
    if (files.empty()) {
        throw TourpackError(utf8Of(folder) + ": the folder is empty; put the panoramas in it");
    }
    return files;
}

// Why a picture cannot be read, for the list of files left out.
std::string unreadableReason(const fs::path& file, const TourpackError& error) {
    const std::string foreign = tourpack::foreignPictureFormat(file);
    if (!foreign.empty()) {
        return "a " + foreign + " picture, a format tourpack does not read; convert it to JPEG";
    }
    std::string reason = error.what();
    const std::string prefix = utf8Of(file) + ": ";
    if (reason.compare(0, prefix.size(), prefix) == 0) {
        reason.erase(0, prefix.size());
    }
    return reason;
}

// Reads every picture through, as build will: one that cannot be read, or
// that build would refuse, is left out with the reason, and the manifest is
// written for the rest.
void readPictures(tourpack::FolderGuess& guess, const fs::path& folder) {
    std::vector<tourpack::SceneGuess> readable;
    for (tourpack::SceneGuess& scene : guess.scenes) {
        const fs::path file = folder / tourpack::pathFromUtf8(scene.picture);
        try {
            scene.size = tourpack::readPictureThrough(file);
            readable.push_back(scene);
        } catch (const TourpackError& error) {
            guess.leftOut.push_back({scene.picture, unreadableReason(file, error)});
        }
    }
    guess.scenes = std::move(readable);
    if (!guess.infoPicture.empty()) {
        const fs::path file = folder / tourpack::pathFromUtf8(guess.infoPicture);
        try {
            tourpack::readPictureThrough(file);
        } catch (const TourpackError& error) {
            guess.leftOut.push_back({guess.infoPicture, unreadableReason(file, error)});
            guess.infoPicture.clear();
        }
    }
    std::sort(guess.leftOut.begin(), guess.leftOut.end(),
              [](const auto& a, const auto& b) { return tourpack::naturalLess(a.file, b.file); });
}

// Where the default skin is, for the author to see; the manifest names none.
std::string defaultSkinNote() {
    for (const fs::path& candidate : tourpack::defaultSkinCandidates()) {
        std::error_code error;
        if (fs::is_directory(candidate, error)) {
            return "the default skin (" + utf8Of(candidate) + "); no \"skin\" in the manifest";
        }
    }
    return "the default skin, which is not installed beside tourpack: add \"skin\" to the "
           "manifest";
}

tourpack::Manifest manifestFor(const tourpack::FolderGuess& guess, const fs::path& folder,
                               const fs::path& file) {
    tourpack::Manifest manifest;
    manifest.file = file;
    manifest.title = guess.title;
    for (const tourpack::SceneGuess& scene : guess.scenes) {
        tourpack::SceneEntry entry;
        entry.name = scene.name;
        entry.image = folder / tourpack::pathFromUtf8(scene.picture);
        entry.sound =
            scene.sound.empty() ? fs::path() : folder / tourpack::pathFromUtf8(scene.sound);
        manifest.scenes.push_back(entry);
    }
    manifest.backgroundSound =
        guess.tourSound.empty() ? fs::path() : folder / tourpack::pathFromUtf8(guess.tourSound);
    manifest.infoPicture =
        guess.infoPicture.empty() ? fs::path() : folder / tourpack::pathFromUtf8(guess.infoPicture);
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

// When no scene is left, the files and why each was left out.
void printLeftOut(const tourpack::FolderGuess& guess) {
    for (const tourpack::LeftOutFile& file : guess.leftOut) {
        std::fprintf(stderr, "left out %s: %s\n", file.file.c_str(), file.reason.c_str());
    }
}

int runNew(const NewArguments& arguments) {
    const fs::path folder =
        fs::absolute(tourpack::pathFromUtf8(arguments.folder)).lexically_normal();
    const fs::path named = folder.has_filename() ? folder : folder.parent_path();
    const fs::path manifest =
        fs::absolute(arguments.manifest.empty() ? named / "tour.json"
                                                : tourpack::pathFromUtf8(arguments.manifest));
    std::error_code error;
    if (fs::exists(manifest, error) && !arguments.force) {
        throw TourpackError(utf8Of(manifest) +
                            ": a manifest is already there; use --force to replace it");
    }
    const std::vector<std::string> files = filesIn(named, manifest);
    tourpack::FolderGuess guess = tourpack::guessTour(utf8Of(named.filename()), files);
    readPictures(guess, named);
    if (guess.scenes.empty()) {
        printLeftOut(guess);
        throw TourpackError(utf8Of(named) +
                            ": no picture for a scene (JPEG, GIF, BMP, PNG, TGA or TIFF) "
                            "that can be read among its " +
                            std::to_string(files.size()) + " files");
    }
    const tourpack::Manifest written = manifestFor(guess, named, manifest);

    // Written beside and then renamed: a failure leaves no half manifest.
    const fs::path partial = fs::path(manifest) += ".part";
    try {
        tourpack::writeManifest(written, partial);
        fs::rename(partial, manifest);
    } catch (const TourpackError&) {
        fs::remove(partial, error);
        throw;
    } catch (const fs::filesystem_error& failure) {
        fs::remove(partial, error);
        throw TourpackError(utf8Of(manifest) +
                            ": cannot write the manifest: " + failure.code().message());
    }

    std::printf("Guessed from %s (%zu files):\n", utf8Of(named).c_str(), files.size());
    const tourpack::GuessContext context{utf8Of(named.filename()), defaultSkinNote(),
                                         written.language, tourpack::ConversionOptions{}.maxWidth};
    for (const std::string& line : tourpack::describeGuess(guess, context)) {
        std::printf("  %s\n", line.c_str());
    }
    std::printf("Wrote %s. Next: tourpack build %s -o TOUR.exe\n", utf8Of(manifest).c_str(),
                quotedForShell(utf8Of(manifest)).c_str());
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
