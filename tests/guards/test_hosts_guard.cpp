// The hosts guard's decisions, run on the prefix's real hosts file, and the
// guard behind a folder watcher against a locker that rewrites the file.
#include "HostsFixture.h"
#include "SlotListener.h"
#include "uDirWatchThread.h"
#include "uServiceMessThread.h"

#include <cstdio>
#include <cstring>

namespace {

// Mixed line ends and none at the end: the jail keeps them exactly.
const char* const kLockerHosts = "1.2.3.4 bank.example\n5.6.7.8 shop.example\r\r\n\tlast";
const char* const kEmptyDigest = "D41D8CD98F00B204E9800998ECF8427E";

using HostsGuard = HostsTest;

void ExpectOneJailedChange(const std::string& replaced)
{
    const auto events = HostsEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].Event, evmChange);
    const TStringList jail = JailFiles();
    ASSERT_EQ(jail.size(), 1u);
    EXPECT_TRUE(EndsWith(jail[0], "_hosts")) << jail[0];
    EXPECT_EQ(events[0].Path.Str(), JailFolder() + jail[0]);
    EXPECT_EQ(ReadTextFile(JailFolder() + jail[0]), replaced);
}

void ExpectNothingDone()
{
    EXPECT_TRUE(HostsEvents().empty());
    EXPECT_TRUE(JailFiles().empty());
}

TEST_F(HostsGuard, FirstCallWritesStockBackupAndAllowList)
{
    DeleteSetting("hosts_guard");  // the files are made even with the guard off
    PutHosts(kLockerHosts);
    Guard();
    const int major = GetOSMajorVersion();
    EXPECT_EQ(ReadTextFile(BackupHostsPath()), StockHostsText(major));
    EXPECT_EQ(AcceptedHostsDigest(), StockHostsDigest(major));
    EXPECT_EQ(GetFileMD5(BackupHostsPath()), StockHostsDigest(major));
    EXPECT_EQ(ReadTextFile(HostListPath()), "localhost@127.0.0.1\r\n");
    EXPECT_EQ(Hosts(), kLockerHosts) << "the guard is off";
    ExpectNothingDone();

    WriteTextFile(BackupHostsPath(), "kept\r\n");
    Guard();
    EXPECT_EQ(ReadTextFile(BackupHostsPath()), "kept\r\n") << "an existing backup stays";
}

TEST_F(HostsGuard, StockTextOfEachVersionIsWrittenWithItsDigest)
{
    ScratchDir dir;
    const struct {
        int major;
        size_t lines;
        const char* digest;
    } versions[] = {{5, 19, "9FBBD19A171C5E3225647DC4E67D31A4"},
                    {6, 20, "D714455B6B7E7D967DF87A542ADD377F"},
                    {7, 21, "3688374325B992DEF12793500307566D"},
                    {10, 0, kEmptyDigest}};
    for (const auto& v : versions) {
        OverrideHostsMajorVersion(v.major);
        WriteTextFile(dir / "hosts", "old");
        WriteStockHosts(dir / "hosts");
        TStringList lines;
        ASSERT_TRUE(LoadLines(dir / "hosts", lines));
        EXPECT_EQ(lines.size(), v.lines) << v.major;
        EXPECT_EQ(GetFileMD5(dir / "hosts"), v.digest) << v.major;
        EXPECT_EQ(AcceptedHostsDigest(), v.digest) << v.major;
        EXPECT_FALSE(HostsBusy);
    }
}

TEST_F(HostsGuard, ModeZeroKeepsTheStockTextAndRestoresIt)
{
    SetSettingInt("hosts_change", 0);
    Guard();
    ExpectNothingDone();
    EXPECT_EQ(Hosts(), StockHostsText(GetOSMajorVersion()));

    PutHosts(kLockerHosts);
    Guard();
    EXPECT_EQ(Hosts(), StockHostsText(GetOSMajorVersion()));
    EXPECT_EQ(AcceptedHostsDigest(), StockHostsDigest(GetOSMajorVersion()));
    ExpectOneJailedChange(kLockerHosts);
}

TEST_F(HostsGuard, ModeZeroOnAVersionWithoutStockText)
{
    OverrideHostsMajorVersion(10);
    SetSettingInt("hosts_change", 0);
    WriteTextFile(BackupHostsPath(), "backup\r\n");
    PutHosts("accepted\r\n");
    SetAcceptedHostsDigest(GetFileMD5(hosts_));
    Guard();
    EXPECT_EQ(AcceptedHostsDigest(), GetFileMD5(hosts_)) << "no stock digest to load";
    ExpectNothingDone();

    PutHosts(kLockerHosts);
    Guard();
    EXPECT_EQ(Hosts(), "") << "replaced by the (empty) stock text";
    EXPECT_EQ(AcceptedHostsDigest(), kEmptyDigest);
    ExpectOneJailedChange(kLockerHosts);
}

TEST_F(HostsGuard, ModeOneRestoresTheBackupAlsoOverAReadOnlyFile)
{
    const std::string backup = "127.0.0.1 localhost\r\n10.0.0.1 intranet\r\n";
    SetSettingInt("hosts_change", 1);
    WriteTextFile(BackupHostsPath(), backup);
    PutHosts(backup);
    SetAcceptedHostsDigest(GetFileMD5(BackupHostsPath()));
    Guard();
    ExpectNothingDone();

    PutHosts(kLockerHosts);
    Guard();
    EXPECT_EQ(Hosts(), backup);
    ExpectOneJailedChange(kLockerHosts);

    PutHosts(kLockerHosts);
    SetFileAttributesA(hosts_.c_str(), FILE_ATTRIBUTE_READONLY);
    Guard();
    EXPECT_EQ(Hosts(), backup) << "a read-only hosts file is restored too";
    EXPECT_EQ(HostsEvents().size(), 2u);
}

TEST_F(HostsGuard, DefaultOverridesChangeAndDeleteModes)
{
    SetSettingBool("hosts_default", true);
    SetSettingInt("hosts_change", 1);
    SetSettingInt("hosts_delete", 1);
    WriteTextFile(BackupHostsPath(), "backup\r\n");
    SetAcceptedHostsDigest(GetFileMD5(BackupHostsPath()));
    PutHosts(kLockerHosts);
    Guard();
    EXPECT_EQ(Hosts(), StockHostsText(GetOSMajorVersion()));
    ExpectOneJailedChange(kLockerHosts);

    ClearEventQueue();
    RemoveFile(hosts_);
    Guard();
    EXPECT_EQ(Hosts(), StockHostsText(GetOSMajorVersion()));
    ASSERT_EQ(HostsEvents().size(), 1u);
    EXPECT_EQ(HostsEvents()[0].Event, evmDeleteFile);
}

TEST_F(HostsGuard, DeletionIsLoggedBeforeAnyRepair)
{
    WriteTextFile(BackupHostsPath(), "backup\r\n");
    const struct {
        int mode;  // hosts_delete; -1: missing
        bool restored;
        std::string content;
    } cases[] = {{-1, false, ""}, {2, false, ""}, {0, true, StockHostsText(GetOSMajorVersion())}, {1, true, "backup\r\n"}};
    for (const auto& c : cases) {
        ClearEventQueue();
        if (c.mode < 0)
            DeleteSetting("hosts_delete");
        else
            SetSettingInt("hosts_delete", c.mode);
        RemoveFile(hosts_);
        Guard();
        ASSERT_EQ(HostsEvents().size(), 1u) << c.mode;
        EXPECT_EQ(HostsEvents()[0].Event, evmDeleteFile);
        EXPECT_TRUE(HostsEvents()[0].Path.Empty());
        EXPECT_EQ(FileExists(hosts_), c.restored) << c.mode;
        if (c.restored) {
            EXPECT_EQ(Hosts(), c.content) << c.mode;
        }
    }

    // A repair that fails (a folder stands where the file was) still has its event.
    ClearEventQueue();
    SetSettingInt("hosts_delete", 0);
    RemoveFile(hosts_);
    ASSERT_TRUE(CreateDirectoryA(hosts_.c_str(), nullptr));
    Guard();
    EXPECT_EQ(HostsEvents().size(), 1u);
    EXPECT_FALSE(HostsBusy) << "cleared on the way out of a failed pass";
    RemoveDirectoryA(hosts_.c_str());
}

TEST_F(HostsGuard, GuardOffOrBusyDoesNothing)
{
    SetSettingInt("hosts_change", 0);
    SetSettingInt("hosts_delete", 0);
    DeleteSetting("hosts_guard");
    PutHosts(kLockerHosts);
    Guard();
    RemoveFile(hosts_);
    Guard();
    EXPECT_FALSE(FileExists(hosts_));
    ExpectNothingDone();

    SetSettingBool("hosts_guard", true);
    PutHosts(kLockerHosts);
    HostsBusy = true;
    Guard();
    EXPECT_EQ(Hosts(), kLockerHosts);
    ExpectNothingDone();
    EXPECT_FALSE(HostsBusy) << "the pass that found the flag clears it";
}

TEST_F(HostsGuard, FilterCommentsOutWholeLinesWithRejectedPairs)
{
    SetSettingInt("hosts_change", 2);
    const std::string allowed = "# only allowed\n127.0.0.1 localhost\n";
    PutHosts(allowed);
    Guard();
    EXPECT_EQ(Hosts(), allowed) << "not rewritten when nothing is rejected (LF line ends kept)";
    ExpectNothingDone();

    const std::string locked =
        "# comment\r\n127.0.0.1       localhost\r\n10.0.0.1\tbank.example\r\n"
        "127.0.0.1  LOCALHOST evil.example # note\r\n";
    PutHosts(locked);
    Guard();
    EXPECT_EQ(Hosts(), "# comment\r\n127.0.0.1       localhost\r\n#10.0.0.1\tbank.example\r\n"
                       "#127.0.0.1  LOCALHOST evil.example # note\r\n");
    ExpectOneJailedChange(locked);

    const std::string filtered = Hosts();
    Guard();
    EXPECT_EQ(Hosts(), filtered);
    EXPECT_EQ(HostsEvents().size(), 1u);

    // Without an allow-list nothing counts as rejected.
    RemoveFile(HostListPath());
    PutHosts(locked);
    TReportEvent event;
    InitReportEvent(event);
    EXPECT_FALSE(FilterHostsFile(hosts_, event));
    EXPECT_EQ(Hosts(), locked);
    EXPECT_FALSE(HostsBusy);
}

TEST(HostPairs, CommentOutMatchesAddressAndHostIgnoringCase)
{
    TStringList lines = {"1.2.3.4\t\tEVIL.example   # tail",
                         "#1.2.3.4 evil.example",
                         "  5.6.7.8   good.example",
                         "evil.example 1.2.3.4",
                         "",
                         "9.9.9.9 good.example evil.example",
                         "1.2.3.4"};
    CommentOutHostPairs(lines, {"evil.example@1.2.3.4", "evil.example@9.9.9.9"});
    EXPECT_EQ(lines, (TStringList{"#1.2.3.4\t\tEVIL.example   # tail",
                                  "#1.2.3.4 evil.example",
                                  "  5.6.7.8   good.example",
                                  "evil.example 1.2.3.4",
                                  "",
                                  "#9.9.9.9 good.example evil.example",
                                  "1.2.3.4"}));
}

TEST_F(HostsGuard, WatcherPutsBackWhatALockerWrites)
{
    const std::string backup = "127.0.0.1 localhost\r\n";
    SetSettingInt("hosts_change", 1);
    WriteTextFile(BackupHostsPath(), backup);
    PutHosts(backup);
    SetAcceptedHostsDigest(GetFileMD5(BackupHostsPath()));
    auto watcher = std::make_unique<TDirWatchThread>(Folder(), 0, OnHostsFolderChanged);

    HANDLE file = CreateFileA(hosts_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD done = 0;
    WriteFile(file, kLockerHosts, static_cast<DWORD>(strlen(kLockerHosts)), &done, nullptr);
    CloseHandle(file);
    const DWORD start = GetTickCount();
    // About a quarter of a second on a quiet machine; the bound is for a loaded one.
    EXPECT_TRUE(WaitUntil([] { return Hosts() == "127.0.0.1 localhost\r\n"; }, 10000));
    const DWORD took = GetTickCount() - start;
    Sleep(800);
    EXPECT_EQ(Hosts(), backup);
    ExpectOneJailedChange(kLockerHosts);
    StopAndFree(watcher);
    std::printf("the hosts file was put back %lu ms after the locker wrote it\n", static_cast<unsigned long>(took));
}

}  // namespace

// Lockers mark the hosts file read-only, hidden and system, and Windows will
// not write over such a file. Wine running as root writes anyway, so what is
// checked is what Wine keeps: the marks before, and that each repair cleared
// them before it wrote.
TEST_F(HostsGuard, EveryWriteClearsTheMarksALockerSets)
{
    constexpr DWORD kMarks = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    const auto markedLocker = [&] {
        PutHosts(kLockerHosts);
        SetFileAttributesA(hosts_.c_str(), kMarks);
        return (GetFileAttributesA(hosts_.c_str()) & kMarks) == kMarks;
    };
    WriteTextFile(BackupHostsPath(), "backup\r\n");
    for (int mode : {0, 1, 2}) {
        SCOPED_TRACE("mode " + std::to_string(mode));
        SetSettingInt("hosts_change", mode);
        ASSERT_TRUE(markedLocker()) << "Wine keeps the marks";
        Guard();
        EXPECT_NE(Hosts(), kLockerHosts);
        EXPECT_EQ(GetFileAttributesA(hosts_.c_str()) & kMarks, 0u);
    }
    DeleteSetting("hosts_change");
    const std::string source = MakeTempFileName();
    WriteTextFile(source, "127.0.0.1 localhost\r\n");
    ASSERT_TRUE(markedLocker());
    TMSlotMessage install = MakeRequest(13, 17, "", source);
    DispatchCommand(install);
    EXPECT_EQ(Hosts(), "127.0.0.1 localhost\r\n") << "the user's save is installed";
    EXPECT_EQ(GetFileAttributesA(hosts_.c_str()) & kMarks, 0u);
    RemoveFile(source);
}
