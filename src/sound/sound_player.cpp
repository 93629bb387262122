#include "sound/sound_player.h"

#include <string>

#include "platform/files.h"
#include "platform/scoped_handle.h"
#include "sound/media_graph_ids.h"

namespace {

// A media graph interface that is needed but absent: handled like any other
// failure of the media graph, by silencing the player.
struct MissingInterface {};

template <typename Interface>
Interface* require(const platform::ComRef<Interface>& reference) {
    if (!reference) {
        throw MissingInterface{};
    }
    return reference.get();
}

// Opens the file for reading the way the player checks a sound file.
platform::UniqueFile openForReading(const wchar_t* path) {
    return platform::UniqueFile(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

}  // namespace

SoundPlayer::~SoundPlayer() {
    Close();
}

void SoundPlayer::Play(HWND notifyWindow) {
    notifyWindow_ = notifyWindow;
    Close();
    try {
        if (file_ == nullptr) {
            active_ = 0;
            return;
        }
        const std::wstring widePath = platform::systemPath(file_->path()).wstring();
        const wchar_t* path = widePath.c_str();
        if (!openForReading(path)) {
            active_ = 0;
            return;
        }
        DWORD size = 0;
        if (platform::UniqueFile file = openForReading(path)) {
            size = GetFileSize(file.get(), nullptr);
        } else {
            active_ = 0;
            return;
        }
        if (size == 0) {
            active_ = 0;
            return;
        }
        active_ = 1;
        if (!openGraph(path)) {
            active_ = 0;
            return;
        }
        graphPath_ = file_->path();
        active_ = 1;
        control_->Run();
    } catch (...) {
        active_ = 0;
    }
}

// Creates the graph, takes its interfaces and renders the file. Interfaces
// taken before a failure stay until the next Close.
bool SoundPlayer::openGraph(const wchar_t* widePath) {
    if (FAILED(CoCreateInstance(sound::clsidFilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                                sound::iidGraphBuilder, graph_.receiveVoid()))) {
        graph_.reset();
        return false;
    }
    if (notifyWindow_ != nullptr) {
        if (FAILED(graph_->QueryInterface(sound::iidMediaEventEx, eventEx_.receiveVoid()))) {
            eventEx_.reset();
            return false;
        }
        eventEx_->SetNotifyWindow(reinterpret_cast<OAHWND>(notifyWindow_), graphNotifyMessage, 0);
    }
    if (FAILED(graph_->QueryInterface(sound::iidMediaControl, control_.receiveVoid()))) {
        control_.reset();
        return false;
    }
    if (FAILED(graph_->QueryInterface(sound::iidMediaEvent, event_.receiveVoid()))) {
        event_.reset();
        return false;
    }
    if (FAILED(graph_->QueryInterface(sound::iidBasicAudio, audio_.receiveVoid()))) {
        audio_.reset();
        return false;
    }
    // Partial renderings (positive statuses) count as failures too.
    return graph_->RenderFile(widePath, nullptr) == S_OK;
}

void SoundPlayer::Stop() {
    try {
        if (active_ != 0) {
            require(control_)->Stop();
        }
    } catch (...) {
        active_ = 0;
    }
}

void SoundPlayer::Close() {
    try {
        if (notifyWindow_ == nullptr) {
            muted_ = 0;
        }
        if (active_ != 0 && control_) {
            control_->Stop();
        }
        audio_.reset();
        // Released even when the window has since been taken away, so that no
        // old graph keeps notifying a window.
        if (eventEx_) {
            eventEx_->SetNotifyWindow(0, 0, 0);
            eventEx_.reset();
        }
        control_.reset();
        event_.reset();
        graph_.reset();
        graphPath_.clear();
    } catch (...) {
        active_ = 0;
    }
}

void SoundPlayer::ToggleMute() {
    try {
        if (active_ != 0) {
            IBasicAudio* audio = require(audio_);
            if (muted_ != 0) {
                audio->put_Volume(savedVolume_);
            } else {
                audio->get_Volume(&savedVolume_);
                audio->put_Volume(silentVolume);
            }
        }
        muted_ = muted_ != 0 ? 0 : 1;
    } catch (...) {
        active_ = 0;
    }
}

void SoundPlayer::VolumeUp() {
    changeVolume(volumeStep);
}

void SoundPlayer::VolumeDown() {
    changeVolume(-volumeStep);
}

// No clamping: the graph's own range check decides what it accepts.
void SoundPlayer::changeVolume(long step) {
    try {
        if (active_ != 0) {
            IBasicAudio* audio = require(audio_);
            long volume = 0;
            audio->get_Volume(&volume);
            audio->put_Volume(volume + step);
        }
    } catch (...) {
        active_ = 0;
    }
}

HRESULT SoundPlayer::HandleGraphEvent(int /*unused*/) {
    try {
        if (notifyWindow_ == nullptr || !eventEx_) {
            return S_OK;
        }
        for (;;) {
            long code = 0;
            LONG_PTR param1 = 0;
            LONG_PTR param2 = 0;
            const HRESULT status = eventEx_->GetEvent(&code, &param1, &param2, 0);
            if (status < 0) {
                return status;
            }
            if (code == sound::eventComplete) {
                startAgain();
            }
            // A restart that failed leaves no graph to ask for more events.
            require(eventEx_)->FreeEventParams(code, param1, param2);
        }
    } catch (...) {
        active_ = 0;
        return E_FAIL;
    }
}

// The sound has reached its end: it is played again from its start, as from
// a graph built anew: at full volume, or silent while muted.
void SoundPlayer::startAgain() {
    if (rewind()) {
        require(audio_)->put_Volume(muted_ != 0 ? silentVolume : fullVolume);
        return;
    }
    // A file changed since, or a graph that cannot seek: built anew.
    Play(notifyWindow_);
    if (muted_ != 0) {
        require(audio_)->put_Volume(silentVolume);
    }
}

// Moves the running graph back to the start of the file. The graph is kept:
// a Stop right after the end can wait forever, because the platform's file
// reader may miss waking its stream thread while that thread is only on its
// way to sleep after delivering the end; a seek wakes it safely.
bool SoundPlayer::rewind() {
    if (active_ == 0 || !graph_ || !control_ || file_ == nullptr || graphPath_ != file_->path()) {
        return false;
    }
    platform::ComRef<IMediaSeeking> seeking;
    if (FAILED(graph_->QueryInterface(sound::iidMediaSeeking, seeking.receiveVoid()))) {
        return false;
    }
    LONGLONG start = 0;
    if (FAILED(seeking->SetPositions(&start, AM_SEEKING_AbsolutePositioning, nullptr,
                                     AM_SEEKING_NoPositioning))) {
        return false;
    }
    // A graph still running plays on from the start; one that is not is run.
    return SUCCEEDED(control_->Run());
}

bool SoundPlayer::readVolume(long& volume) const {
    return audio_ && SUCCEEDED(audio_->get_Volume(&volume));
}
