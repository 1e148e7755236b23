// Makes the first-use guidance video: a sketch of the workbench's title bar and of the desktop's
// tray, with a pulsing ring that points in turn at the message center, the settings and the tray
// icon, each with a caption. Every frame is drawn with QPainter and encoded with FFmpeg's own
// MPEG-4 and AAC encoders in bit-exact mode, so the same source makes the same file.
//
//   shopdesk-make-video OUTPUT.mov [--seconds S] [--no-video] [--no-audio]
//   shopdesk-make-video --poster OUTPUT.png
//
// The poster is the guidance window's still picture, shown before the video starts.
// The audio track is silence: the workbench never plays it, and a file that carries one shows
// that it does not need to. --seconds, --no-video and --no-audio make the short and broken
// variants the tests need.
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

namespace {

constexpr int kWidth = 581;
constexpr int kHeight = 404;
// One frame per tick of the player (17 ms), so the file plays for about its nominal length.
constexpr int kFps = 60;
constexpr int kSampleRate = 22050;

struct Scene {
    QPointF target;
    const char* title;
    const char* text;
};

// Where the sketch puts the three things the video points at.
const Scene kScenes[] = {
    {{340, 34}, "消息中心", "订单、日报、商品、评价、系统与退款通知都在这里，可按店铺订阅"},
    {{424, 34}, "设置", "开机启动、自动登录，以及每类消息的弹窗与声音提醒"},
    {{548, 386}, "托盘图标", "有未读会话时图标闪烁；鼠标停在图标上可查看并打开会话"},
};

QFont Font(int px, bool bold = false) {
    QFont f("Noto Sans CJK SC");
    f.setPixelSize(px);
    f.setBold(bold);
    return f;
}

// The still part of every frame: title bar, a console body and the desktop's task bar.
void DrawBackdrop(QPainter& p) {
    p.fillRect(0, 0, kWidth, kHeight, QColor(0xE9, 0xEE, 0xF4));
    p.fillRect(10, 12, kWidth - 20, 300, QColor(0xF3, 0xF5, 0xF8));
    p.fillRect(10, 12, kWidth - 20, 44, QColor(0x1F, 0x7A, 0xEC));
    p.setPen(Qt::white);
    p.setFont(Font(15, true));
    p.drawText(QRectF(24, 12, 200, 44), Qt::AlignVCenter, "塔铎工作台");
    p.setFont(Font(13));
    p.drawText(QRectF(296, 12, 88, 44), Qt::AlignCenter, "✉ 消息中心");
    const char* buttons[] = {"⚙", "—", "□", "✕"};
    for (int i = 0; i < 4; ++i)
        p.drawText(QRectF(402 + i * 44, 12, 44, 44), Qt::AlignCenter, buttons[i]);
    // Console rows.
    for (int i = 0; i < 6; ++i) {
        p.fillRect(24, 72 + i * 38, 150, 28, QColor(0xFF, 0xFF, 0xFF));
        p.fillRect(190, 72 + i * 38, 360 - (i % 3) * 40, 28, QColor(0xFF, 0xFF, 0xFF));
    }
    // Task bar with the tray area at its right end.
    p.fillRect(0, kHeight - 36, kWidth, 36, QColor(0x20, 0x30, 0x40));
    p.fillRect(kWidth - 120, kHeight - 32, 116, 28, QColor(0x2C, 0x40, 0x55));
    p.setBrush(QColor(0x1F, 0x7A, 0xEC));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(548, 386), 9, 9);
    p.setBrush(QColor(0x9A, 0xA5, 0xB1));
    p.drawEllipse(QPointF(522, 386), 7, 7);
    p.drawEllipse(QPointF(500, 386), 7, 7);
}

void DrawFrame(QImage& img, int frame, int frames) {
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    DrawBackdrop(p);
    const int perScene = std::max(1, frames / 3);
    const int sceneIndex = std::min(2, frame / perScene);
    const Scene& s = kScenes[sceneIndex];
    const double t = double(frame % perScene) / kFps;
    // A ring that pulses twice a second around the target.
    const double pulse = 0.5 + 0.5 * std::sin(t * 2 * M_PI * 2);
    QPen ring(QColor(0xFF, 0x8A, 0x00), 3 + 2 * pulse);
    p.setPen(ring);
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(s.target, 26 + 8 * pulse, 20 + 6 * pulse);
    // Caption card, placed away from the target.
    QRectF card(40, sceneIndex == 2 ? 200 : 120, kWidth - 80, 110);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 170));
    p.drawRoundedRect(card, 10, 10);
    p.setPen(QColor(0xFF, 0xC0, 0x60));
    p.setFont(Font(22, true));
    p.drawText(card.adjusted(20, 12, -20, -60), Qt::AlignLeft | Qt::AlignVCenter,
               QString::fromUtf8(s.title) + QString(" (%1/3)").arg(sceneIndex + 1));
    p.setPen(Qt::white);
    p.setFont(Font(15));
    p.drawText(card.adjusted(20, 52, -20, -8), Qt::AlignLeft | Qt::TextWordWrap, QString::fromUtf8(s.text));
    // Progress along the bottom of the card: changes every frame.
    p.fillRect(QRectF(card.left() + 20, card.bottom() - 8, (card.width() - 40) * (frame + 1) / frames, 3),
               QColor(0xFF, 0x8A, 0x00));
}

// The still picture: the same sketch, dimmed, with a play sign and the invitation.
bool MakePoster(const std::string& path) {
    QImage img(kWidth, kHeight, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    DrawBackdrop(p);
    p.fillRect(0, 0, kWidth, kHeight, QColor(0x10, 0x20, 0x30, 150));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 230));
    p.drawEllipse(QPointF(kWidth / 2.0, 170), 44, 44);
    p.setBrush(QColor(0x1F, 0x7A, 0xEC));
    QPolygonF play;
    play << QPointF(kWidth / 2.0 - 14, 148) << QPointF(kWidth / 2.0 - 14, 192) << QPointF(kWidth / 2.0 + 22, 170);
    p.drawPolygon(play);
    p.setPen(Qt::white);
    p.setFont(Font(24, true));
    p.drawText(QRectF(0, 232, kWidth, 40), Qt::AlignCenter, "欢迎使用塔铎工作台");
    p.setFont(Font(15));
    p.drawText(QRectF(0, 274, kWidth, 30), Qt::AlignCenter, "用 15 秒认识消息中心、设置和托盘图标");
    p.end();
    return img.save(QString::fromStdString(path), "PNG");
}

struct Output {
    AVFormatContext* fmt = nullptr;
    AVCodecContext* video = nullptr;
    AVCodecContext* audio = nullptr;
    AVStream* vstream = nullptr;
    AVStream* astream = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* pkt = nullptr;

    ~Output() {
        avcodec_free_context(&video);
        avcodec_free_context(&audio);
        av_frame_free(&frame);
        av_packet_free(&pkt);
        if (fmt) {
            if (fmt->pb)
                avio_closep(&fmt->pb);
            avformat_free_context(fmt);
        }
    }
};

bool Fail(const char* what) {
    std::fprintf(stderr, "shopdesk-make-video: %s\n", what);
    return false;
}

AVCodecContext* OpenEncoder(Output& out, AVCodecID id, AVStream** stream) {
    const AVCodec* codec = avcodec_find_encoder(id);
    if (!codec)
        return nullptr;
    AVCodecContext* c = avcodec_alloc_context3(codec);
    c->flags |= AV_CODEC_FLAG_BITEXACT;
    if (out.fmt->oformat->flags & AVFMT_GLOBALHEADER)
        c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (id == AV_CODEC_ID_MPEG4) {
        c->width = kWidth;
        c->height = kHeight;
        c->pix_fmt = AV_PIX_FMT_YUV420P;
        c->time_base = AVRational{1, kFps};
        c->framerate = AVRational{kFps, 1};
        c->gop_size = kFps;
        c->max_b_frames = 0;
        c->flags |= AV_CODEC_FLAG_QSCALE;
        c->global_quality = FF_QP2LAMBDA * 5;
    } else {
        c->sample_fmt = AV_SAMPLE_FMT_FLTP;
        c->sample_rate = kSampleRate;
        c->bit_rate = 16000;
        av_channel_layout_default(&c->ch_layout, 1);
        c->time_base = AVRational{1, kSampleRate};
    }
    if (avcodec_open2(c, codec, nullptr) < 0) {
        avcodec_free_context(&c);
        return nullptr;
    }
    *stream = avformat_new_stream(out.fmt, nullptr);
    (*stream)->time_base = c->time_base;
    avcodec_parameters_from_context((*stream)->codecpar, c);
    return c;
}

// Sends one frame (none flushes) and writes every packet that comes out.
bool Encode(Output& out, AVCodecContext* c, AVStream* st, AVFrame* f) {
    if (avcodec_send_frame(c, f) < 0)
        return false;
    for (;;) {
        int r = avcodec_receive_packet(c, out.pkt);
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF)
            return true;
        if (r < 0)
            return false;
        av_packet_rescale_ts(out.pkt, c->time_base, st->time_base);
        out.pkt->stream_index = st->index;
        if (av_interleaved_write_frame(out.fmt, out.pkt) < 0)
            return false;
    }
}

bool WriteVideoFrame(Output& out, const QImage& img, int index) {
    AVFrame* f = out.frame;
    av_frame_unref(f);
    f->format = AV_PIX_FMT_YUV420P;
    f->width = kWidth;
    f->height = kHeight;
    if (av_frame_get_buffer(f, 0) < 0)
        return false;
    // BT.601 limited range, the decoder's default reading of untagged MPEG-4.
    for (int y = 0; y < kHeight; ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        for (int x = 0; x < kWidth; ++x) {
            int r = qRed(row[x]), g = qGreen(row[x]), b = qBlue(row[x]);
            f->data[0][y * f->linesize[0] + x] = uint8_t((66 * r + 129 * g + 25 * b + 128) / 256 + 16);
        }
    }
    for (int y = 0; y < (kHeight + 1) / 2; ++y) {
        for (int x = 0; x < (kWidth + 1) / 2; ++x) {
            int r = 0, g = 0, b = 0, n = 0;
            for (int dy = 0; dy < 2; ++dy)
                for (int dx = 0; dx < 2; ++dx) {
                    int sx = std::min(kWidth - 1, 2 * x + dx), sy = std::min(kHeight - 1, 2 * y + dy);
                    QRgb c = reinterpret_cast<const QRgb*>(img.constScanLine(sy))[sx];
                    r += qRed(c), g += qGreen(c), b += qBlue(c), ++n;
                }
            r /= n, g /= n, b /= n;
            f->data[1][y * f->linesize[1] + x] = uint8_t((-38 * r - 74 * g + 112 * b + 128) / 256 + 128);
            f->data[2][y * f->linesize[2] + x] = uint8_t((112 * r - 94 * g - 18 * b + 128) / 256 + 128);
        }
    }
    f->pts = index;
    return Encode(out, out.video, out.vstream, f);
}

bool WriteSilence(Output& out, int64_t& samples) {
    AVFrame* f = out.frame;
    av_frame_unref(f);
    f->format = out.audio->sample_fmt;
    f->sample_rate = out.audio->sample_rate;
    av_channel_layout_copy(&f->ch_layout, &out.audio->ch_layout);
    f->nb_samples = out.audio->frame_size;
    if (av_frame_get_buffer(f, 0) < 0)
        return false;
    std::memset(f->data[0], 0, sizeof(float) * f->nb_samples);
    f->pts = samples;
    samples += f->nb_samples;
    return Encode(out, out.audio, out.astream, f);
}

bool Make(const std::string& path, double seconds, bool withVideo, bool withAudio) {
    Output out;
    if (avformat_alloc_output_context2(&out.fmt, nullptr, "mov", path.c_str()) < 0)
        return Fail("no mov muxer");
    out.fmt->flags |= AVFMT_FLAG_BITEXACT;
    if (withVideo && !(out.video = OpenEncoder(out, AV_CODEC_ID_MPEG4, &out.vstream)))
        return Fail("no MPEG-4 encoder");
    if (withAudio && !(out.audio = OpenEncoder(out, AV_CODEC_ID_AAC, &out.astream)))
        return Fail("no AAC encoder");
    out.frame = av_frame_alloc();
    out.pkt = av_packet_alloc();
    if (avio_open(&out.fmt->pb, path.c_str(), AVIO_FLAG_WRITE) < 0)
        return Fail("cannot write the output file");
    if (avformat_write_header(out.fmt, nullptr) < 0)
        return Fail("cannot write the header");

    const int frames = std::max(1, int(std::lround(seconds * kFps)));
    const int64_t totalSamples = int64_t(std::lround(seconds * kSampleRate));
    int64_t samples = 0;
    QImage img(kWidth, kHeight, QImage::Format_RGB32);
    for (int i = 0; i < frames || (out.audio && samples < totalSamples);) {
        // Audio keeps pace with the video so the muxer interleaves them closely.
        bool audioDue = out.audio && samples < totalSamples &&
                        (!out.video || i >= frames || samples * kFps < int64_t(i) * kSampleRate);
        if (audioDue) {
            if (!WriteSilence(out, samples))
                return Fail("audio encoding failed");
            continue;
        }
        if (out.video) {
            DrawFrame(img, i, frames);
            if (!WriteVideoFrame(out, img, i))
                return Fail("video encoding failed");
        }
        ++i;
    }
    if ((out.video && !Encode(out, out.video, out.vstream, nullptr)) ||
        (out.audio && !Encode(out, out.audio, out.astream, nullptr)))
        return Fail("flushing the encoders failed");
    if (av_write_trailer(out.fmt) < 0)
        return Fail("cannot write the trailer");
    return true;
}

} // namespace

int main(int argc, char** argv) {
    std::string path, poster;
    double seconds = 15;
    bool withVideo = true, withAudio = true, bad = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--seconds" && i + 1 < argc)
            seconds = std::atof(argv[++i]);
        else if (a == "--no-video")
            withVideo = false;
        else if (a == "--no-audio")
            withAudio = false;
        else if (a == "--poster" && i + 1 < argc)
            poster = argv[++i];
        else if (path.empty() && a[0] != '-')
            path = a;
        else
            bad = true;
    }
    if (bad || (path.empty() == poster.empty()) || seconds <= 0 || (!withVideo && !withAudio)) {
        std::fprintf(stderr, "usage: shopdesk-make-video OUTPUT.mov [--seconds S] [--no-video] [--no-audio]\n"
                             "       shopdesk-make-video --poster OUTPUT.png\n");
        return 2;
    }
    // Drawing text needs a GUI application, not a screen.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (!poster.empty())
        return MakePoster(poster) ? 0 : 1;
    return Make(path, seconds, withVideo, withAudio) ? 0 : 1;
}
