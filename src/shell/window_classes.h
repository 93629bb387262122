// The names of the window classes the shell registers, without the rest of
// the shell's declarations: the tests that look for the player's windows
// from outside it name them too.
#pragma once

namespace shell {

inline constexpr const char* mainWindowClassName = "Lumivue QRZ";
inline constexpr const char* toolbarClassName = "toolbar";
// The floating label of the tour information dialog's long texts.
inline constexpr const char* labelClassName = "edit";

}  // namespace shell
