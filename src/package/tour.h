// The tour model the package reader builds and the rest of the player reads:
// settings, the ordered scenes, the author information and where the payloads
// lie. It holds no pixels and no sound data.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "package/file_item.h"
#include "package/payload.h"
#include "package/scene.h"

namespace package {

enum class ViewSampling { smooth, nearest };

// How the view passes from one scene to the next: a link followed turns
// toward the link and fades into its scene (walk), or only fades (fade); or
// every change is a cut (none). Other scene changes fade unless it is none.
enum class SceneTransition { walk, fade, none };

// Where a scene's stored preview (a small JPEG) lies in the tour's file.
struct StoredPreview {
    std::int64_t offset = 0;
    std::int32_t length = 0;  // 0: the scene has none
};

// Author and contact information shown in the information dialog.
class TourInfo {
  public:
    virtual ~TourInfo() = default;

    const char* infoText1() const { return infoText1_.c_str(); }
    const char* emailAddress() const { return emailAddress_.c_str(); }
    const char* webAddress() const { return webAddress_.c_str(); }
    const char* infoText3() const { return infoText3_.c_str(); }
    const char* infoText2() const { return infoText2_.c_str(); }
    const FileItem* picture() const { return picture_.get(); }
    const char* infoText4() const { return infoText4_.c_str(); }

    void setInfoText1(const char* text) { assign(infoText1_, text); }
    void setEmailAddress(const char* text) { assign(emailAddress_, text); }
    void setWebAddress(const char* text) { assign(webAddress_, text); }
    void setInfoText3(const char* text) { assign(infoText3_, text); }
    void setInfoText2(const char* text) { assign(infoText2_, text); }
    void setPicture(std::unique_ptr<FileItem> picture) { picture_ = std::move(picture); }
    void setInfoText4(const char* text) { assign(infoText4_, text); }

  private:
    static void assign(std::string& field, const char* text) {
        field = text != nullptr ? text : "";
    }

    std::string infoText1_;
    std::string emailAddress_;
    std::string webAddress_;
    std::string infoText3_;
    std::string infoText2_;
    std::unique_ptr<FileItem> picture_;
    std::string infoText4_;
};

// The tour's scenes in order; positions run from 1.
class SceneList {
  public:
    std::int32_t count() const { return static_cast<std::int32_t>(scenes_.size()); }
    // Inserts at `position`: 1 makes the scene first, a position past the end
    // appends it, and a position below 1 on a non-empty list puts it second.
    // Always returns 1.
    std::int32_t addScene(std::unique_ptr<Scene> scene, std::int32_t position);
    // The scene at `position`; 1 or less gives the first. Null for an empty
    // list or a position past the end.
    Scene* scene(std::int32_t position) const;
    // The position of the scene with that id, or -1.
    std::int32_t positionOfScene(std::int32_t id) const;

  private:
    std::vector<std::unique_ptr<Scene>> scenes_;
};

class Tour {
  public:
    Tour();

    // Virtual operations, in the order the rest of the player relies on.
    virtual bool autoPlay() const { return autoPlay_; }
    virtual bool soundOn() const { return soundOn_; }
    virtual std::int32_t rotationSpeed() const { return rotationSpeed_; }
    // A new handle on the extracted background sound; destroying it deletes the file.
    virtual std::unique_ptr<TempFile> openBackgroundSound() const;
    virtual std::int32_t sceneCount() const { return scenes_.count(); }
    virtual Scene* scene(std::int32_t position) const { return scenes_.scene(position); }
    virtual std::int32_t positionOfScene(std::int32_t id) const {
        return scenes_.positionOfScene(id);
    }
    virtual ~Tour() = default;

    const char* title() const { return title_.c_str(); }
    // The Windows code page of the tour's texts (title, scene names,
    // information, link labels); 0 for the system's own.
    std::uint32_t textCodePage() const { return textCodePage_; }
    void setTextCodePage(std::uint32_t codePage) { textCodePage_ = codePage; }
    // How the view reads the panorama: smoothly (blending the pixels around
    // each position, from smaller copies where the view shrinks it) unless
    // the tour asks for the nearest pixel.
    ViewSampling sampling() const { return sampling_; }
    void setSampling(ViewSampling sampling) { sampling_ = sampling; }
    // A walk unless the tour asks for a fade or a cut.
    SceneTransition transition() const { return transition_; }
    void setTransition(SceneTransition transition) { transition_ = transition; }
    // The stored preview of the scene at `position` (from 1), or nothing for
    // a tour without previews, a scene without one or a position outside.
    std::optional<StoredPreview> preview(std::int32_t position) const;
    // One entry per scene, in order; the reader gives them only checked
    // against the file and the scene count.
    void setPreviews(std::vector<StoredPreview> previews) { previews_ = std::move(previews); }
    std::int32_t viewSize() const { return viewSize_; }
    std::int32_t fullScreenMode() const { return fullScreenMode_; }
    TourInfo& info() { return *info_; }
    const TourInfo& info() const { return *info_; }
    const FileItem& backgroundSound() const { return *backgroundSound_; }

    void setTitle(const char* title) { title_ = title != nullptr ? title : ""; }
    void setViewSize(std::int32_t viewSize) { viewSize_ = viewSize; }
    void setRotationSpeed(std::int32_t speed) { rotationSpeed_ = speed; }
    void setSoundOn(bool on) { soundOn_ = on; }
    void setAutoPlay(bool on) { autoPlay_ = on; }
    void setFullScreenMode(std::int32_t mode) { fullScreenMode_ = mode; }
    void setBackgroundSound(std::unique_ptr<FileItem> item) { backgroundSound_ = std::move(item); }
    std::int32_t addScene(std::unique_ptr<Scene> scene, std::int32_t position) {
        return scenes_.addScene(std::move(scene), position);
    }

  private:
    std::unique_ptr<TourInfo> info_;
    SceneList scenes_;
    std::unique_ptr<FileItem> backgroundSound_;
    std::int32_t fullScreenMode_ = 0;
    bool autoPlay_ = false;
    bool soundOn_ = false;
    std::int32_t rotationSpeed_ = 0;
    std::int32_t viewSize_ = 0;
    std::string title_;
    std::uint32_t textCodePage_ = 0;
    ViewSampling sampling_ = ViewSampling::smooth;
    SceneTransition transition_ = SceneTransition::walk;
    std::vector<StoredPreview> previews_;
};

}  // namespace package
