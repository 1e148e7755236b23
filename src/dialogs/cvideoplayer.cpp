#include "cvideoplayer.h"

#include "common/sysutils.h"
#include "platform/module.h"

namespace {

IVideoPlayback* NewPlayback() {
    static const auto create =
        reinterpret_cast<CreateVideoPlaybackFn>(platform::ModuleSymbol("libshopdesk_video.so", "CreateVideoPlayback"));
    BOOL (*post)(HWND, UINT, WPARAM, LPARAM) = &platform::PostMessage;
    return create ? create(post) : nullptr;
}

} // namespace

CVideoPlayer::~CVideoPlayer() { delete m_pPlayback; }

bool CVideoPlayer::Start(const std::wstring& path, uintptr_t nativeWindow, HWND notify, UINT msgEnd) {
    if (!m_pPlayback)
        m_pPlayback = NewPlayback();
    if (!m_pPlayback) {
        if (notify)
            platform::PostMessage(notify, msgEnd, kPlayFailed, 0);
        return true;
    }
    return m_pPlayback->Start(WideToAnsi(path), nativeWindow, notify, msgEnd);
}

void CVideoPlayer::TogglePause() {
    if (m_pPlayback)
        m_pPlayback->TogglePause();
}

void CVideoPlayer::Stop() {
    if (m_pPlayback)
        m_pPlayback->Stop();
}

SVideoPlayStats CVideoPlayer::GetStats() const { return m_pPlayback ? m_pPlayback->GetStats() : SVideoPlayStats(); }
