#pragma once
// Colours, fonts and brushes of the tray's windows, and an owner for GDI
// objects so that no path leaks one.
#include <windows.h>

#include <string>

#include "qvHandles.h"

struct GdiObjectTraits {
    using Type = HGDIOBJ;
    static Type Invalid() { return nullptr; }
    static bool IsValid(Type h) { return h != nullptr; }
    static void Close(Type h) { DeleteObject(h); }
};
using UniqueGdiObject = UniqueResource<GdiObjectTraits>;

// Windows colour values (red in the low byte).
using TColor = COLORREF;
constexpr TColor clBlack = 0x000000;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clGreen = 0x008000;
constexpr TColor clPurple = 0x800080;
constexpr TColor clNavy = 0x800000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clBtnFace = 0xF0F0F0;

constexpr const char* kDefaultFontName = "Tahoma";

struct TFontDesc {
    int Height = 11;  // character height in pixels
    bool Bold = false;
    bool Underline = false;
    std::string Name = kDefaultFontName;
};

UniqueGdiObject MakeFont(const TFontDesc& desc);
inline UniqueGdiObject MakeFont(int pixelHeight, bool bold = false)
{
    TFontDesc desc;
    desc.Height = pixelHeight;
    desc.Bold = bold;
    return MakeFont(desc);
}
UniqueGdiObject MakeSolidBrush(TColor color);
