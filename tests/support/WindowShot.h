#pragma once
// Screenshots of windows for the window tests: the pixels of a window's
// rectangle as the screen shows it, sampled by the tests and kept as PNG
// files under build/artifacts/.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class WindowShot {
public:
    // The window's whole rectangle (frame included) from the screen; false
    // when it cannot be read.
    bool Capture(HWND window);
    int Width() const { return width_; }
    int Height() const { return height_; }
    // A pixel by client coordinates of the captured window (RGB()-style value).
    COLORREF ClientPixel(int x, int y) const;
    // Distinct colours of the capture, counted up to `enough`: a window that
    // is not painted yet shows one or two.
    size_t Colours(size_t enough) const;
    bool SavePng(const std::string& path) const;

private:
    int width_ = 0;
    int height_ = 0;
    POINT clientOrigin_{};  // client (0,0) inside the capture
    std::vector<uint32_t> pixels_;  // 0x00RRGGBB, rows from the top
};

// build/artifacts/ of the build the test program belongs to (created).
std::string ArtifactsFolder();
