#include "md5.h"

#include <windows.h>

#include <cstring>
#include <exception>
#include <vector>

#include "qvCaught.h"
#include "qvErrors.h"
#include "qvFiles.h"
#include "qvHandles.h"
#include "qvWideText.h"
#include "uCommonUtils.h"

namespace {

uint32_t Rotl(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

constexpr uint32_t kSine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};
constexpr int kShift[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                            5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                            4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                            6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};

void Transform(uint32_t state[4], const uint8_t block[64])
{
    uint32_t m[16];
    for (int i = 0; i < 16; ++i)
        m[i] = block[i * 4] | (block[i * 4 + 1] << 8) | (block[i * 4 + 2] << 16) | (uint32_t(block[i * 4 + 3]) << 24);
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (int i = 0; i < 64; ++i) {
        uint32_t f;
        int g;
        if (i < 16) {
            f = (b & c) | (~b & d);
            g = i;
        } else if (i < 32) {
            f = (d & b) | (~d & c);
            g = (5 * i + 1) % 16;
        } else if (i < 48) {
            f = b ^ c ^ d;
            g = (3 * i + 5) % 16;
        } else {
            f = c ^ (b | ~d);
            g = (7 * i) % 16;
        }
        uint32_t next = b + Rotl(a + f + kSine[i] + m[g], kShift[i]);
        a = d;
        d = c;
        c = b;
        b = next;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
}

// A file opened for reading with every kind of sharing allowed.
class THandleStream : public TStream {
public:
    explicit THandleStream(HANDLE handle) : handle_(handle) {}
    int64_t Size() override
    {
        LARGE_INTEGER size{};
        if (!GetFileSizeEx(handle_, &size)) RaiseLastOSError();
        return size.QuadPart;
    }
    int64_t Position() override
    {
        LARGE_INTEGER zero{}, pos{};
        if (!SetFilePointerEx(handle_, zero, &pos, FILE_CURRENT)) RaiseLastOSError();
        return pos.QuadPart;
    }
    void Seek(int64_t position) override
    {
        LARGE_INTEGER to{};
        to.QuadPart = position;
        if (!SetFilePointerEx(handle_, to, nullptr, FILE_BEGIN)) RaiseLastOSError();
    }
    int64_t Read(void* buffer, int64_t count) override
    {
        DWORD got = 0;
        if (!ReadFile(handle_, buffer, static_cast<DWORD>(count), &got, nullptr))
            throw EInOutError(GetLastError(), "Read error");
        return got;
    }

private:
    HANDLE handle_;
};

}  // namespace

void MD5Init(MD5Context& context)
{
    std::memset(&context, 0, sizeof(context));
    context.State[0] = 0x67452301;
    context.State[1] = 0xefcdab89;
    context.State[2] = 0x98badcfe;
    context.State[3] = 0x10325476;
}

void MD5Update(MD5Context& context, const void* bytes, size_t count)
{
    const auto* input = static_cast<const uint8_t*>(bytes);
    size_t used = static_cast<size_t>((context.BitCount / 8) % 64);
    context.BitCount += static_cast<uint64_t>(count) * 8;
    size_t free = 64 - used;
    size_t i = 0;
    if (count >= free) {
        std::memcpy(context.Buffer + used, input, free);
        Transform(context.State, context.Buffer);
        for (i = free; i + 63 < count; i += 64) Transform(context.State, input + i);
        used = 0;
    }
    std::memcpy(context.Buffer + used, input + i, count - i);
}

void MD5Final(MD5Context& context, MD5Digest& digest)
{
    uint8_t length[8];
    for (int i = 0; i < 8; ++i) length[i] = static_cast<uint8_t>(context.BitCount >> (8 * i));
    size_t used = static_cast<size_t>((context.BitCount / 8) % 64);
    static const uint8_t padding[64] = {0x80};
    MD5Update(context, padding, used < 56 ? 56 - used : 120 - used);
    MD5Update(context, length, 8);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) digest[i * 4 + j] = static_cast<uint8_t>(context.State[i] >> (8 * j));
    std::memset(&context, 0, sizeof(context));
}

MD5Digest MD5OfBuffer(const void* bytes, size_t length)
{
    MD5Context context;
    MD5Digest digest;
    MD5Init(context);
    MD5Update(context, bytes, length);
    MD5Final(context, digest);
    return digest;
}

MD5Digest MD5OfString(const std::string& text) { return MD5OfBuffer(text.data(), text.size()); }

MD5Digest MD5OfStream(TStream& stream)
{
    const int64_t size = stream.Size();
    const int64_t position = stream.Position();
    MD5Context context;
    MD5Init(context);
    std::vector<uint8_t> block(4096);
    struct Restore {  // the position comes back also when a read raises
        TStream& stream;
        int64_t position;
        ~Restore()
        {
            try {
                stream.Seek(position);
            } catch (const std::exception& error) {
                // A destructor must not throw; the caller's next read says the rest.
                ReportCaught("md5: stream position not restored", error);
            }
        }
    } restore{stream, position};
    stream.Seek(0);
    int64_t total = 0;
    while (total < size) {
        int64_t got = stream.Read(block.data(), static_cast<int64_t>(block.size()));
        if (got <= 0) break;
        MD5Update(context, block.data(), static_cast<size_t>(got));
        total += got;
    }
    MD5Digest digest;
    MD5Final(context, digest);
    return digest;
}

MD5Digest MD5OfFile(const std::string& fileName)
{
    UniqueHandle file(CreateFileA(fileName.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return MD5OfBuffer(nullptr, 0);
    THandleStream stream(file.Get());
    return MD5OfStream(stream);
}

std::string MD5DigestToHex(const MD5Digest& digest)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (uint8_t b : digest) {
        out += hex[b >> 4];
        out += hex[b & 15];
    }
    return out;
}


std::string GetFileMD5(const std::string& fileName)
{
    if (!FileExists(fileName)) return {};
    return MD5DigestToHex(MD5OfFile(fileName));
}

namespace {

std::string DigestNotRead(const std::wstring& fileName)
{
    return "digest of " + WideToAnsiForRecord(fileName) + " not read";
}

}  // namespace

UniqueHandle OpenFileForDigestW(const std::wstring& fileName)
{
    if (fileName.empty()) return UniqueHandle();
    Wow64RedirectionOff redirection;
    UniqueHandle file(CreateFileW(fileName.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file) return file;
    // A file held shut (a locker may hold its own) has no digest; the log says
    // why. A missing one needs no line.
    const DWORD error = GetLastError();
    if (FileExistsW(fileName)) ReportSystemError(DigestNotRead(fileName), error);
    return UniqueHandle();
}

std::string DigestOfOpenedFile(HANDLE file, const std::wstring& fileName)
{
    try {
        THandleStream stream(file);
        return MD5DigestToHex(MD5OfStream(stream));
    } catch (const std::exception& error) {
        ReportCaught(DigestNotRead(fileName), error);
        return {};
    }
}

std::string GetReadableFileMD5W(const std::wstring& fileName)
{
    UniqueHandle file = OpenFileForDigestW(fileName);
    return file ? DigestOfOpenedFile(file.Get(), fileName) : std::string();
}
