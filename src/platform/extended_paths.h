// Paths of any length for the Windows file calls. Unless a process declares
// itself long-path aware and the system allows it, CreateFileW, _wfopen,
// LoadLibraryW and their kin refuse a path of MAX_PATH (260) characters or
// more, CreateDirectoryW one of 248, but for an extended-length path:
// "\\?\C:\folder\file", "\\?\UNC\server\share\file". The system takes such a
// path as it is, so it must be what the system would otherwise have made of
// the path: absolute, with backslashes, without "." or "..".
// Windows-free text work, so that it is tested natively; the Win32 file
// layer gives it the current folder (files.h: systemPath).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

// The longest absolute path left in its plain form: below the lowest of the
// file calls' limits (CreateDirectoryW's, which keeps room for an 8.3 name).
inline constexpr std::size_t longestPlainPath = 247;

// `path` as the file calls take it at any length. An absolute form of at most
// longestPlainPath characters leaves `path` exactly as it is: a path the
// plain calls take is handed over unchanged. A longer one becomes
// extended-length: forward slashes turned, "." and ".." resolved (".." goes
// no higher than the drive or share), a relative path made absolute against
// `currentFolder` (as the system gives it: absolute, perhaps extended-length
// itself), one rooted at "\" on the current folder's drive or share.
// Left as they are: paths already extended-length or naming a device
// ("\\?\", "\\.\"), a drive-relative path on another drive ("D:file", whose
// drive's current folder only the system knows), and what is no path.
std::wstring extendedLengthPath(std::wstring_view path, std::wstring_view currentFolder);

}  // namespace platform
