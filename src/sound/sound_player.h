// Plays one extracted sound file through the platform's media graph. The tour
// player is given a window for completion notices and starts its sound again
// each time it ends; the scene player has none and plays once. Every failure
// of the media graph only silences the player.
#pragma once

#include <windows.h>

#include <control.h>
#include <strmif.h>

#include <cstdint>
#include <string>

#include "package/payload.h"
#include "platform/com_ref.h"

class SoundPlayer {
  public:
    // Posted to the notify window when the graph has events waiting; its
    // handler calls HandleGraphEvent.
    static constexpr UINT graphNotifyMessage = WM_USER + 5;
    // Volumes are the media graph's, in hundredths of a decibel.
    static constexpr long fullVolume = 0;
    static constexpr long silentVolume = -10000;
    static constexpr long volumeStep = 100;

    SoundPlayer() = default;
    virtual ~SoundPlayer();
    SoundPlayer(const SoundPlayer&) = delete;
    SoundPlayer& operator=(const SoundPlayer&) = delete;

    // Remembers the file to play; it is opened only by Play.
    void SetFile(package::TempFile* file) { file_ = file; }
    // Builds a new graph for the file and runs it; completion notices go to
    // notifyWindow when it is set.
    void Play(HWND notifyWindow);
    void Stop();
    // Stops and releases the graph. A player without a window forgets its
    // mute state here; the tour player keeps it across restarts.
    void Close();
    void ToggleMute();
    void VolumeUp();
    void VolumeDown();
    // Drains the graph's events and plays the file again from its start when
    // it has ended. The argument is not used.
    HRESULT HandleGraphEvent(int unused);

    bool isActive() const { return active_ != 0; }
    bool isMuted() const { return muted_ != 0; }
    // The volume the graph reports now, or false when there is no graph.
    bool readVolume(long& volume) const;

  private:
    bool openGraph(const wchar_t* widePath);
    void startAgain();
    bool rewind();
    void changeVolume(long step);

    HWND notifyWindow_ = nullptr;
    std::int32_t active_ = 0;
    package::TempFile* file_ = nullptr;
    long savedVolume_ = 0;
    std::uint8_t muted_ = 0;
    platform::ComRef<IGraphBuilder> graph_;
    platform::ComRef<IMediaControl> control_;
    platform::ComRef<IMediaEvent> event_;
    platform::ComRef<IBasicAudio> audio_;
    platform::ComRef<IMediaEventEx> eventEx_;
    // The path the graph was built for; a restart rebuilds the graph when the
    // file has changed since.
    std::string graphPath_;
};
