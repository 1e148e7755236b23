#pragma once
// The guidance video's playback engine. It is built as a module of its own,
// "libshopdesk_video.so" beside the executable, because FFmpeg and SDL bring a hundred
// libraries with them: the program loads them when the video first plays, not at every start.
#include <cstdint>
#include <string>

#include "platform/winuser.h"

// How evenly the pictures of one playback were presented.
struct SVideoPlayStats {
    int nFrames = 0;                // pictures presented
    double dMeanIntervalMs = 0;     // mean time between two presented pictures
    double dStdDevIntervalMs = 0;   // spread of that time
};

class IVideoPlayback {
public:
    // How the player thread's end reaches a window: the program's PostMessage.
    using PostFn = BOOL (*)(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    // The SDL user events of the two player threads.
    static constexpr uint32_t SFM_REFRESH_EVENT = 0x8001;
    static constexpr uint32_t SFM_BREAK_EVENT = 0x8002;
    // Result posted at the end: the file played to its end, Stop ended it, or something failed.
    static constexpr WPARAM kPlayedToEnd = 0;
    static constexpr WPARAM kPlayStopped = 1;
    static constexpr WPARAM kPlayFailed = static_cast<WPARAM>(-1);

    virtual ~IVideoPlayback() = default;
    // `path` in the locale's encoding. See CVideoPlayer for the rest.
    virtual bool Start(const std::string& path, uintptr_t nativeWindow, HWND notify, UINT msgEnd) = 0;
    virtual void TogglePause() = 0;
    virtual void Stop() = 0;
    virtual bool IsStarted() const = 0;
    virtual SVideoPlayStats GetStats() const = 0;
};

// The module's one entry point.
extern "C" IVideoPlayback* CreateVideoPlayback(IVideoPlayback::PostFn post);
using CreateVideoPlaybackFn = IVideoPlayback* (*)(IVideoPlayback::PostFn post);
