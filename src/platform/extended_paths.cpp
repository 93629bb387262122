#include "platform/extended_paths.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace platform {

namespace {

constexpr std::wstring_view extendedPrefix = L"\\\\?\\";
constexpr std::wstring_view extendedSharePrefix = L"\\\\?\\UNC\\";

bool isSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

bool isDriveLetter(wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

bool sameDrive(wchar_t a, wchar_t b) {
    const auto upper = [](wchar_t c) { return c >= L'a' && c <= L'z' ? c - L'a' + L'A' : c; };
    return upper(a) == upper(b);
}

// "\\?\" and "\\.\" (either slash: the system reads both as these) and the
// system's own "\??\": taken by the file calls as they are.
bool isExtendedOrDevice(std::wstring_view path) {
    if (path.size() < 4) {
        return false;
    }
    const bool win32Form = isSeparator(path[0]) && isSeparator(path[1]) &&
                           (path[2] == L'?' || path[2] == L'.') && isSeparator(path[3]);
    const bool systemForm = path.substr(0, 4) == L"\\??\\";
    return win32Form || systemForm;
}

std::wstring withBackslashes(std::wstring_view path) {
    std::wstring turned(path);
    std::replace(turned.begin(), turned.end(), L'/', L'\\');
    return turned;
}

// An extended-length folder (the current folder may be one) in its plain
// form, so that a relative path joins it as it joins any other.
std::wstring plainForm(std::wstring_view path) {
    if (path.substr(0, extendedSharePrefix.size()) == extendedSharePrefix) {
        return L"\\\\" + std::wstring(path.substr(extendedSharePrefix.size()));
    }
    if (path.substr(0, extendedPrefix.size()) == extendedPrefix) {
        return std::wstring(path.substr(extendedPrefix.size()));
    }
    return std::wstring(path);
}

// An absolute path with backslashes: its root ("C:" or "\\server\share"),
// which ".." does not climb out of, and what follows it.
struct RootedPath {
    std::wstring root;
    bool share = false;
    std::wstring_view rest;
};

std::optional<RootedPath> rootOf(std::wstring_view path) {
    if (path.size() >= 3 && isDriveLetter(path[0]) && path[1] == L':' && path[2] == L'\\') {
        return RootedPath{std::wstring(path.substr(0, 2)), false, path.substr(3)};
    }
    if (path.size() < 2 || path[0] != L'\\' || path[1] != L'\\') {
        return std::nullopt;
    }
    const std::size_t serverEnd = path.find(L'\\', 2);
    if (serverEnd == std::wstring_view::npos || serverEnd == 2) {
        return std::nullopt;
    }
    std::size_t shareEnd = path.find(L'\\', serverEnd + 1);
    if (shareEnd == std::wstring_view::npos) {
        shareEnd = path.size();
    }
    if (shareEnd == serverEnd + 1) {
        return std::nullopt;
    }
    const std::wstring_view rest =
        shareEnd < path.size() ? path.substr(shareEnd + 1) : std::wstring_view();
    return RootedPath{std::wstring(path.substr(0, shareEnd)), true, rest};
}

// The root and the rest's names, "." and empty names dropped, each ".." taking
// away the name before it.
std::wstring resolved(const RootedPath& path) {
    std::vector<std::wstring_view> names;
    std::wstring_view rest = path.rest;
    while (!rest.empty()) {
        const std::size_t end = std::min(rest.find(L'\\'), rest.size());
        const std::wstring_view name = rest.substr(0, end);
        rest.remove_prefix(std::min(end + 1, rest.size()));
        if (name.empty() || name == L".") {
            continue;
        }
        if (name == L"..") {
            if (!names.empty()) {
                names.pop_back();
            }
            continue;
        }
        names.push_back(name);
    }
    std::wstring full = path.root + L"\\";
    for (std::size_t k = 0; k < names.size(); ++k) {
        full += (k > 0 ? L"\\" : L"");
        full += names[k];
    }
    return full;
}

// The absolute form of `path` (backslashes already), or "" when the system
// alone could make it.
std::wstring absoluteForm(const std::wstring& path, std::wstring_view currentFolder) {
    if (rootOf(path)) {
        return path;
    }
    if (path.size() >= 2 && path[0] == L'\\' && path[1] == L'\\') {
        return {};  // "\\server" without a share: no path the prefix can take
    }
    const std::wstring current = withBackslashes(plainForm(currentFolder));
    const std::optional<RootedPath> currentRoot = rootOf(current);
    if (!currentRoot) {
        return {};
    }
    if (path.size() >= 2 && isDriveLetter(path[0]) && path[1] == L':') {
        // "C:file": relative to the current folder of drive C.
        if (currentRoot->share || !sameDrive(path[0], current[0])) {
            return {};
        }
        return current + L"\\" + path.substr(2);
    }
    if (!path.empty() && path[0] == L'\\') {
        return currentRoot->root + path;  // from the current drive's or share's root
    }
    return current + L"\\" + path;
}

}  // namespace

std::wstring extendedLengthPath(std::wstring_view path, std::wstring_view currentFolder) {
    if (path.empty() || isExtendedOrDevice(path)) {
        return std::wstring(path);
    }
    const std::wstring absolute = absoluteForm(withBackslashes(path), currentFolder);
    const std::optional<RootedPath> rooted = rootOf(absolute);
    if (!rooted) {
        return std::wstring(path);
    }
    const std::wstring full = resolved(*rooted);
    if (full.size() <= longestPlainPath) {
        return std::wstring(path);
    }
    if (rooted->share) {
        return std::wstring(extendedSharePrefix) + full.substr(2);
    }
    return std::wstring(extendedPrefix) + full;
}

}  // namespace platform
