#pragma once
// The guidance video player. A player thread opens the file with FFmpeg, decodes its first
// video stream (other streams, audio included, are never decoded: the video plays silently) and
// draws every picture with SDL2 into a native window, stretched to the window's size. A refresh
// thread paces it: one picture per 17 ms tick, whatever the file's frame rate. Diagnostics go to
// standard output. At the end of the file the last picture stays in the window.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "platform/winuser.h"

struct SDL_Thread;
struct SDL_semaphore;

// How evenly the pictures of one playback were presented.
struct SVideoPlayStats {
    int nFrames = 0;                // pictures presented
    double dMeanIntervalMs = 0;     // mean time between two presented pictures
    double dStdDevIntervalMs = 0;   // spread of that time
};

class CVideoPlayer {
public:
    // The SDL user events of the two player threads.
    static constexpr uint32_t SFM_REFRESH_EVENT = 0x8001;
    static constexpr uint32_t SFM_BREAK_EVENT = 0x8002;
    // Result posted at the end: the file played to its end, Stop ended it, or something failed.
    static constexpr WPARAM kPlayedToEnd = 0;
    static constexpr WPARAM kPlayStopped = 1;
    static constexpr WPARAM kPlayFailed = static_cast<WPARAM>(-1);

    CVideoPlayer() = default;
    // Ends a running playback first: the window it draws into may go right after.
    ~CVideoPlayer();
    CVideoPlayer(const CVideoPlayer&) = delete;
    CVideoPlayer& operator=(const CVideoPlayer&) = delete;

    // Starts playing `path` into the native window `nativeWindow` (0 when there is none, which
    // fails like a missing file). When the player thread ends it posts `msgEnd` to `notify` with
    // the result in wParam. False when a playback is still running.
    bool Start(const std::wstring& path, uintptr_t nativeWindow, HWND notify, UINT msgEnd);
    // Pauses a running video, or resumes it: the Space key of the video area.
    void TogglePause();
    // Ends the playback now, or collects a finished one; returns once the player thread is gone.
    void Stop();
    // A playback was started and not yet collected by Stop.
    bool IsStarted() const { return m_pThread != nullptr; }
    SVideoPlayStats GetStats() const;

private:
    static int VideoPlayThread(void* self);
    static int VideoRefreshThread(void* self);
    int Play();
    void NotePresented();

    std::string m_strPath;
    uintptr_t m_nWindow = 0;
    HWND m_hNotify = nullptr;
    UINT m_nMsgEnd = 0;
    SDL_Thread* m_pThread = nullptr;
    // Shared by the two player threads. `m_bStop` is the owner's request to end, which the
    // refresh thread's start (clearing the other two) must not lose.
    std::atomic<int> m_bThreadExit{0};
    std::atomic<int> m_bThreadPause{0};
    std::atomic<int> m_bStop{0};
    // Posted with every event the refresh thread pushes (see Play).
    SDL_semaphore* m_pWake = nullptr;

    mutable std::mutex m_csStats;
    SVideoPlayStats m_Stats;
    double m_dLastPresentMs = 0;
    double m_dSumSq = 0;
};
