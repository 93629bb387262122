// Paths past the Windows length limit, made extended-length for the file
// calls; short paths are handed over exactly as they were.
#include "platform/extended_paths.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using platform::extendedLengthPath;

// "folder100\folder101\...\fold" of `length` characters, ending in a name.
std::wstring deepNames(std::size_t length) {
    std::wstring names;
    for (int k = 0; names.size() < length; ++k) {
        names += L"folder" + std::to_wstring(100 + k) + L"\\";
    }
    names.resize(length);
    names.back() = L'x';
    return names;
}

const std::wstring deep = deepNames(270);  // past every limit on its own
const std::wstring current = L"C:\\Users\\Ana\\Tours";

TEST(ExtendedPaths, AbsolutePathsPastTheLimitGetThePrefixOfTheirKind) {
    EXPECT_EQ(extendedLengthPath(L"C:\\" + deep, current), L"\\\\?\\C:\\" + deep);
    EXPECT_EQ(extendedLengthPath(L"\\\\nas\\photos\\" + deep, current),
              L"\\\\?\\UNC\\nas\\photos\\" + deep);
    // The system's own forms are taken as they are.
    for (const std::wstring& given : {L"\\\\?\\C:\\" + deep, L"\\\\?\\UNC\\nas\\photos\\" + deep,
                                      L"\\\\.\\pipe\\" + deep, L"\\??\\C:\\" + deep}) {
        EXPECT_EQ(extendedLengthPath(given, current), given);
    }
}

TEST(ExtendedPaths, ShortPathsAreLeftExactlyAsTheyAre) {
    for (const std::wstring& given :
         {std::wstring(L"C:/Users/Ana/tour.exe"), std::wstring(L"tour.exe"),
          std::wstring(L"..\\lang\\en.dll"), std::wstring(L"\\\\nas\\photos\\a\\..\\b.jpg"),
          std::wstring(L"D:relative.jpg"), std::wstring()}) {
        EXPECT_EQ(extendedLengthPath(given, current), given);
    }
    // The limit is on the absolute form: 247 characters stay, 248 do not.
    const std::wstring at = L"C:\\" + deepNames(platform::longestPlainPath - 3);
    ASSERT_EQ(at.size(), 247u);
    EXPECT_EQ(extendedLengthPath(at, current), at);
    EXPECT_EQ(extendedLengthPath(at + L"x", current), L"\\\\?\\" + at + L"x");
}

TEST(ExtendedPaths, ThePrefixedFormIsWhatTheSystemWouldHaveMadeOfThePath) {
    // Forward slashes, "." and "..", doubled separators: the system no longer
    // resolves them behind the prefix.
    std::wstring slashed = L"C:/" + deep + L"/./a//b/../c.jpg";
    EXPECT_EQ(extendedLengthPath(slashed, current), L"\\\\?\\C:\\" + deep + L"\\a\\c.jpg");
    // ".." stops at the drive's root and at the share.
    const std::wstring climbing = L"C:\\..\\..\\" + deep;
    EXPECT_EQ(extendedLengthPath(climbing, current), L"\\\\?\\C:\\" + deep);
    const std::wstring shareClimbing = L"\\\\nas\\photos\\..\\..\\" + deep;
    EXPECT_EQ(extendedLengthPath(shareClimbing, current), L"\\\\?\\UNC\\nas\\photos\\" + deep);
}

TEST(ExtendedPaths, RelativePathsAreMadeAbsoluteAgainstTheCurrentFolder) {
    EXPECT_EQ(extendedLengthPath(deep, current), L"\\\\?\\" + current + L"\\" + deep);
    EXPECT_EQ(extendedLengthPath(L"..\\" + deep, current), L"\\\\?\\C:\\Users\\Ana\\" + deep);
    // Rooted at the current drive, and at the current share.
    EXPECT_EQ(extendedLengthPath(L"\\" + deep, current), L"\\\\?\\C:\\" + deep);
    EXPECT_EQ(extendedLengthPath(L"\\" + deep, L"\\\\nas\\photos\\2024"),
              L"\\\\?\\UNC\\nas\\photos\\" + deep);
    // "C:name" on the current folder's drive.
    EXPECT_EQ(extendedLengthPath(L"c:" + deep, current), L"\\\\?\\" + current + L"\\" + deep);
    // A short name in a deep current folder, which may itself be extended-length.
    const std::wstring deepFolder = L"C:\\" + deep;
    EXPECT_EQ(extendedLengthPath(L"lang\\en.dll", L"\\\\?\\" + deepFolder),
              L"\\\\?\\" + deepFolder + L"\\lang\\en.dll");
    EXPECT_EQ(extendedLengthPath(L"en.dll", L"\\\\?\\UNC\\nas\\photos\\" + deep),
              L"\\\\?\\UNC\\nas\\photos\\" + deep + L"\\en.dll");
}

TEST(ExtendedPaths, WhatOnlyTheSystemCanResolveIsLeftToIt) {
    // Another drive's current folder is known to the system alone; a share
    // needs a server and a share name; a current folder that is no absolute
    // path gives no base.
    for (const std::wstring& given : {L"D:" + deep, L"\\\\nas\\\\" + deep, L"\\\\\\" + deep}) {
        EXPECT_EQ(extendedLengthPath(given, current), given);
    }
    EXPECT_EQ(extendedLengthPath(deep, L"Tours"), deep);
}

}  // namespace
