// A locker's values and files in shapes the guards do not expect: a Winlogon
// key deleted and made anew, values of other registry types, Startup files
// named outside the ANSI code page. The installed service must repair each
// and keep watching.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

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

// The Shell value's type and text, "" when it is missing.
std::string ShellNow(DWORD& type)
{
    UniqueRegKey key;
    type = REG_NONE;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, WinlogonKeyPath().c_str(), 0, KEY_READ, key.Put()) != ERROR_SUCCESS) return {};
    char text[512] = {};
    DWORD size = sizeof(text) - 1;
    if (RegQueryValueExA(key.Get(), "Shell", nullptr, &type, reinterpret_cast<BYTE*>(text), &size) != ERROR_SUCCESS)
        return {};
    return text;
}

void PlantShell(DWORD type, const std::string& data)
{
    UniqueRegKey key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, WinlogonKeyPath().c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              key.Put(), nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key.Get(), "Shell", 0, type, reinterpret_cast<const BYTE*>(data.data()),
                             static_cast<DWORD>(data.size())),
              ERROR_SUCCESS);
}

bool ShellRepaired()
{
    DWORD type = REG_NONE;
    return ShellNow(type) == "Explorer.exe" && type == REG_SZ;
}

TEST_F(ValueAttacks, ShellIsRepairedWhateverItsTypeAndAfterTheKeyIsMadeAnew)
{
    struct Planted {
        DWORD type;
        std::string data;
    };
    const std::string locker = "C:\\locker\\lock.exe";
    for (const Planted& planted : {Planted{REG_EXPAND_SZ, locker + '\0'}, Planted{REG_BINARY, locker},
                                   Planted{REG_MULTI_SZ, locker + '\0' + '\0'}, Planted{REG_SZ, std::string(1, '\0')},
                                   Planted{REG_SZ, std::string(40000, 'x') + '\0'}}) {
        PlantShell(planted.type, planted.data);
        EXPECT_TRUE(WaitUntil(ShellRepaired, 30000)) << "type " << planted.type;
    }

    // The whole key goes, then comes back with the locker's shell in it.
    TRegEngine winlogon;
    winlogon.Key = WinlogonKeyPath();
    DeleteRegKey(winlogon);
    EXPECT_TRUE(WaitUntil(ShellRepaired, 30000)) << "the deleted key is put back";
    DeleteRegKey(winlogon);
    PlantShell(REG_SZ, locker + '\0');
    EXPECT_TRUE(WaitUntil(ShellRepaired, 30000)) << "the made-anew key is repaired";
    PlantShell(REG_SZ, locker + '\0');
    EXPECT_TRUE(WaitUntil(ShellRepaired, 30000)) << "and watched";
}

TEST_F(ValueAttacks, StartupProgramNamedOutsideTheCodePageIsQuarantined)
{
    const std::string folder = GetSpecialFolder(24);
    wchar_t wideFolder[MAX_PATH] = {};
    ASSERT_GT(MultiByteToWideChar(CP_ACP, 0, folder.c_str(), -1, wideFolder, MAX_PATH), 0);
    const std::wstring name = L"\x9501\x5c4f.exe";  // not in code page 1251 nor 1252
    const std::wstring path = std::wstring(wideFolder) + L"\\" + name;
    {
        UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        ASSERT_TRUE(file);
        DWORD written = 0;
        ASSERT_TRUE(WriteFile(file.Get(), "MZ", 2, &written, nullptr));
    }
    EXPECT_TRUE(WaitUntil([&] { return GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES; }, 30000))
        << "the program stays in the Startup folder";
    // Kept, under the short name that reached it.
    TStringList kept;
    ListFolderFiles(folder + "\\AutorunsDisabled", kept);
    std::string bytes;
    EXPECT_TRUE(kept.size() == 1 && ReadFileBytes(folder + "\\AutorunsDisabled\\" + kept[0], bytes) && bytes == "MZ")
        << kept.size() << " files kept";
    DeleteFileW(path.c_str());
}

}  // namespace
