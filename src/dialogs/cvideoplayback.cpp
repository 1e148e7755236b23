#include "videoplayback.h"

#include <atomic>
#include <mutex>
#include <string>

#include <chrono>
#include <cmath>
#include <cstdio>

#include <SDL.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

namespace {

constexpr Uint32 kTickMs = 17;

// A window program has no console: these lines are seen under a debugger or with the output
// redirected, so each one is flushed at once.
template <typename... Args>
void Say(const char* format, Args... args) {
    std::printf(format, args...);
    std::fflush(stdout);
}

double NowMs() {
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

// Everything one playback holds, released in reverse order of acquisition whichever step the
// playback ended at.
struct SPlayback {
    AVFormatContext* pFormat = nullptr;
    AVCodecContext* pCodec = nullptr;
    AVFrame* pFrame = nullptr;     // the picture to show
    AVFrame* pReceived = nullptr;  // where the decoder hands pictures over
    AVFrame* pFrameYUV = nullptr;
    uint8_t* pBuffer = nullptr;
    SwsContext* pSws = nullptr;
    bool bSdl = false;
    SDL_Window* pWindow = nullptr;
    SDL_Renderer* pRenderer = nullptr;
    SDL_Texture* pTexture = nullptr;
    AVPacket* pPacket = nullptr;
    int nVideoIndex = -1;
    int nWidth = 0;
    int nHeight = 0;

    ~SPlayback() {
        av_packet_free(&pPacket);
        if (pTexture)
            SDL_DestroyTexture(pTexture);
        if (pRenderer)
            SDL_DestroyRenderer(pRenderer);
        // A window made from a foreign one is only unbound, never destroyed.
        if (pWindow)
            SDL_DestroyWindow(pWindow);
        if (bSdl)
            SDL_QuitSubSystem(SDL_INIT_TIMER | SDL_INIT_VIDEO);
        sws_freeContext(pSws);
        av_free(pBuffer);
        av_frame_free(&pFrameYUV);
        av_frame_free(&pReceived);
        av_frame_free(&pFrame);
        avcodec_free_context(&pCodec);
        avformat_close_input(&pFormat);
    }
};

} // namespace

// The playback engine behind CVideoPlayer, the only code of the program that calls FFmpeg
// and SDL video. A player thread decodes the file's first video stream and draws every picture
// into the native window; a refresh thread paces it at one picture per 17 ms tick.
class CVideoPlayback : public IVideoPlayback {
public:
    explicit CVideoPlayback(PostFn post) : m_fnPost(post) {}
    ~CVideoPlayback() override { Stop(); }

    bool Start(const std::string& path, uintptr_t nativeWindow, HWND notify, UINT msgEnd) override;
    void TogglePause() override;
    void Stop() override;
    bool IsStarted() const override { return m_pThread != nullptr; }
    SVideoPlayStats GetStats() const override;

private:
    static int VideoPlayThread(void* self);
    static int VideoRefreshThread(void* self);
    int Play();
    void NotePresented();

    PostFn m_fnPost;
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

extern "C" IVideoPlayback* CreateVideoPlayback(IVideoPlayback::PostFn post) { return new CVideoPlayback(post); }

bool CVideoPlayback::Start(const std::string& path, uintptr_t nativeWindow, HWND notify, UINT msgEnd) {
    if (m_pThread)
        return false;
    m_strPath = path;
    m_nWindow = nativeWindow;
    m_hNotify = notify;
    m_nMsgEnd = msgEnd;
    m_bStop = 0;
    m_bThreadExit = 0;
    m_bThreadPause = 0;
    {
        std::lock_guard<std::mutex> lock(m_csStats);
        m_Stats = SVideoPlayStats();
        m_dSumSq = 0;
    }
    m_pThread = SDL_CreateThread(&CVideoPlayback::VideoPlayThread, "VideoPlay", this);
    return m_pThread != nullptr;
}

void CVideoPlayback::TogglePause() {
    if (m_pThread)
        m_bThreadPause ^= 1;
}

void CVideoPlayback::Stop() {
    if (!m_pThread)
        return;
    m_bStop = 1;
    SDL_WaitThread(m_pThread, nullptr);
    m_pThread = nullptr;
}

SVideoPlayStats CVideoPlayback::GetStats() const {
    std::lock_guard<std::mutex> lock(m_csStats);
    return m_Stats;
}

void CVideoPlayback::NotePresented() {
    double now = NowMs();
    std::lock_guard<std::mutex> lock(m_csStats);
    if (m_Stats.nFrames > 0) {
        double interval = now - m_dLastPresentMs;
        int n = m_Stats.nFrames; // intervals so far, after this one
        m_Stats.dMeanIntervalMs += (interval - m_Stats.dMeanIntervalMs) / n;
        m_dSumSq += interval * interval;
        double var = m_dSumSq / n - m_Stats.dMeanIntervalMs * m_Stats.dMeanIntervalMs;
        m_Stats.dStdDevIntervalMs = var > 0 ? std::sqrt(var) : 0;
    }
    m_dLastPresentMs = now;
    ++m_Stats.nFrames;
}

int CVideoPlayback::VideoPlayThread(void* self) {
    auto* player = static_cast<CVideoPlayback*>(self);
    if (!player)
        return 0;
    int result = player->Play();
    WPARAM code = result < 0 ? kPlayFailed : player->m_bStop ? kPlayStopped : kPlayedToEnd;
    if (player->m_hNotify)
        player->m_fnPost(player->m_hNotify, player->m_nMsgEnd, code, 0);
    return result;
}

int CVideoPlayback::VideoRefreshThread(void* self) {
    auto* player = static_cast<CVideoPlayback*>(self);
    player->m_bThreadExit = 0;
    player->m_bThreadPause = 0;
    while (!player->m_bThreadExit && !player->m_bStop) {
        if (!player->m_bThreadPause) {
            SDL_Event ev{};
            ev.type = SFM_REFRESH_EVENT;
            SDL_PushEvent(&ev);
            SDL_SemPost(player->m_pWake);
        }
        SDL_Delay(kTickMs);
    }
    player->m_bThreadExit = 0;
    player->m_bThreadPause = 0;
    SDL_Event ev{};
    ev.type = SFM_BREAK_EVENT;
    SDL_PushEvent(&ev);
    SDL_SemPost(player->m_pWake);
    return 0;
}

namespace {

// Scales the decoded picture into the output frame and shows it stretched over the window.
bool ShowPicture(SPlayback& pb) {
    AVFrame* f = pb.pFrame;
    // A stream may change its picture size or format; the output frame keeps the first size.
    pb.pSws = sws_getCachedContext(pb.pSws, f->width, f->height, static_cast<AVPixelFormat>(f->format), pb.nWidth,
                                   pb.nHeight, AV_PIX_FMT_YUV420P, SWS_BICUBIC, nullptr, nullptr, nullptr);
    if (!pb.pSws)
        return false;
    sws_scale(pb.pSws, f->data, f->linesize, 0, f->height, pb.pFrameYUV->data, pb.pFrameYUV->linesize);
    SDL_UpdateYUVTexture(pb.pTexture, nullptr, pb.pFrameYUV->data[0], pb.pFrameYUV->linesize[0],
                         pb.pFrameYUV->data[1], pb.pFrameYUV->linesize[1], pb.pFrameYUV->data[2],
                         pb.pFrameYUV->linesize[2]);
    SDL_RenderClear(pb.pRenderer);
    SDL_RenderCopy(pb.pRenderer, pb.pTexture, nullptr, nullptr);
    SDL_RenderPresent(pb.pRenderer);
    return true;
}

struct STick {
    bool bShown = false; // a picture was presented
    bool bEnd = false;   // the input has ended
    bool bError = false; // the decoder refused the stream
};

// Takes every picture the decoder has ready; the last one is shown.
bool ReceiveAndShow(SPlayback& pb, STick& tick) {
    bool got = false;
    int r;
    while ((r = avcodec_receive_frame(pb.pCodec, pb.pReceived)) == 0) {
        av_frame_unref(pb.pFrame);
        av_frame_move_ref(pb.pFrame, pb.pReceived);
        got = true;
    }
    if (got && ShowPicture(pb))
        tick.bShown = true;
    return r == AVERROR(EAGAIN) || r == AVERROR_EOF;
}

// One refresh tick: reads up to the next packet of the video stream and decodes it. At the end
// of the input the decoder is drained, so the pictures it still holds are not lost.
STick ReadAndShow(SPlayback& pb) {
    STick tick;
    for (;;) {
        if (av_read_frame(pb.pFormat, pb.pPacket) < 0) {
            tick.bEnd = true;
            if (avcodec_send_packet(pb.pCodec, nullptr) == 0)
                ReceiveAndShow(pb, tick);
            return tick;
        }
        if (pb.pPacket->stream_index == pb.nVideoIndex)
            break;
        av_packet_unref(pb.pPacket);
    }
    int r = avcodec_send_packet(pb.pCodec, pb.pPacket);
    av_packet_unref(pb.pPacket);
    if (r < 0 || !ReceiveAndShow(pb, tick))
        tick.bError = true;
    return tick;
}

} // namespace

int CVideoPlayback::Play() {
    SPlayback pb;
    const char* path = m_strPath.c_str();
    if (avformat_open_input(&pb.pFormat, path, nullptr, nullptr) != 0) {
        Say("Couldn't open input stream.\n");
        return -1;
    }
    if (avformat_find_stream_info(pb.pFormat, nullptr) < 0) {
        Say("Couldn't find stream information.\n");
        return -1;
    }
    for (unsigned i = 0; i < pb.pFormat->nb_streams; ++i) {
        if (pb.pFormat->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
            pb.nVideoIndex = static_cast<int>(i);
            break;
        }
    }
    if (pb.nVideoIndex < 0) {
        Say("Didn't find a video stream.\n");
        return -1;
    }
    const AVCodecParameters* par = pb.pFormat->streams[pb.nVideoIndex]->codecpar;
    const AVCodec* codec = avcodec_find_decoder(par->codec_id);
    if (!codec) {
        Say("Codec not found.\n");
        return -1;
    }
    pb.pCodec = avcodec_alloc_context3(codec);
    // A stream without a picture size cannot be shown, whatever its codec says.
    if (!pb.pCodec || avcodec_parameters_to_context(pb.pCodec, par) < 0 ||
        avcodec_open2(pb.pCodec, codec, nullptr) < 0 || pb.pCodec->width <= 0 || pb.pCodec->height <= 0) {
        Say("Could not open codec.\n");
        return -1;
    }
    pb.nWidth = pb.pCodec->width;
    pb.nHeight = pb.pCodec->height;

    pb.pFrame = av_frame_alloc();
    pb.pReceived = av_frame_alloc();
    pb.pFrameYUV = av_frame_alloc();
    int size = av_image_get_buffer_size(AV_PIX_FMT_YUV420P, pb.nWidth, pb.nHeight, 1);
    pb.pBuffer = size > 0 ? static_cast<uint8_t*>(av_malloc(size)) : nullptr;
    if (!pb.pFrame || !pb.pReceived || !pb.pFrameYUV || !pb.pBuffer)
        return -1;
    av_image_fill_arrays(pb.pFrameYUV->data, pb.pFrameYUV->linesize, pb.pBuffer, AV_PIX_FMT_YUV420P, pb.nWidth,
                         pb.nHeight, 1);

    Say("---------------- File Information ---------------\n");
    av_dump_format(pb.pFormat, 0, path, 0);
    Say("-------------------------------------------------\n");

    pb.pSws = sws_getContext(pb.nWidth, pb.nHeight, pb.pCodec->pix_fmt, pb.nWidth, pb.nHeight, AV_PIX_FMT_YUV420P,
                             SWS_BICUBIC, nullptr, nullptr, nullptr);

    // SDL must neither take over the program's signals nor keep the screen saver away.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
    if (SDL_InitSubSystem(SDL_INIT_TIMER | SDL_INIT_VIDEO) != 0) {
        Say("Could not initialize SDL - %s\n", SDL_GetError());
        return -1;
    }
    pb.bSdl = true;
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "1");
    if (m_nWindow)
        pb.pWindow = SDL_CreateWindowFrom(reinterpret_cast<const void*>(m_nWindow));
    else
        SDL_SetError("no native window");
    if (!pb.pWindow) {
        Say("SDL: could not create window - exiting:%s\n", SDL_GetError());
        return -1;
    }
    int screenW = 0, screenH = 0;
    SDL_GetWindowSize(pb.pWindow, &screenW, &screenH);
    pb.pRenderer = SDL_CreateRenderer(pb.pWindow, -1, 0);
    if (pb.pRenderer)
        pb.pTexture = SDL_CreateTexture(pb.pRenderer, SDL_PIXELFORMAT_IYUV, SDL_TEXTUREACCESS_STREAMING, pb.nWidth,
                                        pb.nHeight);
    if (!pb.pTexture) {
        Say("SDL: could not create renderer - exiting:%s\n", SDL_GetError());
        return -1;
    }

    pb.pPacket = av_packet_alloc();
    // SDL wakes a waiting event loop by a message to the window, and a message to a foreign
    // window goes to the program that made it, not to SDL: SDL_WaitEvent would sleep through the
    // pushed ticks. So the refresh thread also posts this semaphore, and the loop polls.
    m_pWake = SDL_CreateSemaphore(0);
    SDL_Thread* refresh = pb.pPacket && m_pWake ? SDL_CreateThread(&CVideoPlayback::VideoRefreshThread, "VideoRefresh", this)
                                                : nullptr;
    if (!refresh) {
        if (m_pWake)
            SDL_DestroySemaphore(m_pWake);
        m_pWake = nullptr;
        return -1;
    }

    int result = 0;
    bool running = true;
    while (running) {
        // The timeout only bounds how long the window's own events may wait.
        SDL_SemWaitTimeout(m_pWake, 100);
        SDL_Event ev;
        while (running && SDL_PollEvent(&ev)) {
            // A player that falls behind has ticks queued up: those must neither move a paused
            // picture nor hold up the owner's stop.
            if (m_bStop) {
                running = false;
            } else if (ev.type == SFM_REFRESH_EVENT && !m_bThreadPause) {
                STick tick = ReadAndShow(pb);
                if (tick.bShown)
                    NotePresented();
                if (tick.bError) {
                    Say("Decode Error.\n");
                    result = -1;
                    running = false;
                } else if (tick.bEnd) {
                    m_bThreadExit = 1;
                }
            } else if (ev.type == SDL_KEYDOWN && ev.key.keysym.sym == SDLK_SPACE) {
                m_bThreadPause ^= 1;
            } else if (ev.type == SDL_QUIT) {
                m_bThreadExit = 1;
            } else if (ev.type == SFM_BREAK_EVENT) {
                running = false;
            }
        }
    }
    // After an error the refresh thread would go on pushing ticks nobody reads: end it, and
    // leave no tick of this playback for the next one.
    m_bThreadExit = 1;
    SDL_WaitThread(refresh, nullptr);
    SDL_FlushEvents(SFM_REFRESH_EVENT, SFM_BREAK_EVENT);
    SDL_DestroySemaphore(m_pWake);
    m_pWake = nullptr;
    return result;
}
