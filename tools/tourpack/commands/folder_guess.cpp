#include "commands/folder_guess.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <map>

#include "text/natural_order.h"

namespace tourpack {
namespace {

constexpr std::array pictureExtensions = {"jpg", "jpeg", "gif", "bmp", "png", "tga", "tif", "tiff"};
constexpr std::array soundExtensions = {"wav", "mp3"};
// Pictures from cameras and telephones that tourpack does not read.
constexpr std::array foreignPictureExtensions = {"heic", "heif", "webp", "avif"};

std::string lowered(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

std::string stemOf(const std::string& file) {
    const std::size_t dot = file.rfind('.');
    return dot == std::string::npos || dot == 0 ? file : file.substr(0, dot);
}

std::string extensionOf(const std::string& file) {
    const std::size_t dot = file.rfind('.');
    return dot == std::string::npos || dot == 0 ? "" : lowered(file.substr(dot + 1));
}

template <std::size_t N>
bool hasExtension(const std::string& file, const std::array<const char*, N>& extensions) {
    const std::string extension = extensionOf(file);
    return std::any_of(extensions.begin(), extensions.end(),
                       [&](const char* known) { return extension == known; });
}

bool isSeparator(char c) {
    return c == '_' || c == '-' || c == '.' || std::isspace(static_cast<unsigned char>(c));
}

// The file that plays `role` among `candidates` (natural order, WAV before
// MP3); the others are left out with a reason.
std::string chooseOne(std::vector<std::string> candidates, const std::string& role,
                      std::vector<LeftOutFile>& leftOut) {
    if (candidates.empty()) {
        return {};
    }
    std::sort(candidates.begin(), candidates.end(), [](const auto& a, const auto& b) {
        const bool waveA = extensionOf(a) == "wav";
        const bool waveB = extensionOf(b) == "wav";
        return waveA != waveB ? waveA : naturalLess(a, b);
    });
    for (std::size_t i = 1; i < candidates.size(); ++i) {
        leftOut.push_back({candidates[i], candidates[0] + " is already the " + role});
    }
    return candidates[0];
}

std::string quoted(const std::string& text) {
    return "\"" + text + "\"";
}

std::string padded(std::string text, std::size_t width) {
    if (text.size() < width) {
        text.resize(width, ' ');
    }
    return text;
}

}  // namespace

bool isPictureFileName(const std::string& file) {
    return hasExtension(file, pictureExtensions);
}

bool isSoundFileName(const std::string& file) {
    return hasExtension(file, soundExtensions);
}

std::string nameFromFileStem(const std::string& stem) {
    std::string name;
    bool pendingSpace = false;
    for (const char c : stem) {
        if (isSeparator(c)) {
            pendingSpace = !name.empty();
            continue;
        }
        if (pendingSpace) {
            name += ' ';
            pendingSpace = false;
        }
        name += c;
    }
    // A letter outside ASCII (UTF-8 bytes from 0x80) is the first letter too,
    // and stays as it is.
    const auto letter = std::find_if(name.begin(), name.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte >= 0x80 || std::isalpha(byte) != 0;
    });
    if (letter != name.end() && static_cast<unsigned char>(*letter) < 0x80) {
        *letter = static_cast<char>(std::toupper(static_cast<unsigned char>(*letter)));
    }
    return name;
}

FolderGuess guessTour(const std::string& folderName, const std::vector<std::string>& files) {
    FolderGuess guess;
    guess.title = nameFromFileStem(folderName);

    std::vector<std::string> sorted = files;
    std::sort(sorted.begin(), sorted.end(), naturalLess);
    std::vector<std::string> pictures;
    std::vector<std::string> authorPictures;
    std::vector<std::string> tourSounds;
    std::map<std::string, std::vector<std::string>> soundsByStem;  // lower-case stem
    for (const std::string& file : sorted) {
        const std::string stem = lowered(stemOf(file));
        if (isPictureFileName(file)) {
            (stem == "author" ? authorPictures : pictures).push_back(file);
        } else if (isSoundFileName(file)) {
            if (stem == "ambience" || stem == "background") {
                tourSounds.push_back(file);
            } else {
                soundsByStem[stem].push_back(file);
            }
        } else if (hasExtension(file, foreignPictureExtensions)) {
            guess.leftOut.push_back({file, "a format tourpack does not read; convert it to JPEG"});
        } else {
            guess.leftOut.push_back({file,
                                     "not a picture (JPEG, GIF, BMP, PNG, TGA, TIFF) "
                                     "or a sound (WAV, MP3)"});
        }
    }
    guess.infoPicture = chooseOne(authorPictures, "information picture", guess.leftOut);
    guess.tourSound = chooseOne(tourSounds, "tour sound", guess.leftOut);
    // One sound per base name; pictures of one base name (a.jpg, a.png)
    // share it.
    std::map<std::string, std::string> chosenSounds;
    for (const auto& entry : soundsByStem) {
        const std::string& stem = entry.first;
        const std::vector<std::string>& sounds = entry.second;
        const bool hasPicture = std::any_of(pictures.begin(), pictures.end(), [&](const auto& p) {
            return lowered(stemOf(p)) == stem;
        });
        if (hasPicture) {
            chosenSounds[stem] = chooseOne(sounds, "sound of " + stem + ".*", guess.leftOut);
            continue;
        }
        for (const std::string& sound : sounds) {
            guess.leftOut.push_back({sound, "no picture has the base name " + quoted(stem)});
        }
    }
    for (const std::string& picture : pictures) {
        SceneGuess scene;
        scene.picture = picture;
        scene.name = nameFromFileStem(stemOf(picture));
        const auto sound = chosenSounds.find(lowered(stemOf(picture)));
        if (sound != chosenSounds.end()) {
            scene.sound = sound->second;
        }
        guess.scenes.push_back(std::move(scene));
    }
    std::sort(
        guess.leftOut.begin(), guess.leftOut.end(),
        [](const LeftOutFile& a, const LeftOutFile& b) { return naturalLess(a.file, b.file); });
    return guess;
}

std::vector<std::string> describeGuess(const FolderGuess& guess, const GuessContext& context) {
    constexpr std::size_t column = 22;
    std::vector<std::string> lines;
    lines.push_back("title                 " + quoted(guess.title) + " (from the folder name " +
                    context.folder + ")");
    for (std::size_t i = 0; i < guess.scenes.size(); ++i) {
        const SceneGuess& scene = guess.scenes[i];
        std::string line = padded("scene " + std::to_string(i + 1), column) + quoted(scene.name) +
                           ": " + scene.picture;
        if (scene.size.width > 0) {
            line += " (" + describeSize(scene.size) + ")";
        }
        line += scene.sound.empty() ? ", no sound" : ", sound " + scene.sound;
        lines.push_back(line);
        if (scene.size.width > 0 && !coversFullTurn(scene.size)) {
            lines.push_back(padded("", column) + "warning: " + partialPanoramaWarning(scene.size));
        }
        if (scene.size.width > context.maxWidth && context.maxWidth > 0) {
            const std::string hint = largerWidthHint(scene.size, context.maxWidth);
            lines.push_back(padded("", column) + "build reduces it to " +
                            describeSize(reducedSize(scene.size, context.maxWidth)) +
                            (hint.empty() ? "" : "; " + hint));
        }
    }
    lines.push_back(padded("tour sound", column) +
                    (guess.tourSound.empty()
                         ? "none (a sound named ambience.* or background.* would be one)"
                         : guess.tourSound + " (named ambience.* or background.*)"));
    lines.push_back(padded("information picture", column) +
                    (guess.infoPicture.empty() ? "none (a picture named author.* would be one)"
                                               : guess.infoPicture + " (named author.*)"));
    lines.push_back(padded("skin", column) + context.skin);
    lines.push_back(padded("language", column) + context.language + " (the default module)");
    for (const LeftOutFile& file : guess.leftOut) {
        lines.push_back(padded("left out", column) + file.file + ": " + file.reason);
    }
    lines.push_back(
        "Scenes follow the file names in natural order (2 before 10), are named after them and");
    lines.push_back(
        "play the sound of the same base name (WAV or MP3). Rename files and run again with");
    lines.push_back("--force, or edit the manifest, to change any of this.");
    return lines;
}

}  // namespace tourpack
