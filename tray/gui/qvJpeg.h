#pragma once
// JPEG pictures of the tray's windows (pop-up logo, splash, about page, status
// window), decoded with libjpeg into 32-bit top-down DIB sections.
#include <windows.h>

#include <cstddef>
#include <string>

#include "qvGraphics.h"

// A decoded picture: pixels are blue, green, red, 255 (opaque) per pixel,
// rows from the top, Width * 4 bytes per row.
class TJpegPicture {
public:
    HBITMAP Bitmap() const { return static_cast<HBITMAP>(bitmap_.Get()); }
    int Width() const { return width_; }
    int Height() const { return height_; }
    bool Empty() const { return !bitmap_.Valid(); }
    // Pixel memory of the DIB section (nullptr when empty).
    const unsigned char* Bits() const { return bits_; }
    // Hands the bitmap to the caller, who deletes it; the picture is then empty.
    HBITMAP Release();
    void Reset();

private:
    friend bool DecodeJpeg(const void*, size_t, TJpegPicture&, std::string*);
    UniqueGdiObject bitmap_;
    unsigned char* bits_ = nullptr;
    int width_ = 0;
    int height_ = 0;
};

// Each returns false, leaves `picture` empty and puts a reason into `error`
// (when given) for data that is not a complete, sound JPEG picture; nothing is
// left allocated then. Corrupt data that libjpeg would only warn about (a
// truncated file shown half grey) counts as a failure too.
bool DecodeJpeg(const void* data, size_t size, TJpegPicture& picture, std::string* error = nullptr);
bool LoadJpegFile(const std::string& path, TJpegPicture& picture, std::string* error = nullptr);
// An RCDATA resource of `module` (nullptr: the program itself), e.g. "LOGO".
bool LoadJpegResource(HMODULE module, const char* name, TJpegPicture& picture, std::string* error = nullptr);
