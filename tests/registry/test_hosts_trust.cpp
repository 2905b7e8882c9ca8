#include <gtest/gtest.h>

#include "RegistryUtils.h"
#include "TestSupport.h"
#include "md5.h"
#include "qvFiles.h"
#include "qvHandles.h"
#include "qvWideText.h"
#include "uCommonUtils.h"

namespace {

TStringList Parse(const std::string& content, bool namesOnly)
{
    ScratchDir dir;
    std::string path = dir / "hosts";
    EXPECT_TRUE(WriteTextFile(path, content));
    TStringList result{"stale"};
    ParseHostsFile(path, result, namesOnly);
    return result;
}

TEST(HostsParser, PairsAndNames)
{
    const std::string line = "127.0.0.1  localhost  loopback # test\r\n";
    EXPECT_EQ(Parse(line, false), (TStringList{"localhost@127.0.0.1", "loopback@127.0.0.1"}));
    EXPECT_EQ(Parse(line, true), (TStringList{"localhost", "loopback"}));
    EXPECT_EQ(Parse("0.0.0.0\tblocked\r\n", false), TStringList{"blocked@0.0.0.0"});
    EXPECT_EQ(Parse(" \t10.0.0.1 \t a.example\t\tb.example  \r\n", false),
              (TStringList{"a.example@10.0.0.1", "b.example@10.0.0.1"}))
        << "leading blanks, mixed tabs and blank runs";
    EXPECT_EQ(Parse("1.2.3.4 x\n5.6.7.8 y\r9.9.9.9 z", false),
              (TStringList{"x@1.2.3.4", "y@5.6.7.8", "z@9.9.9.9"}))
        << "any line break, no final one";
}

TEST(HostsParser, LinesThatAddNothing)
{
    EXPECT_TRUE(Parse("# only a comment\r\n\r\n   \r\n\t# indented comment\r\n", false).empty());
    EXPECT_TRUE(Parse("127.0.0.1\r\n", false).empty()) << "an address alone";
    EXPECT_TRUE(Parse("127.0.0.1   # localhost\r\n", true).empty()) << "the host is commented out";
    EXPECT_TRUE(Parse("", false).empty());

    TStringList result{"stale"};
    ParseHostsFile("C:\\no\\such\\hosts", result, false);
    EXPECT_TRUE(result.empty()) << "a missing file clears the list";
}

TEST(HostsParser, UnreadableFileRaises)
{
    ScratchDir dir;
    std::string path = dir / "hosts";
    ASSERT_TRUE(WriteTextFile(path, "127.0.0.1 localhost\r\n"));
    UniqueHandle exclusive(
        CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(exclusive);
    TStringList result;
    EXPECT_THROW(ParseHostsFile(path, result, false), EInOutError);
}

TEST(StockHosts, TextsHaveTheListedDigests)
{
    // The digests of the stock files as Windows installs them (cp1251, CR LF):
    // the texts must reproduce them, and the guard compares with them.
    const struct {
        int major;
        const char* digest;
    } listed[] = {{5, "9FBBD19A171C5E3225647DC4E67D31A4"},
                  {6, "D714455B6B7E7D967DF87A542ADD377F"},
                  {7, "3688374325B992DEF12793500307566D"}};
    for (const auto& version : listed) {
        const std::string text = StockHostsText(version.major);
        EXPECT_EQ(MD5DigestToHex(MD5OfString(text)), version.digest) << "major " << version.major;
        EXPECT_EQ(StockHostsDigest(version.major), version.digest) << "major " << version.major;
        EXPECT_NE(text.find("\r\n"), std::string::npos);
        EXPECT_EQ(text.find("\r\n"), text.find('\n') - 1) << "every line ends in CR LF";
    }
    for (int other : {0, 4, 8, 10}) {
        EXPECT_TRUE(StockHostsLines(other).empty());
        EXPECT_EQ(StockHostsDigest(other), "");
    }
}

TEST(StockHosts, Layout)
{
    const size_t counts[] = {19, 20, 21};
    for (int major : {5, 6, 7}) {
        TStringList lines = StockHostsLines(major);
        ASSERT_EQ(lines.size(), counts[major - 5]) << "major " << major;
        for (size_t i = 0; i < 17; ++i) EXPECT_EQ(lines[i][0], '#') << "major " << major << " line " << i;
        EXPECT_NE(lines[0].find("Microsoft Corp."), std::string::npos);
        EXPECT_EQ(lines[17], "");
        // The two example entries and the active lines pad the address to 16 columns.
        EXPECT_TRUE(StartsWith(lines[15], "#      102.54.94.97     rhino.acme.com          # "));
        EXPECT_TRUE(StartsWith(lines[16], "#       38.25.63.10     x.acme.com              # "));
        for (size_t i = 18; i < lines.size(); ++i) {
            std::string entry = lines[i];
            if (StartsWith(entry, "# localhost")) continue;
            if (StartsWith(entry, "#")) entry.erase(0, 1);
            if (StartsWith(entry, "\t")) entry.erase(0, 1);
            EXPECT_EQ(entry.find("localhost"), 16u) << "major " << major << " line " << i;
            EXPECT_EQ(entry.find(' '), entry.find_first_of(" \t")) << "blanks, not tabs";
        }
    }
    TStringList xp = StockHostsLines(5);
    EXPECT_EQ(xp[18], "127.0.0.1       localhost");
    EXPECT_TRUE(StartsWith(xp[2], "# \xDD\xF2\xEE ")) << "Russian text in code page 1251";
    EXPECT_EQ(xp[0], "# (C) \xCA\xEE\xF0\xEF\xEE\xF0\xE0\xF6\xE8\xFF \xCC\xE0\xE9\xEA\xF0\xEE\xF1\xEE\xF4\xF2 (Microsoft Corp.), 1993-1999");
    TStringList vista = StockHostsLines(6);
    EXPECT_EQ(vista[18], "\t127.0.0.1       localhost");
    EXPECT_EQ(vista[19], "\t::1             localhost");
    TStringList seven = StockHostsLines(7);
    EXPECT_EQ(seven[18], "# localhost name resolution is handled within DNS itself.");
    EXPECT_EQ(seven[19], "#\t127.0.0.1       localhost");
    EXPECT_EQ(seven[20], "#\t::1             localhost");
}

TEST(StockHosts, ParsedEntries)
{
    EXPECT_EQ(Parse(StockHostsText(5), false), TStringList{"localhost@127.0.0.1"});
    EXPECT_EQ(Parse(StockHostsText(6), false), (TStringList{"localhost@127.0.0.1", "localhost@::1"}));
    EXPECT_TRUE(Parse(StockHostsText(7), false).empty()) << "nothing is active";
}

class TrustList : public ::testing::Test {
protected:
    void SetUp() override
    {
        file_ = dir_ / "tool.exe";
        ASSERT_TRUE(WriteTextFile(file_, "some program bytes"));
        digest_ = GetFileMD5(file_);
        ASSERT_EQ(digest_.size(), 32u);
        Clear();
    }
    void TearDown() override { Clear(); }
    static void Clear()
    {
        TRegEngine use = SettingRef("arn_use_trustlist");
        DeleteRegValue(use);
        TRegEngine list = SettingRef("trustList");
        DeleteRegValue(list);
    }
    static void SetUse(bool on)
    {
        TRegEngine use = SettingRef("arn_use_trustlist");
        WriteRegBool(use, on);
    }
    static void SetList(const TStringList& entries)
    {
        TRegEngine list = SettingRef("trustList");
        WriteRegMultiString(list, entries);
    }
    // The file's digest, as the guards read it, on the trust list.
    static bool Trusted(const std::string& path) { return IsDigestOnTrustList(GetReadableFileMD5W(AnsiToWide(path))); }

    ScratchDir dir_;
    std::string file_;
    std::string digest_;
};

TEST_F(TrustList, SwitchDecides)
{
    SetList({file_ + "|" + digest_});
    EXPECT_FALSE(Trusted(file_)) << "switch missing";
    SetUse(false);
    EXPECT_FALSE(Trusted(file_)) << "switch off";
    SetUse(true);
    EXPECT_TRUE(Trusted(file_)) << "switch on";
}

TEST_F(TrustList, OnlyTheDigestPartCounts)
{
    SetUse(true);
    SetList({"C:\\elsewhere\\other.exe|" + LowerCase(digest_)});
    EXPECT_TRUE(Trusted(file_)) << "another path, lower-case digest";

    SetList({"C:\\x.exe|00000000000000000000000000000000", digest_});
    EXPECT_TRUE(Trusted(file_)) << "an entry without | is the digest";

    SetList({file_ + "|00000000000000000000000000000000", file_, file_ + "|"});
    EXPECT_FALSE(Trusted(file_)) << "the path alone never trusts";

    SetList({"a|b|" + digest_});
    EXPECT_FALSE(Trusted(file_)) << "split at the first |";

    SetList({});
    EXPECT_FALSE(Trusted(file_));
    SetList({digest_});
    EXPECT_FALSE(Trusted(dir_ / "missing.exe"));
}

TEST_F(TrustList, UnreadableFileIsNotTrusted)
{
    // A file that cannot be read must not pass as the empty file it would hash to.
    SetUse(true);
    SetList({"C:\\empty.txt|D41D8CD98F00B204E9800998ECF8427E", digest_});
    UniqueHandle exclusive(
        CreateFileA(file_.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(exclusive);
    EXPECT_FALSE(Trusted(file_));
    exclusive.Reset();
    EXPECT_TRUE(Trusted(file_));
}

}  // namespace
