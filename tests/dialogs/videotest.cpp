#include "videotest.h"

// Qt first: the X11 headers define macros (Bool, Status) that Qt's headers refuse to follow.
#include "support/qtwait.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

bool MakeClip(const std::string& path, const std::string& args) {
    std::string cmd = std::string(SHOPDESK_MAKE_VIDEO) + " '" + path + "' " + args + " >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
}

std::vector<SPicture> DecodeAllPictures(const std::string& path) {
    std::vector<SPicture> out;
    AVFormatContext* fmt = nullptr;
    if (avformat_open_input(&fmt, path.c_str(), nullptr, nullptr) != 0)
        return out;
    avformat_find_stream_info(fmt, nullptr);
    int index = av_find_best_stream(fmt, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (index < 0) {
        avformat_close_input(&fmt);
        return out;
    }
    const AVCodec* codec = avcodec_find_decoder(fmt->streams[index]->codecpar->codec_id);
    AVCodecContext* dec = avcodec_alloc_context3(codec);
    avcodec_parameters_to_context(dec, fmt->streams[index]->codecpar);
    avcodec_open2(dec, codec, nullptr);
    AVPacket* pkt = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    SwsContext* sws = nullptr;
    auto take = [&] {
        while (avcodec_receive_frame(dec, frame) == 0) {
            SPicture p;
            p.width = frame->width;
            p.height = frame->height;
            p.pixels.resize(size_t(p.width) * p.height);
            sws = sws_getCachedContext(sws, frame->width, frame->height, AVPixelFormat(frame->format), p.width,
                                       p.height, AV_PIX_FMT_RGB32, SWS_POINT, nullptr, nullptr, nullptr);
            uint8_t* dst[4] = {reinterpret_cast<uint8_t*>(p.pixels.data()), nullptr, nullptr, nullptr};
            int stride[4] = {p.width * 4, 0, 0, 0};
            sws_scale(sws, frame->data, frame->linesize, 0, frame->height, dst, stride);
            for (uint32_t& px : p.pixels)
                px &= 0xFFFFFF;
            out.push_back(std::move(p));
        }
    };
    while (av_read_frame(fmt, pkt) >= 0) {
        if (pkt->stream_index == index && avcodec_send_packet(dec, pkt) == 0)
            take();
        av_packet_unref(pkt);
    }
    avcodec_send_packet(dec, nullptr);
    take();
    sws_freeContext(sws);
    av_frame_free(&frame);
    av_packet_free(&pkt);
    avcodec_free_context(&dec);
    avformat_close_input(&fmt);
    return out;
}

double PictureDistance(const SPicture& a, const SPicture& b, int step) {
    if (a.width != b.width || a.height != b.height || a.pixels.empty())
        return 255;
    int64_t sum = 0, n = 0;
    for (int y = 0; y < a.height; y += step) {
        for (int x = 0; x < a.width; x += step, ++n) {
            uint32_t p = a.pixels[size_t(y) * a.width + x], q = b.pixels[size_t(y) * a.width + x];
            sum += std::abs(int(p & 0xFF) - int(q & 0xFF)) + std::abs(int((p >> 8) & 0xFF) - int((q >> 8) & 0xFF)) +
                   std::abs(int(p >> 16) - int(q >> 16));
        }
    }
    return double(sum) / (n * 3.0);
}

bool IsLastPicture(const std::vector<SPicture>& pictures, const SPicture& shown, double tolerance) {
    if (pictures.size() < 2)
        return false;
    double last = PictureDistance(shown, pictures.back());
    return last < tolerance && last < PictureDistance(shown, pictures[pictures.size() - 2]);
}

int NearestPicture(const std::vector<SPicture>& pictures, const SPicture& shown, double* distance) {
    int best = -1;
    double bestD = 1e9;
    for (size_t i = 0; i < pictures.size(); ++i) {
        double d = PictureDistance(pictures[i], shown, 3);
        if (d < bestD)
            bestD = d, best = int(i);
    }
    if (distance)
        *distance = bestD;
    return best;
}

void CopyFileHead(const std::string& from, const std::string& to, size_t keep) {
    std::ifstream in(from, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::ofstream(to, std::ios::binary) << bytes.substr(0, std::min(keep, bytes.size()));
}

CX11::CX11() : m_display(XOpenDisplay(nullptr)) {}

CX11::~CX11() {
    if (m_display)
        XCloseDisplay(static_cast<Display*>(m_display));
}

uintptr_t CX11::CreateWindow(int width, int height) {
    auto* d = static_cast<Display*>(m_display);
    Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, width, height, 0, 0, BlackPixel(d, DefaultScreen(d)));
    XSelectInput(d, w, StructureNotifyMask);
    XMapWindow(d, w);
    XEvent ev;
    do
        XNextEvent(d, &ev);
    while (ev.type != MapNotify);
    XSync(d, False);
    return w;
}

void CX11::DestroyWindow(uintptr_t window) {
    XDestroyWindow(static_cast<Display*>(m_display), window);
    XSync(static_cast<Display*>(m_display), False);
}

SPicture CX11::Capture(uintptr_t window) {
    auto* d = static_cast<Display*>(m_display);
    SPicture p;
    XWindowAttributes attr;
    if (!XGetWindowAttributes(d, window, &attr))
        return p;
    XImage* img = XGetImage(d, window, 0, 0, attr.width, attr.height, AllPlanes, ZPixmap);
    if (!img)
        return p;
    p.width = attr.width;
    p.height = attr.height;
    p.pixels.resize(size_t(p.width) * p.height);
    for (int y = 0; y < p.height; ++y) {
        uint32_t* row = &p.pixels[size_t(y) * p.width];
        if (img->bits_per_pixel == 32 && img->byte_order == LSBFirst) {
            const auto* src = reinterpret_cast<const uint32_t*>(img->data + size_t(y) * img->bytes_per_line);
            for (int x = 0; x < p.width; ++x)
                row[x] = src[x] & 0xFFFFFF;
        } else {
            for (int x = 0; x < p.width; ++x)
                row[x] = XGetPixel(img, x, y) & 0xFFFFFF;
        }
    }
    XDestroyImage(img);
    return p;
}

bool WaitForPicture(CX11& x, uintptr_t window, int ms) {
    return WaitFor(
        [&] {
            SPicture p = x.Capture(window);
            for (uint32_t px : p.pixels)
                if (px)
                    return true;
            return false;
        },
        ms);
}

void ExpectPauseAndResume(CX11& x, uintptr_t window, const std::vector<SPicture>& pictures,
                          const std::function<void()>& toggle) {
    toggle();
    SPicture paused;
    EXPECT_TRUE(WaitFor(
        [&] {
            paused = x.Capture(window);
            Pump(60);
            return x.Capture(window) == paused;
        },
        1000));
    Pump(300);
    EXPECT_EQ(x.Capture(window), paused) << "a paused video must not move";
    EXPECT_LT(NearestPicture(pictures, paused, nullptr), int(pictures.size()) - 10) << "paused before the end";
    toggle();
    EXPECT_TRUE(WaitFor([&] { return !(x.Capture(window) == paused); }, 1000)) << "resumed";
}

bool WaitForChange(CX11& x, uintptr_t window, int ms) {
    SPicture before = x.Capture(window);
    return WaitFor([&] { return !(x.Capture(window) == before); }, ms);
}
