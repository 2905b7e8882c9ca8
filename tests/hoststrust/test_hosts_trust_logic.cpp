#include <gtest/gtest.h>

#include "HostsEditing.h"
#include "TrustEntries.h"
#include "uTrayModels.h"

namespace {

TEST(HostsRows, ColouredByTheAllowListIgnoringCase)
{
    const TAllowList allowed({"localhost@127.0.0.1", "Ads.Example@0.0.0.0"});
    const auto rows = RedirectRows({"localhost@127.0.0.1", "ads.example@0.0.0.0", "bank.example@6.6.6.6", "odd"}, allowed);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].Host, "localhost");
    EXPECT_EQ(rows[0].Address, "127.0.0.1");
    EXPECT_TRUE(rows[0].Allowed);
    EXPECT_TRUE(rows[1].Allowed);
    EXPECT_FALSE(rows[2].Allowed);
    EXPECT_EQ(rows[3].Host, "");  // no "@": all of it is the address
    EXPECT_EQ(rows[3].Address, "odd");
    // extra blanks make a different entry, as in the service
    EXPECT_FALSE(allowed.Contains("localhost @127.0.0.1"));
}

TEST(HostsRows, AllowEntriesNeedBothParts)
{
    EXPECT_EQ(AllowEntry("  site.example ", " 10.0.0.1 "), "site.example@10.0.0.1");
    EXPECT_EQ(AllowEntry("  ", "10.0.0.1"), "");
    EXPECT_EQ(AllowEntry("site.example", ""), "");
    EXPECT_EQ(HostsLineFor(" a.example ", " 1.2.3.4 "), "1.2.3.4  a.example");
}

TEST(HostsComment, ALineWithSeveralMatchesIsCommentedOnce)
{
    TStringList lines = {"# header", "6.6.6.6 a.example A.EXAMPLE\tb.example # note", "6.6.6.6 c.example",
                         "#6.6.6.6 a.example", "7.7.7.7 a.example"};
    EXPECT_EQ(CommentOutPair(lines, "a.example@6.6.6.6"), 1);
    EXPECT_EQ(lines[1], "#6.6.6.6 a.example A.EXAMPLE\tb.example # note");
    EXPECT_EQ(lines[2], "6.6.6.6 c.example");
    EXPECT_EQ(lines[3], "#6.6.6.6 a.example");  // commented already: no tokens
    EXPECT_EQ(lines[4], "7.7.7.7 a.example");   // another address
    EXPECT_EQ(CommentOutPair(lines, "a.example@6.6.6.6"), 0);
}

TEST(HostsFind, CaseCountsAndNoMatchFindsNothing)
{
    size_t at = 99;
    EXPECT_TRUE(FindInText("127.0.0.1 localhost\r\n1.2.3.4 Site", "Site", at));
    EXPECT_EQ(at, 29u);
    at = 99;
    EXPECT_FALSE(FindInText("1.2.3.4 Site", "site", at));
    EXPECT_FALSE(FindInText("1.2.3.4 Site", "", at));
    EXPECT_EQ(at, 99u);
}

TEST(HostsCopy, OnlyATransferCopyInTheTempFolderMayGo)
{
    const std::string temp = "C:\\users\\me\\Temp";
    EXPECT_TRUE(IsDeletableHostsCopy("C:\\users\\me\\Temp\\09_12_2026_1234qrv.~tmp", temp));
    EXPECT_TRUE(IsDeletableHostsCopy("c:\\USERS\\me\\temp\\xQRV.~TMP", temp + "\\"));
    EXPECT_FALSE(IsDeletableHostsCopy("C:\\windows\\system32\\drivers\\etc\\hosts", temp));
    EXPECT_FALSE(IsDeletableHostsCopy("C:\\users\\me\\Temp\\sub\\xqrv.~tmp", temp));
    EXPECT_FALSE(IsDeletableHostsCopy("C:\\users\\me\\Temp\\qrv.~tmp", temp));
    EXPECT_FALSE(IsDeletableHostsCopy("C:\\users\\me\\Temp\\x.tmp", temp));
    EXPECT_FALSE(IsDeletableHostsCopy("C:\\users\\me\\Temp\\xqrv.~tmp", ""));
}

TEST(HostsCopy, TheWaitEndsOnTheCopyAnAnswerOrTheLimit)
{
    using S = THostsCopyWait::TState;
    THostsCopyWait wait;
    wait.Start(1000);
    EXPECT_EQ(wait.Poll(1100, false), S::Waiting);
    EXPECT_EQ(wait.Poll(1200, true), S::Ready);
    wait.Start(0);
    wait.Answer(666);
    EXPECT_EQ(wait.Poll(10, true), S::NoHostsFile) << "an old file does not count after 666";
    wait.Start(0);
    wait.Answer(1);
    EXPECT_EQ(wait.Poll(10, false), S::Failed);
    wait.Start(0xFFFFF000u);  // the tick count wraps meanwhile
    EXPECT_EQ(wait.Poll(0xFFFFF000u + THostsCopyWait::kLimitMs - 1, false), S::Waiting);
    EXPECT_EQ(wait.Poll(0xFFFFF000u + THostsCopyWait::kLimitMs, false), S::TimedOut);
    wait.Answer(777);  // late answers change nothing
    EXPECT_EQ(wait.Poll(0, true), S::TimedOut);
}

TEST(TrustEntries, SplitFitAndSelect)
{
    std::string path, digest;
    EXPECT_TRUE(SplitTrustEntry("C:\\a|b.exe|ABC", path, digest));
    EXPECT_EQ(path, "C:\\a");
    EXPECT_EQ(digest, "b.exe|ABC");
    EXPECT_FALSE(SplitTrustEntry("ABC", path, digest));
    EXPECT_TRUE(TrustEntryFits(std::string(255, 'x')));
    EXPECT_FALSE(TrustEntryFits(std::string(256, 'x')));

    const TStringList list = {"C:\\x.exe|AA", "C:\\y.exe|BB"};
    TTrustSelection s = SelectHeldEntry(list, "c:\\Y.EXE", "bb");
    EXPECT_EQ(s.Selected, 1);
    EXPECT_TRUE(s.CanDelete);
    EXPECT_FALSE(s.CanAdd);
    s = SelectHeldEntry(list, "C:\\z.exe", "CC");
    EXPECT_EQ(s.Selected, -1);
    EXPECT_TRUE(s.CanAdd);
    EXPECT_FALSE(s.CanDelete);
}

TEST(TrustFeed, RowsOfAClosedWindowAndBeyondTheTotalAreDropped)
{
    TTrustFeed feed;
    const int first = feed.Request();
    feed.Take(3);       // the first window sees one row...
    feed.Abandon(first);  // ...and closes
    const int second = feed.Request();
    TTrustFeed::TRow row = feed.Take(3);
    EXPECT_EQ(row.Id, first);
    EXPECT_FALSE(row.Deliver);
    row = feed.Take(3);
    EXPECT_TRUE(row.Completes);
    EXPECT_FALSE(row.Deliver);
    for (int i = 0; i < 2; ++i) {
        row = feed.Take(2);
        EXPECT_EQ(row.Id, second);
        EXPECT_TRUE(row.Deliver && row.HasEntry);
        EXPECT_EQ(row.Completes, i == 1);
    }
    row = feed.Take(2);  // one more than announced
    EXPECT_EQ(row.Id, -1);
    EXPECT_FALSE(row.Deliver);
}

TEST(TrustFeed, TheEmptyAnswerCompletesAnEmptyList)
{
    TTrustFeed feed;
    const int lost = feed.Request();
    feed.Forget(lost);  // its send failed
    const int id = feed.Request();
    const TTrustFeed::TRow row = feed.Take(0);
    EXPECT_EQ(row.Id, id);
    EXPECT_TRUE(row.Deliver && row.Completes);
    EXPECT_FALSE(row.HasEntry);
    EXPECT_EQ(feed.Pending(), 0);
}

}  // namespace
