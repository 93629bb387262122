// One panorama scene of a tour: its name, start view and where its image and
// sound lie in the executable. The scene media manager registers receivers on
// it and calls `load`, which extracts what is wanted.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "package/extraction.h"
#include "package/file_item.h"
#include "package/scene_link.h"
#include "package/scene_note.h"

namespace package {

class MediaCallback;

class Scene {
  public:
    // Takes the next value of the process-wide scene id counter (1, 2, ...).
    Scene();

    // Virtual operations, in the order the rest of the player relies on.
    virtual float pan() const { return pan_; }
    virtual float tilt() const { return tilt_; }
    virtual float fieldOfView() const { return fieldOfView_; }
    virtual std::int32_t id() const { return id_; }
    virtual void setSoundReceiver(MediaCallback* receiver);
    virtual void setImageReceiver(MediaCallback* receiver);
    // Fills the load request from what is wanted and runs the extraction.
    virtual void load();
    // A running extraction stops at its next check; the next `load` clears it.
    virtual void cancel() { cancelled_ = 1; }
    // Destroys the payload items and the name.
    virtual void release();
    virtual void dropSoundReceiver() { soundWanted_ = 0; }
    virtual void dropImageReceiver() { imageWanted_ = 0; }
    virtual ~Scene();

    const char* name() const { return name_.c_str(); }
    void setName(const char* name) { name_ = name != nullptr ? name : ""; }
    void setPan(float pan) { pan_ = pan; }
    void setTilt(float tilt) { tilt_ = tilt; }
    void setFieldOfView(float fieldOfView) { fieldOfView_ = fieldOfView; }

    const FileItem* image() const { return image_.get(); }
    const FileItem* sound() const { return sound_.get(); }
    void setImage(std::unique_ptr<FileItem> image) { image_ = std::move(image); }
    void setSound(std::unique_ptr<FileItem> sound) { sound_ = std::move(sound); }

    // The links placed in this scene's panorama, in the order the author gave.
    const std::vector<SceneLink>& links() const { return links_; }
    void setLinks(std::vector<SceneLink> links) { links_ = std::move(links); }
    // The notes pinned in this scene's panorama, in the order the author gave.
    const std::vector<SceneNote>& notes() const { return notes_; }
    void setNotes(std::vector<SceneNote> notes) { notes_ = std::move(notes); }

    bool imageWanted() const { return imageWanted_ != 0; }
    bool soundWanted() const { return soundWanted_ != 0; }
    bool cancelled() const { return cancelled_ != 0; }
    const LoadRequest& request() const { return request_; }

    // The value the next scene will take as its id.
    static std::int32_t nextId();

  private:
    std::int32_t id_;
    std::string name_;
    float pan_ = 0.0f;
    float tilt_ = 0.0f;
    float fieldOfView_ = 100.0f;
    std::unique_ptr<FileItem> sound_;
    std::unique_ptr<FileItem> image_;
    std::vector<SceneLink> links_;
    std::vector<SceneNote> notes_;
    MediaCallback* imageReceiver_ = nullptr;
    MediaCallback* soundReceiver_ = nullptr;
    std::int32_t imageWanted_ = 0;
    std::int32_t soundWanted_ = 0;
    std::int32_t cancelled_ = 0;
    LoadRequest request_;
};

}  // namespace package
