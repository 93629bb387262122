#include <gtest/gtest.h>
#include <fstream>

#include "package/tour.h"
#include "tour_source.h"

namespace {

std::unique_ptr<package::Scene> sceneNamed(const char* name) {
    auto scene = std::make_unique<package::Scene>();
    scene->setName(name);
    return scene;
}

std::string namesOf(const package::SceneList& list) {
    std::string names;
    for (std::int32_t position = 1; position <= list.count(); ++position) {
        names += list.scene(position)->name();
    }
    return names;
}

TEST(SceneList, InsertsAtTheFrontInTheMiddleAndPastTheEnd) {
    package::SceneList list;
    EXPECT_EQ(list.scene(1), nullptr);
    EXPECT_EQ(list.addScene(sceneNamed("a"), 1), 1);
    list.addScene(sceneNamed("b"), 2);
    list.addScene(sceneNamed("c"), 1);
    EXPECT_EQ(namesOf(list), "cab");
    list.addScene(sceneNamed("d"), 7);
    EXPECT_EQ(namesOf(list), "cabd");
    list.addScene(sceneNamed("e"), 3);
    EXPECT_EQ(namesOf(list), "caebd");
    // Below 1 the walk from the head still inserts after the first node.
    list.addScene(sceneNamed("f"), 0);
    list.addScene(sceneNamed("g"), -4);
    EXPECT_EQ(namesOf(list), "cgfaebd");
    EXPECT_EQ(list.count(), 7);
}

TEST(SceneList, LooksUpPositionsAndIds) {
    package::SceneList list;
    const std::int32_t first = package::Scene::nextId();
    for (int i = 1; i <= 3; ++i) {
        list.addScene(std::make_unique<package::Scene>(), i);
    }
    EXPECT_EQ(list.scene(1)->id(), first);
    EXPECT_EQ(list.scene(3)->id(), first + 2);
    EXPECT_EQ(list.scene(0), list.scene(1));
    EXPECT_EQ(list.scene(-3), list.scene(1));
    EXPECT_EQ(list.scene(4), nullptr);
    EXPECT_EQ(list.positionOfScene(first + 1), 2);
    EXPECT_EQ(list.positionOfScene(0), -1);
    EXPECT_EQ(list.positionOfScene(first + 3), -1);
    EXPECT_EQ(package::SceneList().positionOfScene(1), -1);
}

TEST(Scene, StartsWithTheDefaultsAndTakesConsecutiveIds) {
    package::Scene a;
    package::Scene b;
    EXPECT_EQ(b.id(), a.id() + 1);
    EXPECT_EQ(package::Scene::nextId(), b.id() + 1);
    EXPECT_STREQ(a.name(), "");
    EXPECT_EQ(a.pan(), 0.0f);
    EXPECT_EQ(a.tilt(), 0.0f);
    EXPECT_EQ(a.fieldOfView(), 100.0f);
    EXPECT_EQ(a.image()->length(), -1);
    EXPECT_EQ(a.sound()->length(), -1);
    EXPECT_FALSE(a.imageWanted());
    EXPECT_FALSE(a.soundWanted());
}

TEST(FileItem, MadeFromAPathTakesTheFileSizeOrMinusOne) {
    test_support::TempFolder folder;
    const auto file = folder.path() / "five";
    test_support::writeFile(file, {1, 2, 3, 4, 5});
    const package::FileItem item(file.string().c_str());
    EXPECT_EQ(item.offset(), 0);
    EXPECT_EQ(item.length(), 5);
    EXPECT_EQ(package::FileItem((folder.path() / "missing").string().c_str()).length(), -1);
    EXPECT_EQ(package::FileItem("").length(), -1);
}

TEST(Tour, EveryBackgroundSoundHandleDeletesTheFile) {
    test_support::TempFolder folder;
    const auto file = folder.path() / "QRZsound.tmp";
    test_support::writeFile(file, {1, 2, 3});
    package::Tour tour;
    tour.setBackgroundSound(std::make_unique<package::FileItem>(file.string().c_str()));
    auto first = tour.openBackgroundSound();
    auto second = tour.openBackgroundSound();
    EXPECT_STREQ(first->path(), second->path());
    EXPECT_TRUE(std::filesystem::exists(file));
    second.reset();
    EXPECT_FALSE(std::filesystem::exists(file));
    first.reset();  // a second deletion of the same file is harmless
}

TEST(TourInfo, SettersCopyTheText) {
    package::TourInfo info;
    EXPECT_STREQ(info.infoText4(), "");
    EXPECT_EQ(info.picture(), nullptr);
    char text[] = "web";
    info.setWebAddress(text);
    text[0] = 'X';
    EXPECT_STREQ(info.webAddress(), "web");
    info.setWebAddress(nullptr);
    EXPECT_STREQ(info.webAddress(), "");
}

}  // namespace
