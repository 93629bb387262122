// The tour a folder of panoramas implies: one scene per picture in natural
// name order, names from the file names, sounds matched by base name, the
// tour sound, the information picture and the title from the folder name.
// Pure: works on names only; the caller lists the folder and writes the
// manifest.
#pragma once

#include <string>
#include <vector>

#include "pictures/panorama_shape.h"

namespace tourpack {

struct SceneGuess {
    std::string picture;  // file name in the folder
    std::string name;     // the scene name shown by the player
    std::string sound;    // file name, or empty
    PictureSize size;     // 0 x 0 while not probed
};

struct LeftOutFile {
    std::string file;
    std::string reason;
};

struct FolderGuess {
    std::string title;
    std::vector<SceneGuess> scenes;
    std::string tourSound;    // file name, or empty
    std::string infoPicture;  // file name, or empty
    std::vector<LeftOutFile> leftOut;
};

// Picture and sound files by their extension, in any case.
bool isPictureFileName(const std::string& file);
bool isSoundFileName(const std::string& file);

// "old_harbour-2" -> "Old harbour 2": separators become single spaces and the
// first letter a capital.
std::string nameFromFileStem(const std::string& stem);

FolderGuess guessTour(const std::string& folderName, const std::vector<std::string>& files);

// What to print: every guess, where it came from and how to change it.
struct GuessContext {
    std::string folder;
    std::string skin;  // what the tour's skin will be
    std::string language;
    std::int32_t maxWidth = 0;
};
std::vector<std::string> describeGuess(const FolderGuess& guess, const GuessContext& context);

}  // namespace tourpack
