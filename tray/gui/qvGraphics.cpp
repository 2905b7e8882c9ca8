#include "qvGraphics.h"

UniqueGdiObject MakeFont(const TFontDesc& desc)
{
    LOGFONTA font{};
    font.lfHeight = -desc.Height;  // negative: the character height, not the cell height
    font.lfWeight = desc.Bold ? FW_BOLD : FW_NORMAL;
    font.lfUnderline = desc.Underline ? TRUE : FALSE;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfOutPrecision = OUT_DEFAULT_PRECIS;
    font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    font.lfQuality = DEFAULT_QUALITY;
    font.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
    lstrcpynA(font.lfFaceName, desc.Name.c_str(), LF_FACESIZE);
    return UniqueGdiObject(CreateFontIndirectA(&font));
}

UniqueGdiObject MakeSolidBrush(TColor color) { return UniqueGdiObject(CreateSolidBrush(color)); }
