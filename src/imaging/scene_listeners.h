// What the scene media manager hands its results to. The viewer implements
// both listeners and gives them to the manager, which owns them from then on.
#pragma once

namespace package {
class TempFile;
}  // namespace package

class DibImage;

// Gets every image to show. The image (or null: nothing to show) stays valid
// until this listener is handed the next one; the receiver only reads it.
class SceneImageListener {
  public:
    virtual ~SceneImageListener() = default;
    virtual void imageReady(const DibImage* image) = 0;
};

// Gets every scene sound file to play (null when the scene has none or it
// could not be extracted). The manager keeps the file until it is destroyed.
class SceneSoundListener {
  public:
    virtual ~SceneSoundListener() = default;
    virtual void soundReady(package::TempFile* file) = 0;
};
