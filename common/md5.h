#pragma once
// MD5 digests (RFC 1321) of bytes, texts, streams and files; a digest travels
// as 32 upper-case hexadecimal digits.
#include <array>
#include <cstdint>
#include <string>

#include "qvHandles.h"
#include "qvStream.h"

using MD5Digest = std::array<uint8_t, 16>;

struct MD5Context {
    uint32_t State[4];
    uint64_t BitCount;
    uint8_t Buffer[64];
};

void MD5Init(MD5Context& context);
void MD5Update(MD5Context& context, const void* bytes, size_t count);
void MD5Final(MD5Context& context, MD5Digest& digest);  // wipes the context

MD5Digest MD5OfBuffer(const void* bytes, size_t length);
MD5Digest MD5OfString(const std::string& text);
MD5Digest MD5OfStream(TStream& stream);
MD5Digest MD5OfFile(const std::string& fileName);
std::string MD5DigestToHex(const MD5Digest& digest);
std::string GetFileMD5(const std::string& fileName);
// The digest of a file that can be opened for reading, with the file-system
// redirection of a 32-bit process off; empty otherwise (a file nobody can read
// must not pass for empty data). A file that is there but cannot be read is
// logged.
std::string GetReadableFileMD5W(const std::wstring& fileName);
// Its two steps, for a caller that asks more of the same handle: the file
// opened as above (invalid when it cannot be), and the digest of its bytes
// (empty when a read fails).
UniqueHandle OpenFileForDigestW(const std::wstring& fileName);
std::string DigestOfOpenedFile(HANDLE file, const std::wstring& fileName);
