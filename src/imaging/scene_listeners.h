// What the scene media manager hands its results to. The viewer implements
// both listeners and gives them to the manager, which owns them from then on.
#pragma once

namespace package {
class TempFile;
}  // namespace package

namespace imaging {

class DibImage;

// Gets every image to show. The image (or null: nothing to show) stays valid
// until this listener is handed the next one; the receiver only reads it.
class SceneImageListener {
  public:
    virtual ~SceneImageListener() = default;
    virtual void imageReady(const DibImage* image) = 0;
    // Whether the listener shows a reduced first look at a scene whose full
    // image takes a while; one that does not only ever gets full images.
    virtual bool showsPreviews() const { return false; }
    // That first look: the same scene's `imageReady` follows (unless the
    // scene change is overtaken). Read until its successor arrives.
    virtual void previewReady(const DibImage* /*image*/) {}
    // The image on show (the last one handed over) has its levels now.
    virtual void levelsReady(const DibImage* /*image*/) {}
};

// Gets every scene sound file to play (null when the scene has none or it
// could not be extracted). The manager keeps the file until it is destroyed.
class SceneSoundListener {
  public:
    virtual ~SceneSoundListener() = default;
    virtual void soundReady(package::TempFile* file) = 0;
};

}  // namespace imaging
