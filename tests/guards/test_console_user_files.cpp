// 13/15, 13/17 and 42 open the caller's file as the console user. Wine's
// impersonation changes no result, so a seam stands for it: the file is
// changed as the impersonation begins and the command must see that change,
// every impersonation is reverted, and without a console user nothing is opened.
#include <functional>

#include "HostsFixture.h"
#include "SlotListener.h"
#include "uImpersonation.h"
#include "uServiceMessThread.h"

namespace {

class AsConsoleUser : public HostsTest {
protected:
    void SetUp() override
    {
        HostsTest::SetUp();
        SetImpersonationSeams({[this] {
                                   if (allowed_) ++begun_, onBegin_();
                                   return allowed_;
                               },
                               [this] { ++ended_, onEnd_(); }});
    }
    void TearDown() override
    {
        SetImpersonationSeams({});
        HostsTest::TearDown();
    }
    TMSlotMessage Ask(TMSlotMessage request, const std::string& slot)
    {
        SlotListener listener(slot);
        request.Mess1.Set(slot);
        DispatchCommand(request);
        TMSlotMessage answer;
        EXPECT_TRUE(listener.Next(answer, 2000)) << "always answered";
        return answer;
    }
    int32_t CopyOut(const std::string& target) { return Ask(MakeRequest(13, 15, "", target), kTraySlot).B; }
    std::string Digest(const std::string& path) { return Ask(MakeRequest(42, 0, "", path), MakeReplySlotName()).Mess.Str(); }

    int begun_ = 0, ended_ = 0;
    bool allowed_ = true;
    std::function<void()> onBegin_ = [] {}, onEnd_ = [] {};
};

TEST_F(AsConsoleUser, CopyOutIsWrittenAsTheUser)
{
    const std::string target = MakeTempFileName();
    onEnd_ = [&] { EXPECT_EQ(ReadTextFile(target), Hosts()) << "written before the revert"; };
    EXPECT_EQ(CopyOut(target), 777);
    onEnd_ = [] {};
    EXPECT_EQ(CopyOut(target), 1) << "an existing name is refused";
    EXPECT_EQ(begun_, 2);
    RemoveFile(target);
    allowed_ = false;
    EXPECT_EQ(CopyOut(target), 1) << "no console user";
    EXPECT_FALSE(FileExists(target));
    EXPECT_EQ(ended_, begun_);
}

TEST_F(AsConsoleUser, InstallReadsTheSourceAsTheUser)
{
    const std::string before = Hosts();
    const std::string source = MakeTempFileName(), folder = MakeTempFileName();
    ASSERT_TRUE(WriteTextFile(source, "10.0.0.1 before\r\n") && CreateDirectoryA(folder.c_str(), nullptr));
    onBegin_ = [&] { WriteTextFile(source, "10.0.0.2 as-user\r\n"); };
    onEnd_ = [&] { EXPECT_EQ(Hosts(), before) << "the hosts file is the service's own, written after the revert"; };
    DispatchCommand(MakeRequest(13, 17, "", source));
    onEnd_ = [] {};
    EXPECT_EQ(Hosts(), "10.0.0.2 as-user\r\n");
    for (const std::string& unread : {folder, MakeTempFileName()}) DispatchCommand(MakeRequest(13, 17, "", unread));
    EXPECT_EQ(begun_, 3);
    allowed_ = false;
    ASSERT_TRUE(PutHosts(before));
    TMSlotMessage withBackup = MakeRequest(13, 17, "", source);
    withBackup.Bool = true;
    DispatchCommand(withBackup);
    EXPECT_EQ(Hosts(), before) << "no console user: nothing installed";
    EXPECT_FALSE(FileExists(BackupHostsPath()));
    EXPECT_EQ(ended_, begun_);
    RemoveDirectoryA(folder.c_str());
    RemoveFile(source);
}

TEST_F(AsConsoleUser, FileDigestIsTakenAsTheUser)
{
    ScratchDir dir;
    ASSERT_TRUE(WriteTextFile(dir / "data.bin", "before"));
    onBegin_ = [&] { WriteTextFile(dir / "data.bin", "as user"); };
    onEnd_ = [&] { WriteTextFile(dir / "data.bin", "after"); };
    EXPECT_EQ(Digest(dir / "data.bin"), MD5DigestToHex(MD5OfString("as user")));
    EXPECT_EQ(Digest(dir / "missing.bin"), "");
    EXPECT_EQ(begun_, 2);
    allowed_ = false;
    EXPECT_EQ(Digest(dir / "data.bin"), "") << "no console user: answered as for a missing file";
    EXPECT_EQ(ended_, begun_);
}

}  // namespace
