// How messages name a scene's, a link's and a note's manifest fields. Authors count
// from 1, and so does a link's `to`: every message counts scenes and links
// from 1 too, so that `scenes[3].image` and "scene 3" are the same scene.
#pragma once

#include <cstddef>
#include <string>

namespace tourpack {

// "scenes[3]" for the scene at index 2 of the manifest's list.
inline std::string sceneField(std::size_t index) {
    return "scenes[" + std::to_string(index + 1) + "]";
}

// "scenes[3].links[1]" for the first link of that scene.
inline std::string linkField(const std::string& scene, std::size_t index) {
    return scene + ".links[" + std::to_string(index + 1) + "]";
}

// "scenes[3].notes[1]" for the first note of that scene.
inline std::string noteField(const std::string& scene, std::size_t index) {
    return scene + ".notes[" + std::to_string(index + 1) + "]";
}

}  // namespace tourpack
