#include <gtest/gtest.h>

#include "TestSupport.h"
#include "md5.h"
#include "qvFiles.h"

namespace {

std::string HexOf(const std::string& text) { return MD5DigestToHex(MD5OfString(text)); }

TEST(Md5, Rfc1321TestSuite)
{
    EXPECT_EQ(HexOf(""), "D41D8CD98F00B204E9800998ECF8427E");
    EXPECT_EQ(HexOf("a"), "0CC175B9C0F1B6A831C399E269772661");
    EXPECT_EQ(HexOf("abc"), "900150983CD24FB0D6963F7D28E17F72");
    EXPECT_EQ(HexOf("message digest"), "F96B697D7CB7938D525A2F31AAF161D0");
    EXPECT_EQ(HexOf("abcdefghijklmnopqrstuvwxyz"), "C3FCD3D76192E4007DFB496CCA67E13B");
    EXPECT_EQ(HexOf("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
              "D174AB98D277D9F5A5611C2C9F419D9F");
    EXPECT_EQ(HexOf("12345678901234567890123456789012345678901234567890123456789012345678901234567890"),
              "57EDF4A22BE3C955AC49DA2E2107B67A");
}

TEST(Md5, IncrementalUpdatesMatchOneShotAcrossBlockBoundaries)
{
    std::string data;
    for (int i = 0; i < 10000; ++i) data += static_cast<char>(i * 7 + 3);
    for (size_t chunk : {1u, 3u, 55u, 56u, 63u, 64u, 65u, 4096u}) {
        MD5Context context;
        MD5Init(context);
        for (size_t pos = 0; pos < data.size(); pos += chunk)
            MD5Update(context, data.data() + pos, std::min(chunk, data.size() - pos));
        MD5Digest digest;
        MD5Final(context, digest);
        EXPECT_EQ(digest, MD5OfString(data)) << "chunk " << chunk;
        // the context is wiped after the digest is taken
        const auto* raw = reinterpret_cast<const unsigned char*>(&context);
        EXPECT_TRUE(std::all_of(raw, raw + sizeof(context), [](unsigned char b) { return b == 0; }));
    }
}

TEST(Md5, StreamDigestCoversWholeContentAndKeepsPosition)
{
    std::string data(10000, 'x');
    data[5000] = 'y';
    TMemoryStream stream(data);
    stream.Seek(1234);
    EXPECT_EQ(MD5DigestToHex(MD5OfStream(stream)), HexOf(data));
    EXPECT_EQ(stream.Position(), 1234);
}

TEST(Md5, FileDigests)
{
    ScratchDir dir;
    EXPECT_EQ(GetFileMD5(dir / "missing.bin"), "");
    EXPECT_EQ(GetFileMD5(dir.Path()), "") << "a folder is not a file";

    ASSERT_TRUE(WriteTextFile(dir / "empty.bin", ""));
    EXPECT_EQ(GetFileMD5(dir / "empty.bin"), "D41D8CD98F00B204E9800998ECF8427E");

    std::string big(3 * 4096 + 17, '\0');
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i % 251);
    ASSERT_TRUE(WriteTextFile(dir / "big.bin", big));
    EXPECT_EQ(GetFileMD5(dir / "big.bin"), HexOf(big));
    EXPECT_EQ(MD5DigestToHex(MD5OfFile(dir / "missing.bin")), "D41D8CD98F00B204E9800998ECF8427E");
}

TEST(Md5, FileOpenedByAnotherWriterIsStillRead)
{
    ScratchDir dir;
    std::string path = dir / "shared.txt";
    ASSERT_TRUE(WriteTextFile(path, "abc"));
    HANDLE writer = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetFileMD5(path), "900150983CD24FB0D6963F7D28E17F72");
    CloseHandle(writer);
}

TEST(Md5, ExclusivelyLockedFileGivesDigestOfEmptyInput)
{
    ScratchDir dir;
    std::string path = dir / "locked.txt";
    ASSERT_TRUE(WriteTextFile(path, "abc"));
    HANDLE locker = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(locker, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetFileMD5(path), "D41D8CD98F00B204E9800998ECF8427E");
    CloseHandle(locker);
}

}  // namespace
