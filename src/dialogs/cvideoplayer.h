#pragma once
// The guidance video player. A player thread opens the file with FFmpeg, decodes its first
// video stream (other streams, audio included, are never decoded: the video plays silently) and
// draws every picture with SDL2 into a native window, stretched to the window's size. A refresh
// thread paces it: one picture per 17 ms tick, whatever the file's frame rate. Diagnostics go to
// standard output. At the end of the file the last picture stays in the window.
#include <cstdint>
#include <string>

#include "videoplayback.h"

class CVideoPlayer {
public:
    // Result posted at the end: the file played to its end, Stop ended it, or something failed.
    static constexpr WPARAM kPlayedToEnd = IVideoPlayback::kPlayedToEnd;
    static constexpr WPARAM kPlayStopped = IVideoPlayback::kPlayStopped;
    static constexpr WPARAM kPlayFailed = IVideoPlayback::kPlayFailed;

    CVideoPlayer() = default;
    // Ends a running playback first: the window it draws into may go right after.
    ~CVideoPlayer();
    CVideoPlayer(const CVideoPlayer&) = delete;
    CVideoPlayer& operator=(const CVideoPlayer&) = delete;

    // Starts playing `path` into the native window `nativeWindow` (0 when there is none, which
    // fails like a missing file). When the player thread ends it posts `msgEnd` to `notify` with
    // the result in wParam; a player module that cannot be loaded fails the same way. False when
    // a playback is still running.
    bool Start(const std::wstring& path, uintptr_t nativeWindow, HWND notify, UINT msgEnd);
    // Pauses a running video, or resumes it: the Space key of the video area.
    void TogglePause();
    // Ends the playback now, or collects a finished one; returns once the player thread is gone.
    void Stop();
    // A playback was started and not yet collected by Stop.
    bool IsStarted() const { return m_pPlayback && m_pPlayback->IsStarted(); }
    SVideoPlayStats GetStats() const;

private:
    IVideoPlayback* m_pPlayback = nullptr; // from the module, at the first Start
};
