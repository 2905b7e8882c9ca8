#include <gtest/gtest.h>

#include <shlobj.h>
#include <shobjidl.h>

#include <regex>

#include "RegistryUtils.h"
#include "TestSupport.h"
#include "qvFiles.h"
#include "qvHandles.h"
#include "uCommonUtils.h"

namespace {

std::string SystemDir() { return ExcludeTrailingBackslash(GetSystemFolder()); }
std::string WindowsDir() { return ExcludeTrailingBackslash(GetWindowsFolder()); }

TEST(CommonUtils, FoldersAndVersion)
{
    EXPECT_TRUE(EndsWith(GetDataFolder(), "\\Quorvane\\"));
    EXPECT_TRUE(SameText(GetDataFolder(), GetSpecialFolder(CSIDL_COMMON_APPDATA) + "\\Quorvane\\"));
    EXPECT_TRUE(DirectoryExists(SystemDir()));
    EXPECT_TRUE(FileExists(GetSystemFolder() + "notepad.exe"));
    EXPECT_EQ(GetSystemFolder().back(), '\\');
    EXPECT_EQ(GetVersionText(), "2.6.9");
    EXPECT_GE(GetOSMajorVersion(), 5);
    EXPECT_FALSE(GetLocaleInfoText(LOCALE_SENGLANGUAGE).empty());
}

TEST(CommonUtils, Wow64SwitchesInA64BitProcess)
{
    EXPECT_FALSE(IsWow64());
    void* old = nullptr;
    EXPECT_FALSE(DisableWow64Redirection(&old));
    EXPECT_FALSE(RevertWow64Redirection(old));
    EXPECT_TRUE(IsWin64System()) << "a 64-bit process runs on 64-bit Windows";
}

TEST(CommonUtils, TimeStampAndTempNames)
{
    std::regex stamp(R"(([1-9]|[12][0-9]|3[01])-([1-9]|1[0-2])-20[0-9]{2}-([0-9]|1[0-9]|2[0-3])-([0-9]|[1-5][0-9])-([0-9]|[1-5][0-9])-([0-9]|[1-9][0-9]{1,2})_)");
    EXPECT_TRUE(std::regex_match(GetTimeStamp(), stamp)) << GetTimeStamp();
    std::string temp = MakeTempFileName();
    EXPECT_TRUE(StartsText(GetEnvVar("temp") + "\\", temp)) << temp;
    EXPECT_TRUE(EndsWith(temp, "qrv.~tmp"));
    EXPECT_FALSE(FileExists(temp)) << "the file is not created";
    const std::string folder = GetEnvVar("temp");
    SetEnvironmentVariableA("TEMP", (folder + "\\").c_str());
    temp = MakeTempFileName();
    SetEnvironmentVariableA("TEMP", folder.c_str());
    EXPECT_EQ(ExtractFilePath(temp), folder + "\\") << "one backslash between folder and name: " << temp;
}

TEST(CommonUtils, TextHelpers)
{
    EXPECT_EQ(TrimLeadingBlanks("   a b "), "a b ");
    EXPECT_EQ(TrimLeadingBlanks("    "), "");
    EXPECT_EQ(TrimLeadingBlanks("\tx"), "\tx") << "only the blank character is trimmed";
    EXPECT_EQ(ReplaceAllText("aXbXc", "X", "XX"), "aXXbXXc") << "replaced parts are not searched again";
    EXPECT_EQ(ReplaceAllText("Abab", "ab", "-"), "Ab-") << "case counts";
}

TEST(CommonUtils, NormalizeQuotedPathWithArguments)
{
    EXPECT_EQ(NormalizeCommandPath("\"C:\\Program Files\\A\\a.exe\" -x"), "c:\\program files\\a\\a.exe");
}

TEST(CommonUtils, NormalizeSystemRootForms)
{
    EXPECT_EQ(NormalizeCommandPath("\\SystemRoot\\System32\\drivers\\x.sys"),
              GetEnvVar("SystemRoot") + "\\system32\\drivers\\x.sys");
    EXPECT_EQ(NormalizeCommandPath("\\\\?\\globalroot\\systemroot\\System32\\x.sys"), WindowsDir() + "\\System32\\x.sys");
    EXPECT_TRUE(SameText(NormalizeCommandPath("\\??\\" + SystemDir() + "\\notepad.exe"), SystemDir() + "\\notepad.exe"));
}

TEST(CommonUtils, NormalizeBareProgramNames)
{
    EXPECT_TRUE(SameText(NormalizeCommandPath("notepad.exe"), SystemDir() + "\\notepad.exe"));
    EXPECT_TRUE(SameText(NormalizeCommandPath("  regedit.exe"), WindowsDir() + "\\regedit.exe") ||
                SameText(NormalizeCommandPath("  regedit.exe"), SystemDir() + "\\regedit.exe"));
    EXPECT_EQ(NormalizeCommandPath("?"), "");
    EXPECT_EQ(NormalizeCommandPath(""), "");
}

TEST(CommonUtils, NormalizeEnvironmentStrings)
{
    EXPECT_EQ(NormalizeCommandPath("%HOMEDRIVE%\\x.exe"), GetEnvVar("SystemDrive") + "\\x.exe");

    ScratchDir dir;
    std::string exe = dir / "Prog.exe";
    ASSERT_TRUE(WriteTextFile(exe, "MZ"));
    SetEnvironmentVariableA("QVTESTDIR", dir.Path().c_str());
    // an environment-string command with arguments resolves to its program
    EXPECT_TRUE(SameText(NormalizeCommandPath("%QVTESTDIR%\\Prog.exe /s"), exe));
    EXPECT_TRUE(SameText(NormalizeCommandPath("%QVTESTDIR%\\Prog.exe"), exe));
    EXPECT_TRUE(SameText(NormalizeCommandPath("%QVTESTDIR%\\Missing.exe /s"), dir.Path() + "\\Missing.exe /s"));
}

TEST(CommonUtils, NormalizeUnquotedCommandLineTakesShortestExistingPrefix)
{
    ScratchDir dir;
    std::string exe = dir / "My App.exe";
    ASSERT_TRUE(WriteTextFile(exe, "MZ"));
    EXPECT_EQ(NormalizeCommandPath(exe + " /autorun now"), exe) << "the case as written is kept";
    // the whole text is never a prefix of itself: an exact path comes back lower-cased
    EXPECT_EQ(NormalizeCommandPath(exe), LowerCase(exe));
}

TEST(CommonUtils, NormalizeSkipsDeviceNames)
{
    ScratchDir dir;
    // "NUL" exists everywhere as a device; it must never be taken for the program.
    EXPECT_EQ(NormalizeCommandPath("nul x"), "nul x");
}

// The program a stored command starts is the one CreateProcess would start.
TEST(CommandResolver, FindsTheFileWindowsStarts)
{
    ScratchDir dir;
    const std::string locker = dir / "f15.exe", decoy = dir / "f15", app = dir / "My App.exe", my = dir / "My.exe";
    for (const std::string& file : {locker, decoy, app, dir / "f21.exe"}) ASSERT_TRUE(WriteTextFile(file, "MZ"));
    EXPECT_EQ(ResolveCommandProgram(locker), locker) << "a line without blanks names one file, not its decoy";
    EXPECT_EQ(ResolveCommandProgram(dir / "f21"), dir / "f21.exe") << "\".exe\" is added";
    EXPECT_EQ(ResolveCommandProgram(decoy + " /x"), locker) << "\".exe\" is tried first";
    EXPECT_EQ(ResolveCommandProgram("  " + app + " /autorun now "), app);
    EXPECT_EQ(ResolveCommandProgram(" \"" + app + "\" -x"), app);
    ASSERT_TRUE(WriteTextFile(my, "MZ"));
    EXPECT_EQ(ResolveCommandProgram(app + " /s"), my) << "the shortest candidate first";
    EXPECT_EQ(ResolveCommandProgram("\"" + app + "\""), app);
    EXPECT_EQ(ResolveCommandProgram(dir / "missing.exe /s"), "");
    EXPECT_EQ(ResolveCommandProgram("nul x"), "");
    EXPECT_TRUE(SameText(ResolveCommandProgram("notepad /p x.txt"), SystemDir() + "\\notepad.exe"));

    SetEnvironmentVariableA("QVTESTDIR", dir.Path().c_str());
    EXPECT_EQ(ResolveCommandProgram("%QVTESTDIR%\\f21 /s"), dir / "f21.exe");
    EXPECT_EQ(ResolveCommandProgram("\"%QVTESTDIR%\\f21.exe\""), dir / "f21.exe") << "a shell link's target, quoted";
}

// Bare names: the machine's PATH (not this process's) and App Paths.
TEST(CommandResolver, SearchesMachinePathAndAppPaths)
{
    ScratchDir dir;
    ASSERT_TRUE(WriteTextFile(dir / "qvonpath.exe", "MZ"));
    ASSERT_TRUE(WriteTextFile(dir / "real.exe", "MZ"));
    EXPECT_EQ(ResolveCommandProgram("qvonpath.exe"), "");

    TRegEngine path;
    path.Key = "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";
    path.Value = "Path";
    const std::string machinePath = ReadRegString(path);
    WriteRegString(path, machinePath + ";" + dir.Path() + "\\");
    const std::string onPath = ResolveCommandProgram("qvonpath /s");
    WriteRegString(path, machinePath);
    EXPECT_TRUE(SameText(onPath, dir / "qvonpath.exe")) << onPath;

    TRegEngine app;
    app.Key = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\qvapp.exe";
    WriteRegString(app, "\"" + dir / "real.exe" + "\"");
    const std::string registered = ResolveCommandProgram("qvapp");
    DeleteRegKey(app);
    EXPECT_EQ(registered, dir / "real.exe");
}

TEST(CommonUtils, SplitCommandLine)
{
    TStringList list{"stale"};
    SplitCommandLine("a.exe b.dll,c", list, true);
    EXPECT_EQ(list, (TStringList{"a.exe", "b.dll", "c"}));
    SplitCommandLine("\"a b\" c", list, true);
    EXPECT_EQ(list, (TStringList{"\"a b\" c"}));
    SplitCommandLine("x.exe , ,  y.exe ,", list, false);
    EXPECT_EQ(list, (TStringList{"x.exe ", "y.exe "})) << "empty parts vanish, trailing blanks stay";
    SplitCommandLine("", list, true);
    EXPECT_TRUE(list.empty());
    SplitCommandLine("one two three", list, false);
    EXPECT_EQ(list, (TStringList{"one two three"}));
}

TEST(CommonUtils, ListFolderFilesSkipsLowerCaseIniAndFolders)
{
    ScratchDir dir;
    ASSERT_TRUE(WriteTextFile(dir / "x.ini", ""));
    ASSERT_TRUE(WriteTextFile(dir / "y.INI", ""));
    ASSERT_TRUE(WriteTextFile(dir / "z.exe", ""));
    SetFileAttributesA((dir / "z.exe").c_str(), FILE_ATTRIBUTE_HIDDEN);
    ASSERT_TRUE(CreateDir(dir / "sub"));
    TStringList list{"kept"};
    ListFolderFiles(dir.Path(), list);
    std::sort(list.begin() + 1, list.end());
    EXPECT_EQ(list, (TStringList{"kept", "y.INI", "z.exe"}));
}

// Writes a shell link with the system's shell-link object.
bool MakeShellLink(const std::string& lnk, const std::string& target, const std::string& args,
                   const std::string& workDir, const std::string& description)
{
    ComScope com;
    ComPtr<IShellLinkA> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, link.PutVoid())))
        return false;
    link->SetPath(target.c_str());
    link->SetArguments(args.c_str());
    link->SetWorkingDirectory(workDir.c_str());
    link->SetDescription(description.c_str());
    ComPtr<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, file.PutVoid()))) return false;
    wchar_t wide[MAX_PATH] = {};
    MultiByteToWideChar(CP_ACP, 0, lnk.c_str(), -1, wide, MAX_PATH);
    return SUCCEEDED(file->Save(wide, TRUE));
}

TEST(CommonUtils, ReadShellLinkBackWhatWasWritten)
{
    ScratchDir dir;
    std::string target = dir / "prog.exe";
    ASSERT_TRUE(WriteTextFile(target, "MZ"));
    std::string lnkPath = dir / "prog.lnk";
    ASSERT_TRUE(MakeShellLink(lnkPath, target, "/quiet /x", dir.Path(), "A test link"));

    TLnkStruc lnk;
    lnk.Args = "stale";
    ReadShellLink(lnkPath, lnk);
    EXPECT_EQ(lnk.LnkFile, lnkPath);
    EXPECT_TRUE(SameText(lnk.Target, target));
    EXPECT_EQ(lnk.Args, "/quiet /x");
    EXPECT_TRUE(SameText(lnk.WorkDir, dir.Path()));
    EXPECT_EQ(lnk.Description, "A test link");

    ReadShellLink(dir / "missing.lnk", lnk);
    EXPECT_EQ(lnk.LnkFile, "");
    EXPECT_EQ(lnk.Target, "");

    ASSERT_TRUE(WriteTextFile(dir / "broken.lnk", "not a link"));
    ReadShellLink(dir / "broken.lnk", lnk);
    EXPECT_EQ(lnk.Target, "") << "a damaged link leaves the record empty";
}

DWORD IntegrityOf(HANDLE token)
{
    alignas(8) char buffer[256] = {};
    DWORD size = 0;
    if (!GetTokenInformation(token, TokenIntegrityLevel, buffer, sizeof(buffer), &size)) return 0;
    const PSID sid = reinterpret_cast<TOKEN_MANDATORY_LABEL*>(buffer)->Label.Sid;
    return *GetSidSubAuthority(sid, *GetSidSubAuthorityCount(sid) - 1);
}

int AdminLevelFromIntegrity(DWORD rid) { return rid >= SECURITY_MANDATORY_HIGH_RID ? 2 : 1; }

TEST(CommonUtils, AdminLevelIsTheIntegrityOfTheProcessToken)
{
    HANDLE raw = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw));
    UniqueHandle process(raw);
    const DWORD integrity = IntegrityOf(process.Get());
    ASSERT_NE(integrity, 0u);
    EXPECT_EQ(GetAdminLevel(), AdminLevelFromIntegrity(integrity)) << "integrity " << integrity;
}

TEST(CommonUtils, RandomIntStaysInRange)
{
    for (int i = 0; i < 1000; ++i) {
        int r = RandomInt(999999);
        ASSERT_GE(r, 0);
        ASSERT_LE(r, 999998);
    }
    EXPECT_EQ(RandomInt(1), 0);
}

}  // namespace
