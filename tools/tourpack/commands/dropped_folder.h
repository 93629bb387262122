// A folder dropped onto tourpack (in Explorer, onto tourpack.exe): the tour
// made in one go, `new` when the folder has no manifest yet and then `build`,
// writing FOLDER.exe beside the folder. Started without arguments, tourpack
// explains this. A window Windows opened for tourpack alone stays until a key
// is pressed, so that its messages can be read; a console tourpack was
// started from is left alone.
#pragma once

#include <string>

namespace tourpack {

// The argument, when it names a folder and is the only one.
bool isDroppedFolder(int argc, char** argv);

// Runs `new` (when needed) and `build` for the folder; the exit code.
int runDroppedFolder(const std::string& folder);

// What to do with tourpack when it was started without arguments in a window
// of its own; false when it was started from a console.
bool explainWithoutArguments(int argc);

}  // namespace tourpack
