// Avatar pictures at stable URLs "/avatar/<name>.png": a round face on a plain background,
// its colours derived from the name, so the same URL always gives the same PNG bytes.
#include <zlib.h>

#include <cstdint>

#include "routes.h"

namespace demo {

namespace {

void PutU32(std::string& out, uint32_t v) {
    out += static_cast<char>(v >> 24);
    out += static_cast<char>(v >> 16);
    out += static_cast<char>(v >> 8);
    out += static_cast<char>(v);
}

void PutChunk(std::string& out, const char* type, const std::string& data) {
    PutU32(out, static_cast<uint32_t>(data.size()));
    std::string body = std::string(type, 4) + data;
    out += body;
    PutU32(out, static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()))));
}

} // namespace

std::string MakeAvatarPng(const std::string& name, int size) {
    uint32_t h = 2166136261u;
    for (unsigned char c : name)
        h = (h ^ c) * 16777619u;
    const uint8_t bg[3] = {static_cast<uint8_t>(160 + (h & 0x3F)), static_cast<uint8_t>(160 + ((h >> 6) & 0x3F)),
                           static_cast<uint8_t>(160 + ((h >> 12) & 0x3F))};
    const uint8_t fg[3] = {static_cast<uint8_t>((h >> 18) & 0x7F), static_cast<uint8_t>((h >> 22) & 0x7F),
                           static_cast<uint8_t>(64 + ((h >> 26) & 0x3F))};
    std::string raw;
    const double r = size * 0.38, cx = size / 2.0, cy = size / 2.0;
    for (int y = 0; y < size; ++y) {
        raw += '\0'; // no filter
        for (int x = 0; x < size; ++x) {
            double dx = x + 0.5 - cx, dy = y + 0.5 - cy;
            const uint8_t* c = dx * dx + dy * dy <= r * r ? fg : bg;
            raw.append(reinterpret_cast<const char*>(c), 3);
        }
    }
    uLongf zlen = compressBound(static_cast<uLong>(raw.size()));
    std::string z(zlen, '\0');
    compress2(reinterpret_cast<Bytef*>(&z[0]), &zlen, reinterpret_cast<const Bytef*>(raw.data()),
              static_cast<uLong>(raw.size()), 9);
    z.resize(zlen);

    std::string png("\x89PNG\r\n\x1a\n", 8);
    std::string ihdr;
    PutU32(ihdr, static_cast<uint32_t>(size));
    PutU32(ihdr, static_cast<uint32_t>(size));
    ihdr += std::string("\x08\x02\x00\x00\x00", 5); // 8-bit RGB, no interlace
    PutChunk(png, "IHDR", ihdr);
    PutChunk(png, "IDAT", z);
    PutChunk(png, "IEND", std::string());
    return png;
}

void RegisterAvatarRoutes(httplib::Server& server, DemoState&) {
    server.Get(R"(/avatar/([A-Za-z0-9_\-]{1,64})\.png)", [](const httplib::Request& req, httplib::Response& res) {
        res.set_content(MakeAvatarPng(req.matches[1].str(), 64), "image/png");
        res.set_header("Cache-Control", "max-age=86400");
    });
}

} // namespace demo
