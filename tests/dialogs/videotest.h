#pragma once
// What the guidance video tests share: clips made by the video tool, the pictures of a file
// decoded here independently of the player, and the pixels an X11 window shows.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// One picture as 0x00RRGGBB pixels, row after row.
struct SPicture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
    bool operator==(const SPicture& o) const { return width == o.width && height == o.height && pixels == o.pixels; }
};

// Runs the video tool: `args` after the output path ("--seconds 1", "--no-video"). Whether it
// made the file.
bool MakeClip(const std::string& path, const std::string& args);
// Every picture of the file's first video stream, converted to RGB at its own size.
std::vector<SPicture> DecodeAllPictures(const std::string& path);
// Mean absolute difference per colour channel (0..255) over every `step`-th row and column;
// 255 when the sizes differ.
double PictureDistance(const SPicture& a, const SPicture& b, int step = 1);
// The index of the picture of `pictures` nearest to `shown`, and that distance. Compares every
// third row and column, which tells neighbouring pictures apart only roughly.
int NearestPicture(const std::vector<SPicture>& pictures, const SPicture& shown, double* distance);
// Whether `shown` is the last of `pictures`, compared at full resolution.
bool IsLastPicture(const std::vector<SPicture>& pictures, const SPicture& shown, double tolerance);
// Text of a file, or its bytes cut to `keep` of them.
void CopyFileHead(const std::string& from, const std::string& to, size_t keep);

// A plain X11 connection for the tests' own windows and for reading what a window shows.
class CX11 {
public:
    CX11();
    ~CX11();
    bool IsOpen() const { return m_display != nullptr; }
    // A mapped top-level window of this size, black until someone draws into it.
    uintptr_t CreateWindow(int width, int height);
    void DestroyWindow(uintptr_t window);
    // The window's current pixels.
    SPicture Capture(uintptr_t window);

private:
    void* m_display = nullptr;
};

// Waits (running the Qt event loop) until the window shows something other than black.
bool WaitForPicture(CX11& x, uintptr_t window, int ms);
// Waits until the window's pixels differ from what it shows now.
bool WaitForChange(CX11& x, uintptr_t window, int ms);
// Expects the first `toggle` to freeze the window's picture (ticks already queued may still land
// first) well before the last of `pictures`, and the second to set it moving again.
void ExpectPauseAndResume(CX11& x, uintptr_t window, const std::vector<SPicture>& pictures,
                          const std::function<void()>& toggle);
