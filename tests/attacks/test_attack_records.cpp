// Attacks on what the installed service stores for a local user: entries that
// cannot be one line, one string or one digest, made-up setting names, and
// the bytes of the event records themselves.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "RegistryUtils.h"
#include "ServiceHarness.h"
#include "TestSupport.h"
#include "qvFiles.h"
#include "uCommonUtils.h"
#include "uDispatcherThread.h"
#include "uHostsProcedures.h"

using namespace harness;

namespace {

class RecordAttacks : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        RemoveService();
        ResetMachineState();
        ASSERT_TRUE(InstallService(StageServiceCopy(GetEnvVar("TEMP") + "\\qvsvc_attack_records", "ServiceQuorvane.exe")));
        ASSERT_TRUE(StartAndWaitRunning());
    }
    static void TearDownTestSuite() { RemoveService(); }

    // Answered once every command sent before it has been handled.
    static void Settle()
    {
        TMSlotMessage m = Request(13, 20);
        ASSERT_TRUE(Ask(m));
    }
};

TEST_F(RecordAttacks, HostsGuardRecordsCarryNoStrayBytes)
{
    const std::string hosts = GetHostsFilePath();
    std::string saved;
    ASSERT_TRUE(ReadFileBytes(hosts, saved));
    RemoveFile(ReportFilePath());
    for (const char* name : {"hosts_guard", "hosts_default"}) {
        TMSlotMessage m = Request(38, 0, name);
        m.Bool = std::strcmp(name, "hosts_guard") == 0;
        ASSERT_TRUE(SendToMailSlot(m, kServiceSlot));
    }
    ASSERT_TRUE(SendToMailSlot(Request(47, 9, "hosts_delete"), kServiceSlot));  // reported, not repaired
    Settle();
    ASSERT_TRUE(WaitUntil([] { return FileExists(BackupHostsPath()); }, 15000));
    ASSERT_TRUE(RemoveFile(hosts));
    std::string bytes;
    const bool recorded = WaitUntil(
        [&] { return ReadFileBytes(ReportFilePath(), bytes) && bytes.size() >= sizeof(TReportEvent); }, 30000);
    TMSlotMessage off = Request(38, 0, "hosts_guard");
    SendToMailSlot(off, kServiceSlot);
    Settle();
    WriteFileBytes(hosts, saved);
    ASSERT_TRUE(recorded) << "the deleted hosts file was not reported";

    TReportEvent e;
    std::memcpy(&e, bytes.data(), sizeof(e));
    EXPECT_EQ(e.Source, 111);
    EXPECT_EQ(e.Event, 920);
    EXPECT_FALSE(e.Flag) << "flag byte " << int(reinterpret_cast<const uint8_t*>(bytes.data())[424]);
    // The padding after Md5 and after Flag.
    for (size_t at : {413u, 414u, 415u, 425u, 426u, 427u, 428u, 429u, 430u, 431u})
        EXPECT_EQ(bytes[at], '\0') << "byte " << at;
}

TEST_F(RecordAttacks, StoredEntriesAreOneLineOneStringOneDigest)
{
    // Host list: a CR or LF inside would add lines of the sender's choosing.
    ASSERT_TRUE(WaitUntil([] { return FileExists(HostListPath()); }, 15000));  // made at the guard's start
    for (const std::string& entry : TStringList{"evil@1.2.3.4\r\nbank@6.6.6.6", "a\nb", ""}) {
        TMSlotMessage m = Request(44, 0, "", entry);
        ASSERT_TRUE(Ask(m));
        EXPECT_FALSE(m.Bool) << entry;
    }
    TStringList lines;
    LoadLines(HostListPath(), lines);
    EXPECT_EQ(lines, TStringList{"localhost@127.0.0.1"});

    // Trust list: a NUL inside a string of the list ends the list for many readers.
    ASSERT_TRUE(SendToMailSlot(Request(22, 0, "", std::string("C:\\a.exe|0123\0C:\\b.exe|4567", 27)), kServiceSlot));
    ASSERT_TRUE(SendToMailSlot(Request(22, 0, "", ""), kServiceSlot));
    // Good list: only digests.
    for (const char* text : {"not a digest", "0123456789ABCDEF0123456789ABCDEG", "0123456789abcdef"}) {
        TMSlotMessage m = Request(19);
        m.Mess1.Set(text);
        ASSERT_TRUE(SendToMailSlot(m, kServiceSlot));
    }
    Settle();
    TRegEngine trust = SettingRef("trustList");
    EXPECT_FALSE(RegValueExists(trust));
    EXPECT_FALSE(FileExists(GoodListPath()));

    // What is one entry is still stored.
    TMSlotMessage good = Request(19);
    good.Mess1.Set("0123456789ABCDEF0123456789abcdef");
    ASSERT_TRUE(SendToMailSlot(good, kServiceSlot));
    TMSlotMessage host = Request(44, 0, "", "intranet@10.1.1.1");
    ASSERT_TRUE(Ask(host));
    EXPECT_TRUE(host.Bool);
    EXPECT_EQ(ReadTextFile(GoodListPath()), "0123456789ABCDEF0123456789abcdef\r\n");
}

TEST_F(RecordAttacks, OnlyTheSystemsSettingsAreWritten)
{
    TMSlotMessage madeUp = Request(38, 0, "made_up_switch");
    madeUp.Bool = true;
    ASSERT_TRUE(SendToMailSlot(madeUp, kServiceSlot));
    ASSERT_TRUE(SendToMailSlot(Request(39, 0, "made_up_text", "x"), kServiceSlot));
    ASSERT_TRUE(SendToMailSlot(Request(47, 5, "made_up_number"), kServiceSlot));
    TMSlotMessage known = Request(38, 0, "kb_cross");
    known.Bool = true;
    ASSERT_TRUE(SendToMailSlot(known, kServiceSlot));
    Settle();
    for (const char* name : {"made_up_switch", "made_up_text", "made_up_number"}) {
        TRegEngine value = SettingRef(name);
        EXPECT_FALSE(RegValueExists(value)) << name;
    }
    TRegEngine kb = SettingRef("kb_cross");
    EXPECT_TRUE(ReadRegBool(kb));
}

}  // namespace
