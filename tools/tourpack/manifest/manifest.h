// The JSON manifest a tour is built from (see README.md beside this file).
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "package/tour.h"

namespace tourpack {

// A link placed in a scene's panorama (see package::SceneLink).
struct LinkEntry {
    std::int32_t target = 1;  // the target scene's position, from 1
    double pan = 0.0;
    double tilt = 0.0;
    std::string label;  // UTF-8; empty: the player shows the target's name
    bool hasView = false;
    double viewPan = 0.0;
    double viewTilt = 0.0;
    double viewFieldOfView = 100.0;
};

// A note pinned in a scene's panorama (see package::SceneNote). Its texts
// are stored as UTF-8, outside the tour's code page.
struct NoteEntry {
    double pan = 0.0;
    double tilt = 0.0;
    std::string title;
    std::string text;               // line ends as "\n", whatever the manifest had
    std::filesystem::path picture;  // empty: none
    std::string link;               // empty: none
};

struct SceneEntry {
    std::string name;  // UTF-8
    double pan = 0.0;
    double tilt = 0.0;
    double fieldOfView = 100.0;
    std::filesystem::path image;
    std::filesystem::path sound;  // empty: no scene sound
    std::vector<LinkEntry> links;
    std::vector<NoteEntry> notes;
};

struct Manifest {
    std::filesystem::path file;  // the manifest itself, for messages
    std::string title;           // texts are UTF-8 here
    std::int32_t viewSize = 3;
    std::int32_t rotationSpeed = 2;
    bool soundOn = true;
    bool autoPlay = false;
    std::int32_t fullScreenMode = 0;
    // How the player's view reads the panoramas.
    package::ViewSampling sampling = package::ViewSampling::smooth;
    // How the player passes from scene to scene.
    package::SceneTransition transition = package::SceneTransition::walk;
    std::filesystem::path backgroundSound;  // empty: none
    std::vector<SceneEntry> scenes;
    std::string infoText1, infoText2, infoText3, webAddress, emailAddress, infoText4;
    std::filesystem::path infoPicture;  // empty: none
    std::filesystem::path skinFolder;   // empty: the default skin
    std::string language = "en";        // a code, or a path (then `languagePath` is set)
    std::filesystem::path languagePath;
    std::filesystem::path player;  // empty: the default player
};

class Problems;

// Reads and checks the manifest's structure (types, required keys, links and
// their targets, notes and their texts); paths are resolved against the manifest's folder but not
// opened yet. Warnings (for example start angles the player will not take, a
// field it does not know) are appended to `warnings`; every problem, naming
// the file and the field, to `problems`, and the reading goes on after it.
// A file that is no JSON object throws TourpackError at once.
Manifest readManifest(const std::filesystem::path& file, std::vector<std::string>& warnings,
                      Problems& problems);
// The same, throwing one TourpackError that names every problem.
Manifest readManifest(const std::filesystem::path& file, std::vector<std::string>& warnings);

// Writes a manifest; paths are written relative to `file`'s folder.
void writeManifest(const Manifest& manifest, const std::filesystem::path& file);

}  // namespace tourpack
