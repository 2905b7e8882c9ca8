// Windows XP: the reference copies of userinit.exe and taskmgr.exe exist only
// there. The prefix is set to Windows XP before the service starts, so the
// real service takes its references at start and watches the system folder.
#include <gtest/gtest.h>

#include <windows.h>

#include "RegistryUtils.h"
#include "ScenarioSupport.h"
#include "ServiceHarness.h"
#include "TestSupport.h"
#include "Trust.h"
#include "md5.h"
#include "qvFiles.h"
#include "uChangeFilesProcedures.h"
#include "uCommonUtils.h"
#include "uPIDProcessing.h"
#include "uReportEvent.h"
#include "uServiceUtils.h"

namespace {

using namespace harness;

// Wine's Windows-version setting, read by every process as it starts.
void PresentPrefixAsWindowsXP()
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const char version[] = "winxp64";
    EXPECT_EQ(RegSetValueExA(key, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version), sizeof(version)),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

std::string SystemUserinit() { return GetSystemFolder() + "userinit.exe"; }

bool Put(const std::string& source, const std::string& target)
{
    SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_NORMAL);
    return CopyFileA(source.c_str(), target.c_str(), FALSE) != 0;
}

}  // namespace

TEST(WindowsXP, ReplacedUserinitIsPutBackFromTheReferenceCopy)
{
    ChildProcess addRoot;
    ASSERT_TRUE(addRoot.Start(HelperPath("qv_addroot.exe"), "\"" + HelperPath("qv_testroot.cer") + "\""))
        << "CreateProcess error " << GetLastError();
    ASSERT_EQ(addRoot.Wait(30000), 0u);
    const std::string signedCopy = HelperPath("qv_signed.exe");
    const std::string lockerCopy = HelperPath("qv_waiter.exe");
    ASSERT_TRUE(IsFileSigned(signedCopy)) << "the build-time signature is not accepted here";
    ASSERT_TRUE(Put(signedCopy, SystemUserinit()));
    PresentPrefixAsWindowsXP();

    RemoveService();
    ResetMachineState();
    scenario::PrepareGoodList();
    TRegEngine guardSwitch = SettingRef("file_userinit");
    WriteRegBool(guardSwitch, true);
    ASSERT_TRUE(InstallService(StageServiceCopy(GetEnvVar("TEMP") + "\\qvsvc_xp", "ServiceQuorvane.exe")));
    ASSERT_TRUE(StartAndWaitRunning());

    // At start: the reference copy in "dllcaсhe" and the digest it was made from.
    const std::string reference = GetDataFolder() + "dllca\xF1he\\userinit.exe";
    const std::string signedDigest = GetFileMD5(signedCopy);
    EXPECT_TRUE(WaitUntil([&] { return ReadSettingString("1h") == signedDigest; }, 15000))
        << "no reference taken at start: the service did not see Windows XP";
    EXPECT_EQ(GetFileMD5(reference), signedDigest);

    // A locker's userinit: the system-folder watcher puts the signed one back.
    ASSERT_TRUE(Put(lockerCopy, SystemUserinit()));
    EXPECT_TRUE(scenario::WaitForRecord(evkChangeUserinit, evmChangeFile, 30000)) << "no record of the restore";
    EXPECT_TRUE(WaitUntil([] { return GetFileMD5(SystemUserinit()) == GetFileMD5(HelperPath("qv_signed.exe")); }, 15000));
    EXPECT_EQ(scenario::CountRecords(evkChangeUserinit, evmChangeFile), 1) << "the restored file raised no second event";
    EXPECT_EQ(ReadSettingString("1h"), signedDigest) << "the reference is unchanged";

    EXPECT_TRUE(StopAndWaitStopped());
    TerminateProcessesByName("userinit.exe");  // the shell restart started the stand-in
    RemoveService();
}
