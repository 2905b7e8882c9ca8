// The hosts manager's commands, handed to the dispatcher as the command thread
// would: copy out (13/15), install (13/17) and the allow-list (43, 44, 45).
#include "HostsFixture.h"
#include "uHostsTransfer.h"
#include "SlotListener.h"
#include "uServiceMessThread.h"

namespace {

using HostsCommands = HostsTest;

TMSlotMessage HostsRequest(int32_t a, const std::string& path, bool withBackup = false)
{
    TMSlotMessage m = MakeRequest(13, a, "", path);
    m.Bool = withBackup;
    return m;
}

// Runs 13/15 and returns the answer that reached the tray's slot.
TMSlotMessage CopyOut(SlotListener& tray, const std::string& target)
{
    DispatchCommand(HostsRequest(15, target));
    TMSlotMessage answer;
    ClearMailSlotMessage(answer);
    EXPECT_TRUE(tray.Next(answer, 2000)) << "13/15 always answers";
    return answer;
}

TEST(HostsTransferPath, OnlyTemporaryNamesDirectlyInTheTemporaryFolder)
{
    const std::string temp = ExcludeTrailingBackslash(GetEnvVar("TEMP"));
    for (const std::string& good : {temp + "\\12-3-2024_5qrv.~tmp", temp + "\\xQRV.~TMP", MakeTempFileName()})
        EXPECT_TRUE(IsHostsTransferPath(good)) << good;
    for (const std::string& bad :
         {std::string(), std::string("qrv.~tmp"), std::string("x\\1qrv.~tmp"), std::string("\\\\srv\\share\\1qrv.~tmp"),
          std::string("\\\\.\\PhysicalDrive0\\qrv.~tmp"), "\\\\?\\" + temp + "\\1qrv.~tmp", temp + "\\..\\1qrv.~tmp",
          temp + "\\.\\1qrv.~tmp", temp + "\\\\1qrv.~tmp", temp + "\\a.txt:1qrv.~tmp", temp + "\\1qrv.~tmp.",
          temp + "\\1qrv.~tmp ", temp + "\\*qrv.~tmp", temp + "\\1qrv.~tmp\\", temp + "\\sub\\1qrv.~tmp",
          std::string("C:\\x\\12-3-2024_5qrv.~tmp"), GetSystemFolder() + "1qrv.~tmp", std::string("D:\\qrv.~tmp"),
          std::string("C:\\windows\\system32\\drivers\\etc\\hosts")})
        EXPECT_FALSE(IsHostsTransferPath(bad)) << bad;
}

TEST_F(HostsCommands, CopyOutAnswersOnTheTraySlot)
{
    SlotListener tray(kTraySlot);
    const std::string target = MakeTempFileName();
    TMSlotMessage answer = CopyOut(tray, target);
    EXPECT_EQ(answer.Type, 13);
    EXPECT_EQ(answer.A, 15);
    EXPECT_EQ(answer.B, 777);
    EXPECT_EQ(answer.Data.Str(), target);
    EXPECT_EQ(ReadTextFile(target), Hosts());
    EXPECT_TRUE(FileExists(BackupHostsPath())) << "the guard's files are made first";

    // The copy is always a new file: an existing one is never written through.
    const std::string first = ReadTextFile(target);
    PutHosts("changed\r\n");
    EXPECT_EQ(CopyOut(tray, target).B, 1);
    EXPECT_EQ(ReadTextFile(target), first);
    RemoveFile(target);
    EXPECT_EQ(CopyOut(tray, target).B, 777);
    EXPECT_EQ(ReadTextFile(target), "changed\r\n");
    RemoveFile(target);

    RemoveFile(hosts_);
    answer = CopyOut(tray, target);
    EXPECT_EQ(answer.B, 666);
    EXPECT_FALSE(FileExists(target)) << "no file without a hosts file";
}

TEST_F(HostsCommands, CopyOutRefusesOtherTargets)
{
    SlotListener tray(kTraySlot);
    ScratchDir dir;
    const std::string folderTarget = dir / "dirqrv.~tmp";
    ASSERT_TRUE(CreateDirectoryA(folderTarget.c_str(), nullptr));
    const std::string plain = dir / "victim.txt";
    for (const std::string& target : {plain, dir / "sub\\..\\xqrv.~tmp", folderTarget, dir / "victim.txt:sqrv.~tmp"}) {
        EXPECT_EQ(CopyOut(tray, target).B, 1) << target;
    }
    EXPECT_FALSE(FileExists(plain));
    EXPECT_FALSE(FileExists(dir / "xqrv.~tmp"));
    EXPECT_TRUE(DirectoryExists(folderTarget));
}

TEST_F(HostsCommands, InstallReplacesTheHostsFileInPlace)
{
    WriteTextFile(BackupHostsPath(), "backup\r\n");
    SetAcceptedHostsDigest("0123456789ABCDEF0123456789ABCDEF");
    const std::string source = MakeTempFileName();
    WriteTextFile(source, "127.0.0.1 localhost\r\n10.0.0.1 intranet\r\n");
    SetFileAttributesA(hosts_.c_str(), FILE_ATTRIBUTE_READONLY);

    DispatchCommand(HostsRequest(17, source));
    EXPECT_EQ(Hosts(), "127.0.0.1 localhost\r\n10.0.0.1 intranet\r\n");
    EXPECT_EQ(ReadTextFile(BackupHostsPath()), "backup\r\n") << "Bool clear: the backup stays";
    EXPECT_EQ(AcceptedHostsDigest(), "0123456789ABCDEF0123456789ABCDEF");
    EXPECT_FALSE(HostsBusy);

    DispatchCommand(HostsRequest(17, source, true));
    EXPECT_EQ(ReadTextFile(BackupHostsPath()), Hosts());
    EXPECT_EQ(AcceptedHostsDigest(), GetFileMD5(hosts_));
    RemoveFile(source);
}

TEST_F(HostsCommands, InstallFromAMissingSourceOnlyRefreshesTheBackup)
{
    WriteTextFile(BackupHostsPath(), "backup\r\n");
    const std::string before = Hosts();
    DispatchCommand(HostsRequest(17, MakeTempFileName(), true));
    EXPECT_EQ(Hosts(), before);
    EXPECT_EQ(ReadTextFile(BackupHostsPath()), before);
    EXPECT_EQ(AcceptedHostsDigest(), GetFileMD5(BackupHostsPath()));
}

TEST_F(HostsCommands, InstallRefusesOtherSources)
{
    ScratchDir dir;
    WriteTextFile(BackupHostsPath(), "backup\r\n");
    const std::string before = Hosts();
    WriteTextFile(dir / "secret.txt", "secret\r\n");
    ASSERT_TRUE(CreateDirectoryA((dir / "dirqrv.~tmp").c_str(), nullptr));
    for (const std::string& source : {dir / "secret.txt", dir / "sub\\..\\secret.txt", dir / "dirqrv.~tmp"}) {
        DispatchCommand(HostsRequest(17, source, true));
        EXPECT_EQ(Hosts(), before) << source;
        EXPECT_EQ(ReadTextFile(BackupHostsPath()), "backup\r\n") << "nothing at all is done";
    }
}

class HostListCommands : public HostsTest {
protected:
    void SetUp() override
    {
        HostsTest::SetUp();
        reply_ = std::make_unique<SlotListener>(MakeReplySlotName());
        ASSERT_TRUE(reply_->Active());
    }
    // Sends one allow-list command and returns Bool of the reply.
    bool Ask(uint8_t type, const std::string& entry)
    {
        TMSlotMessage m = MakeRequest(type, 0, "", entry);
        m.Bool = type == 43 || type == 45;  // a stale value must not come back
        m.Mess1.Set(reply_->Name());
        DispatchCommand(m);
        TMSlotMessage answer;
        EXPECT_TRUE(reply_->Next(answer, 2000)) << static_cast<int>(type);
        EXPECT_EQ(answer.Type, type);
        EXPECT_EQ(answer.Data.Str(), entry);
        return answer.Bool;
    }
    std::unique_ptr<SlotListener> reply_;
};

TEST_F(HostListCommands, AddLookupDeleteIgnoreCase)
{
    EXPECT_FALSE(Ask(43, "localhost@127.0.0.1")) << "no allow-list yet";
    EXPECT_FALSE(Ask(45, "localhost@127.0.0.1"));
    EXPECT_FALSE(FileExists(HostListPath())) << "nothing written by a lookup or a delete";

    EXPECT_TRUE(Ask(44, "bank.example@10.0.0.1"));
    EXPECT_EQ(ReadTextFile(HostListPath()), "bank.example@10.0.0.1\r\n") << "created with only the entry";
    WriteTextFile(HostListPath(), "localhost@127.0.0.1\r\nbank.example@10.0.0.1\r\n");
    EXPECT_TRUE(Ask(44, "BANK.Example@10.0.0.1"));
    EXPECT_EQ(ReadTextFile(HostListPath()), "localhost@127.0.0.1\r\nbank.example@10.0.0.1\r\n") << "no second line";

    EXPECT_TRUE(Ask(43, "Bank.Example@10.0.0.1"));
    EXPECT_FALSE(Ask(43, "bank.example@10.0.0.2"));
    EXPECT_FALSE(Ask(45, "absent@1.1.1.1"));
    EXPECT_TRUE(Ask(45, "LOCALHOST@127.0.0.1"));
    EXPECT_EQ(ReadTextFile(HostListPath()), "bank.example@10.0.0.1\r\n");
}

TEST_F(HostListCommands, RepliesGoOnlyToReplySlots)
{
    SlotListener tray(kTraySlot);
    WriteTextFile(HostListPath(), "localhost@127.0.0.1\r\n");
    for (const char* slot : {"Quorvane\\tray", "", "..\\..\\tray"}) {
        for (uint8_t type : {43, 44, 45}) {
            TMSlotMessage m = MakeRequest(type, 0, "", "x@1.1.1.1");
            m.Mess1.Set(slot);
            DispatchCommand(m);
        }
    }
    EXPECT_TRUE(tray.Drain(300).empty());
    EXPECT_TRUE(reply_->Drain(100).empty());
    EXPECT_EQ(ReadTextFile(HostListPath()), "localhost@127.0.0.1\r\n") << "added and deleted again";
}

}  // namespace
