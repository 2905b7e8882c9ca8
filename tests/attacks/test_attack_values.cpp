// A locker's registry keys and Startup files in shapes the guards do not
// expect: each must still be repaired, and the guard keep watching.
#include <gtest/gtest.h>

#include <windows.h>

#include "RegistryUtils.h"
#include "ServiceHarness.h"
#include "TestSupport.h"
#include "qvFiles.h"
#include "qvHandles.h"
#include "uCommonUtils.h"
#include "uWinLogonProcedures.h"

using namespace harness;

namespace {

class ValueAttacks : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        RemoveService();
        ResetMachineState();
        ASSERT_TRUE(InstallService(StageServiceCopy(GetEnvVar("TEMP") + "\\qvsvc_attack_values", "ServiceQuorvane.exe")));
        ASSERT_TRUE(StartAndWaitRunning());
        for (const char* name : {"All_shell", "arn_all_folder"}) {
            TMSlotMessage m = Request(38, 0, name);
            m.Bool = true;
            ASSERT_TRUE(SendToMailSlot(m, kServiceSlot));
        }
        TMSlotMessage settle = Request(13, 20);
        ASSERT_TRUE(Ask(settle));
    }
    static void TearDownTestSuite() { RemoveService(); }
};

TEST_F(ValueAttacks, WinlogonKeyMadeAnewIsRepairedAndWatched)
{
    TRegEngine shell;
    shell.Key = WinlogonKeyPath();
    shell.Value = "Shell";
    auto repaired = [&] { return ReadRegString(shell) == "Explorer.exe"; };
    for (int round = 0; round < 3; ++round) {
        if (round > 0) DeleteRegKey(shell);
        WriteRegString(shell, "C:\\locker\\lock.exe");
        EXPECT_TRUE(WaitUntil(repaired, 60000)) << "round " << round;
    }
}

TEST_F(ValueAttacks, StartupProgramNamedOutsideTheCodePageIsQuarantined)
{
    const std::string folder = GetSpecialFolder(24);
    wchar_t wide[MAX_PATH] = {};
    ASSERT_GT(MultiByteToWideChar(CP_ACP, 0, folder.c_str(), -1, wide, MAX_PATH), 0);
    const std::wstring path = std::wstring(wide) + L"\\\x9501\x5c4f.exe";  // in neither code page 1251 nor 1252
    ASSERT_TRUE(UniqueHandle(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr)));
    EXPECT_TRUE(WaitUntil([&] { return GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES; }, 30000));
    TStringList kept;  // under the short name that reached it
    ListFolderFiles(folder + "\\AutorunsDisabled", kept);
    EXPECT_EQ(kept.size(), 1u);
    DeleteFileW(path.c_str());
}

}  // namespace
