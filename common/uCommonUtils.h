#pragma once
// Shared notions of place and time for both programs: the data folder, time
// stamps, temporary names, Windows folders and version, Wow64 switches, command
// path normalisation, comma lists, folder listings and shell links.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "qvStrings.h"

struct TLnkStruc {
    std::string LnkFile;
    std::string Target;
    std::string WorkDir;
    std::string Args;
    std::string Description;
};

// The names Windows reserves for devices; never taken for a program file.
extern const char* const DosDeviceNames[9];

std::string GetSpecialFolder(int csidl);
std::string GetDataFolder();
std::string GetSystemFolder();
std::string GetWindowsFolder();
std::string GetTimeStamp();
std::string GetEnvVar(const std::string& name);
std::string MakeTempFileName();
std::string GetVersionText();
std::string GetLocaleInfoText(LCTYPE type);
bool GetOSVersionInfo(OSVERSIONINFOA& info);
int GetOSMajorVersion();  // 0 when the version cannot be read

bool IsWow64();
bool DisableWow64Redirection(void** oldValue);
bool RevertWow64Redirection(void* oldValue);
// "Running on 64-bit Windows": true in a 64-bit process, IsWow64 in a 32-bit one.
// Every choice of Wow6432Node keys, 64-bit registry views and their event kinds
// goes through this one test so both builds look at the same places.
bool IsWin64System();

// Switches the file-system redirection of a 32-bit process off for the life of
// the object (nothing happens in a 64-bit process).
class Wow64RedirectionOff {
public:
    Wow64RedirectionOff() { active_ = DisableWow64Redirection(&old_); }
    ~Wow64RedirectionOff()
    {
        if (active_) RevertWow64Redirection(old_);
    }
    Wow64RedirectionOff(const Wow64RedirectionOff&) = delete;
    Wow64RedirectionOff& operator=(const Wow64RedirectionOff&) = delete;

private:
    void* old_ = nullptr;
    bool active_ = false;
};

int GetAdminLevel();

std::string TrimLeadingBlanks(const std::string& text);
std::string ReplaceAllText(const std::string& text, const std::string& oldPart, const std::string& newPart);
std::string NormalizeCommandPath(const std::string& command);
void SplitCommandLine(const std::string& text, TStringList& list, bool firstBlankIsComma);

// The program a command line starts, found as CreateProcess finds it: a quoted
// first word is the program; an unquoted line is tried up to each blank, the
// shortest first; a name without extension is tried with ".exe" first; a name
// without a drive is searched in the system and Windows folders and the
// folders of the machine's PATH, a bare name at last under App Paths. "" when
// no file is found. Environment strings are expanded first.
std::wstring ResolveCommandProgramW(const std::wstring& commandLine);
// Its ANSI form (WideToAnsiForRecord of the program found).
std::string ResolveCommandProgram(const std::string& commandLine);
// A full path that names a file as it stands, else the program of the command,
// else NormalizeCommandPath's answer (kernel forms, programs gone from disk).
std::string ProgramPathOf(const std::string& pathOrCommand);
// Every program a Winlogon-style value names: each comma-separated entry, and
// each word the first blank splits off; each once.
TStringList CommandEntryPrograms(const std::string& text);
std::wstring ProgramPathOfW(const std::wstring& pathOrCommand);
std::vector<std::wstring> CommandEntryProgramsW(const std::wstring& text);
// Adds the names of the folder's files matching the pattern (not folders, not
// names ending ".ini"); a name the code page cannot spell is given as its short name.
void ListFolderFiles(const std::string& folder, TStringList& list, const char* pattern = "*.*");
// The same names as they are, in any script.
void ListFolderFilesW(const std::wstring& folder, std::vector<std::wstring>& list);
// The language files ("*.lng") in the folder, in the order listed.
TStringList ListLanguageFiles(const std::string& folder);
// Swaps the entry naming `current` (any case) with the first one; false,
// and the list as it was, when no entry names it.
bool PutLanguageFirst(TStringList& list, const std::string& current);
void ClearLnkStruc(TLnkStruc& lnk);
void ReadShellLink(const std::string& lnkPath, TLnkStruc& lnk);

// The four sections of a language file by number: 0 "info", 1 "gui",
// 2 "arun", 3 "global"; any other number gives "".
const char* LanguageSectionName(int section);

// Now as a TDateTime (days since 30 Dec 1899, local time).
double NowDateTime();

// Uniform pseudo-random number in 0..range-1 (thread-safe).
int RandomInt(int range);

// Hosts-file entries of a file: "host@address" pairs, or the host names alone.
// A missing file gives an empty list; a file that cannot be read raises EInOutError.
void ParseHostsFile(const std::string& fileName, TStringList& result, bool hostNamesOnly);

// True when the trust list is switched on (arn_use_trustlist) and one of its
// entries ("path|MD5", or a bare MD5) carries the digest (MD5 hex, in any
// case; empty never matches).
bool IsDigestOnTrustList(const std::string& digest);

// The hosts file that Windows of a major version installs (5 Russian XP,
// 6 Vista, 7 Windows 7), as lines; other versions have none (empty list).
TStringList StockHostsLines(int major);
// The same text as written to disk: every line followed by CR LF.
std::string StockHostsText(int major);
// MD5 hex (upper case) of StockHostsText; empty for other versions.
std::string StockHostsDigest(int major);
extern const char* const kStockHostsDigest5;
extern const char* const kStockHostsDigest6;
extern const char* const kStockHostsDigest7;
