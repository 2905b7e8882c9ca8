#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include <winternl.h>

#include "TestSupport.h"
#include "qvFiles.h"
#include "qvJpeg.h"

namespace {

// Colours and places drawn by scripts/make-pictures.sh.
const COLORREF kNavy = RGB(0x1F, 0x4E, 0x8C);
const COLORREF kGold = RGB(0xF2, 0xB1, 0x34);
const COLORREF kLight = RGB(0xE8, 0xEE, 0xF6);
const COLORREF kGreen = RGB(0x2E, 0x8B, 0x57);

struct Spot {
    int x, y;
    COLORREF colour;
};
struct Picture {
    const char* file;
    const char* resource;
    int width, height;
    std::vector<Spot> spots;
};

const std::vector<Picture>& Pictures()
{
    static const std::vector<Picture> pictures = {
        {"logo.jpg", "LOGO", 60, 60, {{3, 3, kNavy}, {56, 56, kNavy}, {30, 30, kGold}}},
        {"splash.jpg", "SPLASH", 400, 250, {{200, 20, kNavy}, {300, 150, kLight}, {100, 146, kGold}, {200, 240, kGold}}},
        {"about.jpg", "ABOUT", 300, 200, {{10, 10, kNavy}, {290, 190, kNavy}, {150, 100, kGold}}},
        {"status.jpg", "STATUS", 500, 120, {{300, 10, kLight}, {60, 60, kGold}, {300, 60, kGreen}}},
    };
    return pictures;
}

std::string PicturePath(const char* file) { return ModuleFolder() + "pictures\\" + file; }

std::string LogoBytes()
{
    std::string bytes;
    EXPECT_TRUE(ReadFileBytes(PicturePath("logo.jpg"), bytes));
    return bytes;
}

bool Near(COLORREF a, COLORREF b)  // JPEG is lossy; flat areas stay within a few steps
{
    return std::abs(GetRValue(a) - GetRValue(b)) <= 8 && std::abs(GetGValue(a) - GetGValue(b)) <= 8 &&
           std::abs(GetBValue(a) - GetBValue(b)) <= 8;
}

// Checks the picture as GDI sees it (a 32-bit top-down DIB section) and as
// raw memory (blue, green, red, 255).
void ExpectPicture(const TJpegPicture& picture, const Picture& expected)
{
    SCOPED_TRACE(expected.file);
    ASSERT_FALSE(picture.Empty());
    EXPECT_EQ(picture.Width(), expected.width);
    EXPECT_EQ(picture.Height(), expected.height);
    DIBSECTION dib{};
    ASSERT_EQ(GetObjectA(picture.Bitmap(), sizeof dib, &dib), static_cast<int>(sizeof dib));
    EXPECT_EQ(dib.dsBm.bmBitsPixel, 32);
    EXPECT_EQ(dib.dsBmih.biWidth, expected.width);
    EXPECT_EQ(std::abs(dib.dsBmih.biHeight), expected.height);
    EXPECT_EQ(dib.dsBm.bmBits, picture.Bits());

    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, picture.Bitmap());
    for (const Spot& spot : expected.spots) {
        COLORREF seen = GetPixel(dc, spot.x, spot.y);
        EXPECT_TRUE(Near(seen, spot.colour)) << "GDI pixel " << spot.x << "," << spot.y << " is " << std::hex << seen;
        const unsigned char* p = picture.Bits() + (static_cast<size_t>(spot.y) * expected.width + spot.x) * 4;
        EXPECT_TRUE(Near(RGB(p[2], p[1], p[0]), spot.colour)) << "memory pixel " << spot.x << "," << spot.y;
        EXPECT_EQ(p[3], 255);
    }
    SelectObject(dc, old);
    DeleteDC(dc);
}

// GDI objects of this process. Wine only stubs GetGuiResources (0, error
// 120), so there the process's GDI handle table, which the PEB points at, is
// counted: an entry in use has a type (a freed one keeps a pointer to the
// next free entry in place of its object).
int GdiObjectCount()
{
    SetLastError(0);
    DWORD count = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    if (count != 0 || GetLastError() != ERROR_CALL_NOT_IMPLEMENTED) return static_cast<int>(count);
    struct HandleEntry {
        uint64_t object;
        uint16_t processId, count, unique;
        uint8_t type, flags;
        uint64_t user;
    };
#ifdef _WIN64
    const size_t tableOffset = 0xF8;
#else
    const size_t tableOffset = 0x94;
#endif
    PROCESS_BASIC_INFORMATION basic{};
    if (NtQueryInformationProcess(GetCurrentProcess(), ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0)
        return -1;
    const auto* peb = reinterpret_cast<const char*>(basic.PebBaseAddress);
    const auto* table = *reinterpret_cast<HandleEntry* const*>(peb + tableOffset);
    if (!table) return -1;
    int used = 0;
    for (size_t i = 0; i < 0x10000; ++i)
        if (table[i].type != 0) ++used;
    return used;
}

void ExpectCleanFailure(const std::string& bytes, const char* what)
{
    TJpegPicture picture;
    std::string error;
    EXPECT_FALSE(DecodeJpeg(bytes.data(), bytes.size(), picture, &error)) << what;
    EXPECT_TRUE(picture.Empty()) << what;
    EXPECT_EQ(picture.Bits(), nullptr) << what;
    EXPECT_FALSE(error.empty()) << what;
}

TEST(JpegPictures, FilesDecodeToTheirSizesAndColours)
{
    for (const Picture& expected : Pictures()) {
        TJpegPicture picture;
        std::string error;
        ASSERT_TRUE(LoadJpegFile(PicturePath(expected.file), picture, &error)) << expected.file << ": " << error;
        ExpectPicture(picture, expected);
    }
}

TEST(JpegPictures, ResourcesDecodeLikeTheirFiles)
{
    for (const Picture& expected : Pictures()) {
        TJpegPicture fromResource, fromFile;
        std::string error;
        ASSERT_TRUE(LoadJpegResource(nullptr, expected.resource, fromResource, &error)) << expected.resource << ": "
                                                                                       << error;
        ExpectPicture(fromResource, expected);
        ASSERT_TRUE(LoadJpegFile(PicturePath(expected.file), fromFile));
        EXPECT_EQ(std::memcmp(fromResource.Bits(), fromFile.Bits(), size_t(expected.width) * expected.height * 4), 0)
            << expected.resource;
    }
    TJpegPicture missing;
    std::string error;
    EXPECT_FALSE(LoadJpegResource(nullptr, "NO_SUCH_PICTURE", missing, &error));
    EXPECT_TRUE(missing.Empty());
    EXPECT_FALSE(error.empty());
}

TEST(JpegPictures, IconAndCommonControlsManifestAreEmbedded)
{
    for (int size : {16, 32}) {
        HICON icon = static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), "TRAY", IMAGE_ICON, size, size, 0));
        ASSERT_NE(icon, nullptr) << size;
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        BITMAP colour{};
        GetObjectA(info.hbmColor, sizeof colour, &colour);
        EXPECT_EQ(colour.bmWidth, size);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        DestroyIcon(icon);
    }
    HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    ASSERT_NE(found, nullptr);
    const char* text = static_cast<const char*>(LockResource(LoadResource(nullptr, found)));
    std::string manifest(text, SizeofResource(nullptr, found));
    EXPECT_NE(manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""), std::string::npos);
}

TEST(JpegPictures, BadInputFailsCleanlyAndLeaksNoGdiObject)
{
    const std::string logo = LogoBytes();
    ASSERT_GT(logo.size(), 100u);
    const int baseline = GdiObjectCount();
    ASSERT_GT(baseline, 0);
    {  // the count must see a bitmap come and go, or the checks below prove nothing
        UniqueGdiObject probe(CreateBitmap(4, 4, 1, 32, nullptr));
        ASSERT_EQ(GdiObjectCount(), baseline + 1);
    }
    ASSERT_EQ(GdiObjectCount(), baseline);

    {
        TJpegPicture picture;
        std::string error;
        EXPECT_FALSE(DecodeJpeg(nullptr, 0, picture, &error));
        EXPECT_FALSE(error.empty());
    }
    ExpectCleanFailure("not a picture at all", "text");
    std::string garbage(4096, '\0');
    std::mt19937 random(20240607);
    for (char& c : garbage) c = static_cast<char>(random());
    ExpectCleanFailure(garbage, "garbage");
    ExpectCleanFailure(garbage.replace(0, 2, "\xFF\xD8"), "garbage behind a start marker");

    // Cut anywhere, also after the pixel memory is taken (half the data) and
    // just before the end marker: the decoder must not pass off a grey rest.
    for (size_t cut : {size_t(1), size_t(2), size_t(20), logo.size() / 3, logo.size() / 2, logo.size() - 2}) {
        std::string truncated = logo.substr(0, cut);
        ExpectCleanFailure(truncated, ("cut at " + std::to_string(cut)).c_str());
    }
    {
        TJpegPicture picture;
        std::string error;
        std::string half = logo.substr(0, logo.size() / 2);
        EXPECT_FALSE(DecodeJpeg(half.data(), half.size(), picture, &error));
        EXPECT_NE(error.find("Premature end"), std::string::npos) << error;
    }

    // A forged frame header claiming 60000 x 60000 pixels is refused before
    // any pixel memory is asked for.
    size_t sof = logo.find("\xFF\xC0");
    ASSERT_NE(sof, std::string::npos);
    std::string huge = logo;
    huge.replace(sof + 5, 4, "\xEA\x60\xEA\x60");
    ExpectCleanFailure(huge, "60000 x 60000");

    // Random damage: whatever the decoder makes of it, it either gives a whole
    // picture or nothing, and never crashes.
    for (int round = 0; round < 300; ++round) {
        std::string damaged = logo;
        for (int n = 0; n < 4; ++n) damaged[random() % damaged.size()] = static_cast<char>(random());
        TJpegPicture picture;
        std::string error;
        if (DecodeJpeg(damaged.data(), damaged.size(), picture, &error)) {
            EXPECT_GT(picture.Width(), 0);
            EXPECT_GT(picture.Height(), 0);
            EXPECT_NE(picture.Bits(), nullptr);
        } else {
            EXPECT_TRUE(picture.Empty());
            EXPECT_FALSE(error.empty());
        }
    }

    // A failed decode into a picture that held one frees the old bitmap.
    {
        TJpegPicture picture;
        ASSERT_TRUE(DecodeJpeg(logo.data(), logo.size(), picture));
        EXPECT_EQ(GdiObjectCount(), baseline + 1);
        EXPECT_FALSE(DecodeJpeg(garbage.data(), garbage.size(), picture));
        EXPECT_TRUE(picture.Empty());
        EXPECT_EQ(GdiObjectCount(), baseline);
    }
    {  // a released bitmap is the caller's
        TJpegPicture picture;
        ASSERT_TRUE(DecodeJpeg(logo.data(), logo.size(), picture));
        UniqueGdiObject taken(picture.Release());
        EXPECT_TRUE(picture.Empty());
        EXPECT_EQ(GetObjectType(taken.Get()), static_cast<DWORD>(OBJ_BITMAP));
    }
    TJpegPicture missing;
    EXPECT_FALSE(LoadJpegFile(ModuleFolder() + "pictures\\no such file.jpg", missing));
    EXPECT_EQ(GdiObjectCount(), baseline);
}

}  // namespace
