// Attacks on what the installed service stores for a local user: entries that
// cannot be one line, one string or one digest, made-up setting names, and
// the bytes of the event records themselves.
#include <gtest/gtest.h>


#include "RegistryUtils.h"
#include "ServiceHarness.h"
#include "TestSupport.h"
#include "Trust.h"
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

void SetSwitch(const char* name, bool on)
{
    TMSlotMessage m = Request(38, 0, name);
    m.Bool = on;
    ASSERT_TRUE(SendToMailSlot(m, kServiceSlot));
}

TEST_F(RecordAttacks, HostsGuardRecordsCarryNoStrayBytes)
{
    const std::string hosts = GetHostsFilePath();
    std::string saved, bytes;
    ASSERT_TRUE(ReadFileBytes(hosts, saved));
    RemoveFile(ReportFilePath());
    SetSwitch("hosts_guard", true);
    ASSERT_TRUE(SendToMailSlot(Request(47, 9, "hosts_delete"), kServiceSlot));  // reported, not repaired
    Settle();
    ASSERT_TRUE(WaitUntil([] { return FileExists(BackupHostsPath()); }, 15000));
    ASSERT_TRUE(RemoveFile(hosts));
    const bool recorded = WaitUntil(
        [&] { return ReadFileBytes(ReportFilePath(), bytes) && bytes.size() >= sizeof(TReportEvent); }, 30000);
    SetSwitch("hosts_guard", false);
    Settle();
    WriteFileBytes(hosts, saved);
    ASSERT_TRUE(recorded) << "the deleted hosts file was not reported";
    EXPECT_EQ(bytes.substr(0, 8), std::string("\x6F\0\0\0\x98\x03\0\0", 8)) << "111/920";
    // The flag and the padding around it: all zero.
    for (size_t at : {413u, 414u, 415u, 424u, 425u, 426u, 427u, 428u, 429u, 430u, 431u})
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
}

TEST_F(RecordAttacks, OnlyTheSystemsSettingsAreWritten)
{
    SetSwitch("made_up_switch", true);
    ASSERT_TRUE(SendToMailSlot(Request(39, 0, "made_up_text", "x"), kServiceSlot));
    ASSERT_TRUE(SendToMailSlot(Request(47, 5, "made_up_number"), kServiceSlot));
    SetSwitch("kb_cross", true);
    Settle();
    for (const char* name : {"made_up_switch", "made_up_text", "made_up_number"}) {
        TRegEngine value = SettingRef(name);
        EXPECT_FALSE(RegValueExists(value)) << name;
    }
    TRegEngine kb = SettingRef("kb_cross");
    EXPECT_TRUE(ReadRegBool(kb));
}

}  // namespace
