// The words a manifest and inspect use for how the player passes from scene
// to scene: the extension block's own ("walk", "fade", "none").
#pragma once

#include <optional>
#include <string>

#include "package/extension_block.h"
#include "package/tour.h"

namespace tourpack {

inline const char* transitionWord(package::SceneTransition transition) {
    using namespace package::extension_block;
    switch (transition) {
        case package::SceneTransition::fade:
            return fadeTransition;
        case package::SceneTransition::none:
            return noTransition;
        default:
            return walkTransition;
    }
}

// Empty for a word that names no transition.
inline std::optional<package::SceneTransition> transitionNamed(const std::string& word) {
    for (const auto transition : {package::SceneTransition::walk, package::SceneTransition::fade,
                                  package::SceneTransition::none}) {
        if (word == transitionWord(transition)) {
            return transition;
        }
    }
    return std::nullopt;
}

// "\"walk\", \"fade\" or \"none\"", for messages.
inline std::string transitionChoices() {
    using namespace package::extension_block;
    return std::string("\"") + walkTransition + "\", \"" + fadeTransition + "\" or \"" +
           noTransition + "\"";
}

}  // namespace tourpack
