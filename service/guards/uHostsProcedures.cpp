#include "uHostsProcedures.h"

#include <windows.h>

#include <cctype>
#include <mutex>

#include "RegistryUtils.h"
#include "md5.h"
#include "qvErrors.h"
#include "qvFiles.h"
#include "uCommonUtils.h"
#include "uDispatcherThread.h"
#include "uLogThread.h"
#include "uServiceUtils.h"

std::atomic<bool> HostsBusy{false};

namespace {

std::mutex gDigestLock;  // the digest is a string shared by three threads
std::string gAcceptedDigest;
std::atomic<int> gMajorVersionOverride{0};

constexpr const char* kTransferSuffix = "qrv.~tmp";

int HostsMajorVersion()
{
    int major = gMajorVersionOverride.load();
    return major != 0 ? major : GetOSMajorVersion();
}

std::string FileDigest32(const std::string& path) { return GetFileMD5(path).substr(0, 32); }

// The hosts file is often made read-only by whoever changed it; the service
// must still be able to put the accepted content back.
void ClearReadOnly(const std::string& path)
{
    DWORD attr = GetFileAttributesA(path.c_str());
    if (attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_READONLY))
        SetFileAttributesA(path.c_str(), attr & ~FILE_ATTRIBUTE_READONLY);
}

bool CopyOver(const std::string& source, const std::string& target)
{
    ClearReadOnly(target);
    return CopyFileA(source.c_str(), target.c_str(), FALSE) != 0;
}

void LoadLinesOrRaise(const std::string& path, TStringList& lines)
{
    if (!LoadLines(path, lines)) throw EInOutError(GetLastError(), "cannot read " + path);
}

void SaveLinesOrRaise(const std::string& path, const TStringList& lines)
{
    if (!SaveLines(path, lines)) throw EInOutError(GetLastError(), "cannot write " + path);
}

std::string JailCopyPath() { return GetDataFolder() + "jail\\" + GetTimeStamp() + "hosts"; }

// The replaced content goes to the jail first, so the user can look at it.
void JailHostsCopy(TReportEvent& event)
{
    TStringList lines;
    LoadLinesOrRaise(GetHostsFilePath(), lines);
    const std::string jail = JailCopyPath();
    event.Path.Set(jail);
    event.Event = evmChange;
    SaveLinesOrRaise(jail, lines);
}

void RestoreFromBackup(const std::string& hosts)
{
    if (!FileExists(BackupHostsPath()) || !CopyOver(BackupHostsPath(), GetHostsFilePath())) WriteStockHosts(hosts);
}

// A changed hosts file: true when it was repaired and the event is due.
bool RepairChangedHosts(const std::string& hosts, int mode, TReportEvent& event)
{
    switch (mode) {
    case 0:
        if (HostsDigestMatches(true)) return false;
        JailHostsCopy(event);
        WriteStockHosts(hosts);
        return true;
    case 1:
        if (FileExists(BackupHostsPath()) && HostsDigestMatches(false)) return false;
        JailHostsCopy(event);
        RestoreFromBackup(hosts);
        return true;
    case 2:
        return FilterHostsFile(hosts, event);
    default:
        return false;
    }
}

void RepairDeletedHosts(const std::string& hosts, bool useDefault)
{
    if (useDefault) {
        WriteStockHosts(hosts);
        return;
    }
    switch (ReadSettingInt("hosts_delete")) {
    case 0: WriteStockHosts(hosts); break;
    case 1: RestoreFromBackup(hosts); break;
    default: break;
    }
}

void GuardHosts(const std::string& folder)
{
    EnsureHostsFiles();
    TReportEvent event;
    InitReportEvent(event);
    event.Source = evkHosts;
    event.Time = NowDateTime();
    const std::string hosts = folder + "hosts";
    if (!ReadSettingBool("hosts_guard")) return;

    const bool useDefault = ReadSettingBool("hosts_default");
    if (FileExists(hosts)) {
        const int mode = useDefault ? 0 : ReadSettingInt("hosts_change");
        if (RepairChangedHosts(hosts, mode, event)) LogReportEvent(event);
    } else {
        event.Event = evmDeleteFile;
        LogReportEvent(event);  // reported before the repair, which may fail or be off
        RepairDeletedHosts(hosts, useDefault);
    }
}

bool IsPlainFileOrAbsent(const std::string& path)
{
    DWORD attr = GetFileAttributesA(path.c_str());
    if (attr == INVALID_FILE_ATTRIBUTES) return GetLastError() == ERROR_FILE_NOT_FOUND;
    return !(attr & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE));
}

TMSlotMessage HostsCopyAnswer(const std::string& target, int32_t code)
{
    TMSlotMessage answer;
    ClearMailSlotMessage(answer);
    answer.Type = 13;
    answer.A = 15;
    answer.B = code;
    answer.Data.Set(target);
    return answer;
}

}  // namespace

void OverrideHostsMajorVersion(int major) { gMajorVersionOverride = major; }

std::string AcceptedHostsDigest()
{
    std::lock_guard<std::mutex> guard(gDigestLock);
    return gAcceptedDigest;
}

void SetAcceptedHostsDigest(const std::string& digest)
{
    std::lock_guard<std::mutex> guard(gDigestLock);
    gAcceptedDigest = digest.substr(0, 32);
}

std::string GetHostsFilePath()
{
    TRegEngine rec;
    rec.Root = kRootHKLM;
    rec.Key = "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters";
    rec.Value = "DataBasePath";
    std::string folder = NormalizeCommandPath(ReadRegString64(rec));
    if (folder.empty()) folder = GetSystemFolder() + "drivers\\etc";
    return folder + "\\hosts";
}

std::string BackupHostsPath() { return GetDataFolder() + "backHosts.qrv"; }
std::string HostListPath() { return GetDataFolder() + "hostlist.qrv"; }

void EnsureHostsFiles()
{
    if (!FileExists(BackupHostsPath())) WriteStockHosts(BackupHostsPath());
    if (!FileExists(HostListPath())) SaveLinesOrRaise(HostListPath(), {"localhost@127.0.0.1"});
}

void WriteStockHosts(const std::string& target)
{
    HostsBusy = true;
    ClearReadOnly(target);
    RemoveFile(target);
    // A failed save raises and leaves HostsBusy set; the watcher run clears it.
    SaveLinesOrRaise(target, StockHostsLines(HostsMajorVersion()));
    HostsBusy = false;
    SetAcceptedHostsDigest(FileDigest32(target));
}

bool HostsDigestMatches(bool useStockDigest)
{
    if (useStockDigest) {
        const std::string stock = StockHostsDigest(HostsMajorVersion());
        if (!stock.empty()) SetAcceptedHostsDigest(stock);
    }
    const std::string hosts = GetHostsFilePath();
    const std::string accepted = AcceptedHostsDigest();
    if (!FileExists(hosts) || accepted.empty()) return false;
    return SameText(GetFileMD5(hosts), accepted);
}

bool FilterHostsFile(const std::string& hostsPath, TReportEvent& event)
{
    HostsBusy = true;
    struct BusyReset {
        ~BusyReset() { HostsBusy = false; }
    } reset;

    TStringList raw;
    LoadLinesOrRaise(hostsPath, raw);
    TStringList pairs;
    ParseHostsFile(hostsPath, pairs, false);

    TStringList rejected;
    if (FileExists(HostListPath())) {
        TStringList allowed;
        LoadLinesOrRaise(HostListPath(), allowed);
        for (const std::string& pair : pairs)
            if (IndexOfText(allowed, pair) < 0) rejected.push_back(pair);
    }
    if (rejected.empty()) return false;

    const std::string jail = JailCopyPath();
    event.Path.Set(jail);
    event.Event = evmChange;
    SaveLinesOrRaise(jail, raw);
    CommentOutHostPairs(raw, rejected);
    SaveLinesOrRaise(hostsPath, raw);
    return true;
}

void CommentOutHostPairs(TStringList& lines, const TStringList& pairs)
{
    for (const std::string& pair : pairs) {
        for (std::string& line : lines) {
            std::string text = line.substr(0, line.find('#'));
            text = Trim(text);
            for (char& c : text)
                if (c == '\t') c = ' ';
            text = Trim(text);
            // Split at single blanks: a run of blanks gives empty tokens, skipped below.
            TStringList tokens;
            size_t start = 0;
            for (;;) {
                size_t blank = text.find(' ', start);
                tokens.push_back(Trim(text.substr(start, blank == std::string::npos ? std::string::npos : blank - start)));
                if (blank == std::string::npos) break;
                start = blank + 1;
            }
            const std::string& address = tokens[0];
            for (size_t i = 1; i < tokens.size(); ++i) {
                if (tokens[i].empty()) continue;
                if (SameText(Trim(tokens[i] + "@" + address), pair)) {
                    // The whole line goes: a host that shares it goes with it.
                    line = "#" + line;
                    break;
                }
            }
        }
    }
}

void OnHostsFolderChanged(const std::string& folder)
{
    // Whatever way the call ends, the flag is down afterwards: this is also how
    // the pause after an install (13/17) is ended by the change it caused.
    struct BusyReset {
        ~BusyReset() { HostsBusy = false; }
    } reset;
    if (HostsBusy) return;
    try {
        GuardHosts(folder);
    } catch (const std::exception& e) {
        // The pass ends before its repair; the watcher (and the start-up call,
        // which must not cost the watcher) go on.
        WriteServiceLog(std::string("hosts guard: ") + e.what());
    }
}

bool IsHostsTransferPath(const std::string& path)
{
    if (path.size() < 4 || !std::isalpha(static_cast<unsigned char>(path[0])) || path[1] != ':' || path[2] != '\\')
        return false;
    // No second drive colon (alternate streams), no other separator, no wildcards.
    if (path.find_first_of(":/*?\"<>|", 2) != std::string::npos) return false;
    size_t start = 3;
    for (;;) {
        size_t sep = path.find('\\', start);
        std::string part = path.substr(start, sep == std::string::npos ? std::string::npos : sep - start);
        if (part == ".." || part == "." || part.empty()) return false;
        if (sep == std::string::npos) break;
        start = sep + 1;
    }
    // What the system would make of the name must be the name itself (trailing
    // dots and blanks are dropped by it, for example).
    char full[MAX_PATH * 2];
    DWORD n = GetFullPathNameA(path.c_str(), sizeof(full), full, nullptr);
    if (n == 0 || n >= sizeof(full) || !SameText(full, path)) return false;
    if (!EndsWith(LowerCase(ExtractFileName(path)), kTransferSuffix)) return false;
    return !IsReparsePoint(path) && !IsReparsePoint(ExtractFileDir(path));
}

void CopyHostsCommand(const TMSlotMessage& message)
{
    EnsureHostsFiles();
    const std::string target = message.Data.Str();
    const std::string hosts = GetHostsFilePath();
    int32_t code;
    if (!IsHostsTransferPath(target) || !IsPlainFileOrAbsent(target))
        code = 1;
    else if (!FileExists(hosts))
        code = 666;
    else
        code = CopyFileA(hosts.c_str(), target.c_str(), FALSE) ? 777 : 1;
    Sleep(100);
    SendToMailSlot(HostsCopyAnswer(target, code), kTraySlot);
}

void InstallHostsFile(const TMSlotMessage& message)
{
    const std::string source = message.Data.Str();
    if (!IsHostsTransferPath(source) || !IsPlainFileOrAbsent(source)) return;
    HostsBusy = true;
    struct BusyReset {
        ~BusyReset() { HostsBusy = false; }
    } reset;
    const std::string hosts = GetHostsFilePath();
    // Copied over in place: a failed copy leaves the old file, never none.
    if (FileExists(source)) CopyOver(source, hosts);
    if (message.Bool) {
        CopyOver(hosts, BackupHostsPath());
        SetAcceptedHostsDigest(FileDigest32(BackupHostsPath()));
    }
    Sleep(500);
}

void HostListLookupCommand(TMSlotMessage message)
{
    message.Bool = false;
    TStringList lines;
    if (FileExists(HostListPath())) {
        LoadLinesOrRaise(HostListPath(), lines);
        message.Bool = IndexOfText(lines, message.Data.Str()) >= 0;
    }
    ReplyToRequester(message);
}

void HostListAddCommand(TMSlotMessage message)
{
    TStringList lines;
    if (FileExists(HostListPath())) LoadLinesOrRaise(HostListPath(), lines);
    if (IndexOfText(lines, message.Data.Str()) < 0) {
        lines.push_back(message.Data.Str());
        SaveLinesOrRaise(HostListPath(), lines);
    }
    message.Bool = true;
    ReplyToRequester(message);
}

void HostListDeleteCommand(TMSlotMessage message)
{
    message.Bool = false;
    TStringList lines;
    if (FileExists(HostListPath())) {
        LoadLinesOrRaise(HostListPath(), lines);
        int at = IndexOfText(lines, message.Data.Str());
        if (at >= 0) {
            lines.erase(lines.begin() + at);
            SaveLinesOrRaise(HostListPath(), lines);
            message.Bool = true;
        }
    }
    ReplyToRequester(message);
}
