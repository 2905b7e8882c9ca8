#include "WindowShot.h"

#include <fstream>
#include <set>

namespace {

uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc = 0)
{
    crc = ~crc;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void PutBig32(std::vector<uint8_t>& out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

void PutChunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data)
{
    PutBig32(out, static_cast<uint32_t>(data.size()));
    std::vector<uint8_t> body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    out.insert(out.end(), body.begin(), body.end());
    PutBig32(out, Crc32(body.data(), body.size()));
}

// zlib data of stored (uncompressed) deflate blocks.
std::vector<uint8_t> StoredZlib(const std::vector<uint8_t>& raw)
{
    std::vector<uint8_t> out = {0x78, 0x01};
    size_t at = 0;
    do {
        const size_t size = std::min<size_t>(65535, raw.size() - at);
        out.push_back(at + size == raw.size() ? 1 : 0);
        out.push_back(static_cast<uint8_t>(size));
        out.push_back(static_cast<uint8_t>(size >> 8));
        out.push_back(static_cast<uint8_t>(~size));
        out.push_back(static_cast<uint8_t>(~size >> 8));
        out.insert(out.end(), raw.begin() + static_cast<ptrdiff_t>(at), raw.begin() + static_cast<ptrdiff_t>(at + size));
        at += size;
    } while (at < raw.size());
    uint32_t a = 1, b = 0;
    for (uint8_t byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    PutBig32(out, (b << 16) | a);
    return out;
}

}  // namespace

bool WindowShot::Capture(HWND window)
{
    RECT rect{};
    if (!GetWindowRect(window, &rect)) return false;
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    clientOrigin_ = {origin.x - rect.left, origin.y - rect.top};
    width_ = rect.right - rect.left;
    height_ = rect.bottom - rect.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width_;
    info.bmiHeader.biHeight = -height_;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = bitmap != nullptr;
    if (ok) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        ok = BitBlt(memory, 0, 0, width_, height_, screen, rect.left, rect.top, SRCCOPY) != FALSE;
        GdiFlush();
        const auto* source = static_cast<const uint32_t*>(bits);
        pixels_.assign(source, source + static_cast<size_t>(width_) * static_cast<size_t>(height_));
        SelectObject(memory, old);
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return ok;
}

COLORREF WindowShot::ClientPixel(int x, int y) const
{
    const int px = x + clientOrigin_.x, py = y + clientOrigin_.y;
    if (px < 0 || py < 0 || px >= width_ || py >= height_) return CLR_INVALID;
    const uint32_t value = pixels_[static_cast<size_t>(py) * static_cast<size_t>(width_) + static_cast<size_t>(px)];
    return RGB((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
}

size_t WindowShot::Colours(size_t enough) const
{
    std::set<uint32_t> seen;
    for (size_t i = 0; i < pixels_.size() && seen.size() < enough; ++i) seen.insert(pixels_[i] & 0xFFFFFFu);
    return seen.size();
}

bool WindowShot::SavePng(const std::string& path) const
{
    if (pixels_.empty()) return false;
    std::vector<uint8_t> raw;
    raw.reserve(static_cast<size_t>(height_) * (1 + static_cast<size_t>(width_) * 3));
    for (int y = 0; y < height_; ++y) {
        raw.push_back(0);  // no filter
        for (int x = 0; x < width_; ++x) {
            const uint32_t value = pixels_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)];
            raw.push_back(static_cast<uint8_t>(value >> 16));
            raw.push_back(static_cast<uint8_t>(value >> 8));
            raw.push_back(static_cast<uint8_t>(value));
        }
    }
    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    PutBig32(header, static_cast<uint32_t>(width_));
    PutBig32(header, static_cast<uint32_t>(height_));
    header.insert(header.end(), {8, 2, 0, 0, 0});  // 8-bit RGB
    PutChunk(png, "IHDR", header);
    PutChunk(png, "IDAT", StoredZlib(raw));
    PutChunk(png, "IEND", {});
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
    return static_cast<bool>(file);
}

std::string ArtifactsFolder()
{
    char self[MAX_PATH + 1] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string folder = self;
    for (int up = 0; up < 3; ++up) folder.erase(folder.find_last_of('\\'));  // ...\build\x86_64\bin\x.exe
    folder += "\\artifacts";
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder + "\\";
}
