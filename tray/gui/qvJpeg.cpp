#include "qvJpeg.h"

#include <csetjmp>
#include <cstdio>

#include "qvFiles.h"

// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>
#include <jerror.h>

namespace {

// Larger pictures are refused before any pixel memory is taken: the tray's
// own pictures are a few hundred pixels wide, and a forged header must not
// make it ask for gigabytes.
constexpr JDIMENSION kMaxSide = 8192;

struct ErrorManager {
    jpeg_error_mgr pub;  // first: libjpeg sees only this part
    jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

// libjpeg's own handler ends the process; this one returns to the decoder's
// setjmp point instead. Warnings (corrupt or missing data, which libjpeg
// would paper over with grey) end the decoding the same way.
[[noreturn]] void FailDecoding(j_common_ptr info)
{
    auto* errors = reinterpret_cast<ErrorManager*>(info->err);
    (*info->err->format_message)(info, errors->message);
    longjmp(errors->jump, 1);
}

void OnJpegMessage(j_common_ptr info, int level)
{
    if (level < 0) FailDecoding(info);
}

void SilentOutput(j_common_ptr) {}

struct DecodeResult {
    HBITMAP bitmap = nullptr;
    void* bits = nullptr;
    int width = 0;
    int height = 0;
};

// Every libjpeg call happens here. A longjmp from the library lands on the
// setjmp below, so this frame holds only plain values, and everything that
// has to be released afterwards lives in the caller's objects.
bool RunDecoder(jpeg_decompress_struct* info, ErrorManager* errors, const unsigned char* data, unsigned long size,
                DecodeResult* result)
{
    if (setjmp(errors->jump)) return false;
    jpeg_create_decompress(info);
    jpeg_mem_src(info, data, size);
    jpeg_read_header(info, TRUE);
    if (info->image_width > kMaxSide || info->image_height > kMaxSide) {
        snprintf(errors->message, sizeof errors->message, "picture too large (%ux%u)", info->image_width,
                 info->image_height);
        return false;
    }
    info->out_color_space = JCS_EXT_BGRA;  // the byte order of a 32-bit DIB, alpha 255
    jpeg_start_decompress(info);

    BITMAPINFO header{};
    header.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    header.bmiHeader.biWidth = static_cast<LONG>(info->output_width);
    header.bmiHeader.biHeight = -static_cast<LONG>(info->output_height);  // top-down
    header.bmiHeader.biPlanes = 1;
    header.bmiHeader.biBitCount = 32;
    header.bmiHeader.biCompression = BI_RGB;
    result->bitmap = CreateDIBSection(nullptr, &header, DIB_RGB_COLORS, &result->bits, nullptr, 0);
    if (!result->bitmap) {
        snprintf(errors->message, sizeof errors->message, "CreateDIBSection failed (error %lu)", GetLastError());
        return false;
    }
    const size_t stride = static_cast<size_t>(info->output_width) * 4;
    auto* bits = static_cast<unsigned char*>(result->bits);
    while (info->output_scanline < info->output_height) {
        JSAMPROW row = bits + stride * info->output_scanline;
        jpeg_read_scanlines(info, &row, 1);
    }
    jpeg_finish_decompress(info);
    result->width = static_cast<int>(info->output_width);
    result->height = static_cast<int>(info->output_height);
    return true;
}

bool Fail(TJpegPicture& picture, std::string* error, const std::string& reason)
{
    picture.Reset();
    if (error) *error = reason;
    return false;
}

}  // namespace

HBITMAP TJpegPicture::Release()
{
    bits_ = nullptr;
    width_ = height_ = 0;
    return static_cast<HBITMAP>(bitmap_.Release());
}

void TJpegPicture::Reset()
{
    bitmap_.Reset();
    bits_ = nullptr;
    width_ = height_ = 0;
}

bool DecodeJpeg(const void* data, size_t size, TJpegPicture& picture, std::string* error)
{
    picture.Reset();
    if (!data || size == 0) return Fail(picture, error, "no data");
    if (size > 0xFFFFFFFFu) return Fail(picture, error, "data too large");

    jpeg_decompress_struct info{};
    ErrorManager errors{};
    info.err = jpeg_std_error(&errors.pub);
    errors.pub.error_exit = FailDecoding;
    errors.pub.emit_message = OnJpegMessage;
    errors.pub.output_message = SilentOutput;
    DecodeResult result;
    const bool ok = RunDecoder(&info, &errors, static_cast<const unsigned char*>(data),
                               static_cast<unsigned long>(size), &result);
    jpeg_destroy_decompress(&info);
    UniqueGdiObject bitmap(result.bitmap);
    if (!ok) return Fail(picture, error, errors.message);

    picture.bitmap_ = std::move(bitmap);
    picture.bits_ = static_cast<unsigned char*>(result.bits);
    picture.width_ = result.width;
    picture.height_ = result.height;
    if (error) error->clear();
    return true;
}

bool LoadJpegFile(const std::string& path, TJpegPicture& picture, std::string* error)
{
    std::string bytes;
    if (!ReadFileBytes(path, bytes)) return Fail(picture, error, "cannot read " + path);
    return DecodeJpeg(bytes.data(), bytes.size(), picture, error);
}

bool LoadJpegResource(HMODULE module, const char* name, TJpegPicture& picture, std::string* error)
{
    if (!module) module = GetModuleHandleA(nullptr);
    // Resources are mapped with the module: nothing here needs freeing.
    HRSRC found = FindResourceA(module, name, MAKEINTRESOURCEA(10));  // RT_RCDATA
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data) return Fail(picture, error, std::string("no RCDATA resource ") + name);
    return DecodeJpeg(data, SizeofResource(module, found), picture, error);
}
