// Repairs that record their event after acting: when the record cannot be
// written (the data folder is a plain file here), the value is put right all
// the same. And the policy blocks, whatever their data.
#include <gtest/gtest.h>

#include <cstring>

#include "RegistryUtils.h"
#include "TestSupport.h"
#include "qvFiles.h"
#include "uCommonUtils.h"
#include "uDispatcherThread.h"
#include "uWinLogonProcedures.h"

namespace {

TRegEngine Value(uint8_t root, const std::string& key, const std::string& name)
{
    TRegEngine rec;
    rec.Root = root;
    rec.Key = key;
    rec.Value = name;
    return rec;
}

void Switch(const char* name, bool on)
{
    TRegEngine rec = SettingRef(name);
    WriteRegBool(rec, on);
}

class RepairOrder : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name : {"All_userinit", "All_shell", "All_gina", "All_taskman", "All_message", "All_parazite",
                                 "All_polices_shell"})
            Switch(name, false);
    }
    void TearDown() override { RestoreDataFolder(); }
    static void BreakTheReport()
    {
        const std::string folder = ExcludeTrailingBackslash(GetDataFolder());
        RemoveTree(folder);
        ASSERT_TRUE(WriteTextFile(folder, "not a folder"));
    }
    static void RestoreDataFolder()
    {
        const std::string folder = ExcludeTrailingBackslash(GetDataFolder());
        if (FileExists(folder)) RemoveFile(folder);
        ForceDirectories(folder);
    }
};

TEST_F(RepairOrder, ValuesAreRepairedWhenTheirRecordFails)
{
    const std::string winlogon = WinlogonKeyPath();
    for (const char* name : {"GinaDll", "usrinit"}) {
        SCOPED_TRACE(name);
        Switch(SameText(name, "GinaDll") ? "All_gina" : "All_parazite", true);
        TRegEngine value = Value(kRootHKLM, winlogon, name);
        WriteRegString(value, "C:\\nowhere\\locker.dll");
        BreakTheReport();
        EXPECT_ANY_THROW(RepairWinlogon()) << "the record fails";
        EXPECT_FALSE(RegValueExists(value)) << "deleted before the record";
        RestoreDataFolder();
        SetUp();
    }

    TRegEngine text = Value(kRootHKLM, kMachinePoliciesSystemKey, "legalnoticetext");
    WriteRegString(text, "Pay up");
    BreakTheReport();
    RepairSystemPolicies();  // ends quietly on the failed record
    EXPECT_EQ(ReadRegString(text), "");

    const std::string user = "SOFTWARE\\QuorvaneTest\\UserPolicies";
    TRegEngine key = Value(kRootHKLM, user, "");
    TRegEngine taskmgr = Value(kRootHKLM, user, "DisableTaskMgr");
    WriteRegInteger(taskmgr, 1);
    EXPECT_ANY_THROW(RepairUserPolicies(key));
    EXPECT_FALSE(RegValueExists(taskmgr));
    DeleteRegKey(key);
}

TEST_F(RepairOrder, PolicyBlocksThatAreNotNumbersAreRemoved)
{
    RemoveFile(ReportFilePath());
    const std::string user = "SOFTWARE\\QuorvaneTest\\UserPolicies";
    TRegEngine key = Value(kRootHKLM, user, "");
    TRegEngine taskmgr = Value(kRootHKLM, user, "DisableTaskMgr");
    TRegEngine regedit = Value(kRootHKLM, user, "DisableRegistryTools");
    WriteRegInteger(taskmgr, 0);
    WriteRegString(regedit, "1");
    RepairUserPolicies(key);
    EXPECT_TRUE(RegValueExists(taskmgr)) << "0 blocks nothing";
    EXPECT_FALSE(RegValueExists(regedit)) << "text reads as -1, which blocks";
    const std::string report = ReadTextFile(ReportFilePath());
    ASSERT_EQ(report.size(), sizeof(TReportEvent)) << "one event";
    TReportEvent event;
    std::memcpy(&event, report.data(), sizeof(event));
    EXPECT_EQ(event.Source, evkUserBlockRegedit);
    EXPECT_EQ(event.Event, evmBlockRegedit);
    DeleteRegKey(key);
}

}  // namespace
