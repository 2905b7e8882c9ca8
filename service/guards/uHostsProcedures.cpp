#include "uHostsProcedures.h"

#include <windows.h>

#include <mutex>
#include <unordered_set>

#include "RegistryUtils.h"
#include "md5.h"
#include "qvErrors.h"
#include "qvFiles.h"
#include "qvPlainFiles.h"
#include "qvProtocol.h"
#include "uCommonUtils.h"
#include "uDispatcherThread.h"
#include "uHostsTransfer.h"
#include "uImpersonation.h"
#include "uLogThread.h"
#include "uServiceUtils.h"

std::atomic<bool> HostsBusy{false};

namespace {

std::mutex gDigestLock;  // the digest is a string shared by three threads
std::string gAcceptedDigest;
std::atomic<int> gMajorVersionOverride{0};

int HostsMajorVersion()
{
    int major = gMajorVersionOverride.load();
    return major != 0 ? major : GetOSMajorVersion();
}

std::string FileDigest32(const std::string& path) { return GetFileMD5(path).substr(0, 32); }

// Lockers mark the hosts file read-only, hidden or system, and Windows
// refuses to write over a file so marked: every write of the hosts file (and
// of the backup) clears the marks first, so the accepted content can go back.
constexpr DWORD kWriteRefusingAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

void ClearWriteRefusingAttributes(const std::string& path)
{
    const DWORD attr = GetFileAttributesA(path.c_str());
    if (attr != INVALID_FILE_ATTRIBUTES && (attr & kWriteRefusingAttributes))
        SetFileAttributesA(path.c_str(), attr & ~kWriteRefusingAttributes);
}

bool WriteHostsBytes(const std::string& path, const std::string& bytes)
{
    ClearWriteRefusingAttributes(path);
    return WriteFileBytes(path, bytes);
}

void LoadLinesOrRaise(const std::string& path, TStringList& lines)
{
    if (!LoadLines(path, lines)) throw EInOutError(GetLastError(), "cannot read " + path);
}

// The files of the data folder: never through a link or a second hard link.
void LoadDataLinesOrRaise(const std::string& path, TStringList& lines)
{
    if (!LoadPlainLines(path, lines)) throw EInOutError(GetLastError(), "cannot read " + path);
}

void SaveDataLinesOrRaise(const std::string& path, const TStringList& lines)
{
    if (!SavePlainLines(path, lines)) throw EInOutError(GetLastError(), "cannot write " + path);
}

std::string JailCopyPath() { return GetDataFolder() + "jail\\" + GetTimeStamp() + "hosts"; }

// The replaced content goes to the jail first, byte for byte, so the user
// can look at exactly what was there.
void JailBytes(const std::string& bytes, TReportEvent& event)
{
    const std::string jail = JailCopyPath();
    event.Path.Set(jail);
    event.Event = evmChange;
    // The repair goes on without its copy: a jail that cannot be written must
    // not leave the locker's hosts file in place.
    if (!WriteNewPlainFile(jail, bytes)) {
        WriteServiceLog("hosts copy not jailed: " + jail + " (error " + IntToStr(GetLastError()) + ")");
        event.Path.Set("");  // the record names no copy that is not there
    }
}

std::string ReadBytesOrRaise(const std::string& path)
{
    std::string bytes;
    if (!ReadFileBytes(path, bytes)) throw EInOutError(GetLastError(), "cannot read " + path);
    return bytes;
}

void JailHostsCopy(TReportEvent& event) { JailBytes(ReadBytesOrRaise(GetHostsFilePath()), event); }

// Host pairs ("host@address") compared as the allow-list compares them:
// whole entries, letter case ignored.
using TPairSet = std::unordered_set<std::string>;

TPairSet PairSet(const TStringList& pairs)
{
    TPairSet set;
    set.reserve(pairs.size());
    for (const std::string& pair : pairs) set.insert(LowerCase(pair));
    return set;
}

// The tokens of a hosts line as the guard reads it: comment dropped, tabs as
// blanks, split at single blanks (a run of blanks gives empty tokens); the
// first is the address.
TStringList LineTokens(const std::string& line)
{
    std::string text = Trim(line.substr(0, line.find('#')));
    for (char& c : text)
        if (c == '\t') c = ' ';
    text = Trim(text);
    TStringList tokens;
    for (size_t start = 0;;) {
        size_t blank = text.find(' ', start);
        tokens.push_back(Trim(text.substr(start, blank == std::string::npos ? std::string::npos : blank - start)));
        if (blank == std::string::npos) break;
        start = blank + 1;
    }
    return tokens;
}

void RestoreFromBackup(const std::string& hosts)
{
    std::string bytes;
    if (!ReadPlainFile(BackupHostsPath(), bytes) || !WriteHostsBytes(GetHostsFilePath(), bytes)) WriteStockHosts(hosts);
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
    try {
        EnsureHostsFiles();
    } catch (const std::exception& error) {
        // Without the backup or the allow-list the stock text still serves.
        WriteServiceLog(std::string("hosts files not prepared: ") + error.what());
    }
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

TMSlotMessage HostsCopyAnswer(const std::string& target, int32_t code)
{
    TMSlotMessage answer = proto::ToTray(proto::kHostsCopyResult);
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
    std::string folder = NormalizeCommandPath(ReadRegString(rec, RegView::Key64));
    if (folder.empty()) folder = GetSystemFolder() + "drivers\\etc";
    return folder + "\\hosts";
}

std::string BackupHostsPath() { return GetDataFolder() + "backHosts.qrv"; }
std::string HostListPath() { return GetDataFolder() + "hostlist.qrv"; }

namespace {

// Made only where nothing has the name: a list another thread wrote in the
// meantime (an entry the user just allowed) is never replaced by the default.
bool MakeUnlessThere(const std::string& path, const TStringList& lines)
{
    if (WriteNewPlainFile(path, JoinLines(lines))) return true;
    if (GetLastError() != ERROR_FILE_EXISTS) throw EInOutError(GetLastError(), "cannot write " + path);
    return false;
}

}  // namespace

void EnsureHostsFiles()
{
    if (!FileExists(BackupHostsPath())) {
        const TStringList stock = StockHostsLines(HostsMajorVersion());
        if (MakeUnlessThere(BackupHostsPath(), stock))
            SetAcceptedHostsDigest(MD5DigestToHex(MD5OfString(JoinLines(stock))));
    }
    if (!FileExists(HostListPath())) MakeUnlessThere(HostListPath(), {"localhost@127.0.0.1"});
}

void WriteStockHosts(const std::string& target)
{
    HostsBusy = true;
    ClearWriteRefusingAttributes(target);
    RemoveFile(target);
    // A failed save raises and leaves HostsBusy set; the watcher run clears it.
    if (!SaveLines(target, StockHostsLines(HostsMajorVersion()))) throw EInOutError(GetLastError(), "cannot write " + target);
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

    const std::string original = ReadBytesOrRaise(hostsPath);
    TStringList raw;
    LoadLinesOrRaise(hostsPath, raw);
    TStringList pairs;
    ParseHostsFile(hostsPath, pairs, false);

    TStringList rejected;
    if (FileExists(HostListPath())) {
        TStringList allowedLines;
        LoadDataLinesOrRaise(HostListPath(), allowedLines);
        const TPairSet allowed = PairSet(allowedLines);
        for (const std::string& pair : pairs)
            if (!allowed.count(LowerCase(pair))) rejected.push_back(pair);
    }
    if (rejected.empty()) return false;

    JailBytes(original, event);
    CommentOutHostPairs(raw, rejected);
    if (!WriteHostsBytes(hostsPath, JoinLines(raw))) throw EInOutError(GetLastError(), "cannot write " + hostsPath);
    return true;
}

void CommentOutHostPairs(TStringList& lines, const TStringList& pairs)
{
    // One pass over the lines with the pairs in a set: a line goes when any
    // of its host-address pairs is one of them. A line that already begins
    // with "#" has no pairs, so nothing comments a line twice.
    const TPairSet wanted = PairSet(pairs);
    if (wanted.empty()) return;
    for (std::string& line : lines) {
        const TStringList tokens = LineTokens(line);
        const std::string& address = tokens[0];
        for (size_t i = 1; i < tokens.size(); ++i) {
            if (tokens[i].empty()) continue;
            if (wanted.count(LowerCase(Trim(tokens[i] + "@" + address)))) {
                // The whole line goes: a host that shares it goes with it.
                line = "#" + line;
                break;
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

void CopyHostsCommand(const TMSlotMessage& message)
{
    // The copy needs neither of these files, and the tray waits for the
    // answer: one that cannot be written (another thread writing it at the
    // same moment, say) must not cost the answer.
    try {
        EnsureHostsFiles();
    } catch (const std::exception& error) {
        WriteServiceLog(std::string("hosts files not prepared for a copy: ") + error.what());
    }
    const std::string target = message.Data.Str();
    const std::string hosts = GetHostsFilePath();
    int32_t code = proto::kCopyFailed;
    std::string bytes;
    if (IsHostsTransferPath(target)) {
        if (!FileExists(hosts)) {
            code = proto::kNoHostsFile;
        } else if (ReadFileBytes(hosts, bytes)) {
            // The copy lands in the user's folder: made with the user's rights.
            ConsoleUserImpersonation asUser;
            if (asUser.Active() && WriteNewTransferFile(target, bytes)) code = proto::kCopied;
        }
    }
    Sleep(100);
    SendToMailSlot(HostsCopyAnswer(target, code), kTraySlot);
}

void InstallHostsFile(const TMSlotMessage& message)
{
    const std::string source = message.Data.Str();
    if (!IsHostsTransferPath(source)) return;
    std::string bytes;
    TTransferRead read;
    {
        // The user's file is read with the user's rights; the hosts file and
        // the backup below are the service's own.
        ConsoleUserImpersonation asUser;
        if (!asUser.Active()) {
            WriteServiceLog("hosts file not installed from " + source + ": not read without the console user's rights");
            return;
        }
        read = ReadTransferFile(source, bytes);
    }
    if (read == TTransferRead::Refused) {
        WriteServiceLog("hosts file not installed from " + source + ": not a plain file of its own, or too large");
        return;
    }
    HostsBusy = true;
    struct BusyReset {
        ~BusyReset() { HostsBusy = false; }
    } reset;
    const std::string hosts = GetHostsFilePath();
    // Written over in place: a failed write leaves a hosts file, never none.
    if (read == TTransferRead::Read && !WriteHostsBytes(hosts, bytes)) {
        // The old hosts file stays, and so does the backup made from it.
        WriteServiceLog("hosts file not installed from " + source + ": the hosts file cannot be written (error " +
                        IntToStr(GetLastError()) + ")");
        return;
    }
    if (message.Bool) {
        std::string installed;
        if (ReadFileBytes(hosts, installed) && WritePlainFile(BackupHostsPath(), installed))
            SetAcceptedHostsDigest(MD5DigestToHex(MD5OfString(installed)));
        else
            WriteServiceLog("hosts backup not written: " + BackupHostsPath() + " (error " + IntToStr(GetLastError()) + ")");
    }
    Sleep(500);
}

void HostListLookupCommand(TMSlotMessage message)
{
    message.Bool = false;
    TStringList lines;
    if (FileExists(HostListPath())) {
        LoadDataLinesOrRaise(HostListPath(), lines);
        message.Bool = IndexOfText(lines, message.Data.Str()) >= 0;
    }
    ReplyToRequester(message);
}

void HostListAddCommand(TMSlotMessage message)
{
    message.Bool = IsOneLineEntry(message.Data.Str());  // refused: answered false, nothing written
    if (!message.Bool) {
        ReplyToRequester(message);
        return;
    }
    TStringList lines;
    if (FileExists(HostListPath())) LoadDataLinesOrRaise(HostListPath(), lines);
    if (IndexOfText(lines, message.Data.Str()) < 0) {
        lines.push_back(message.Data.Str());
        SaveDataLinesOrRaise(HostListPath(), lines);
    }
    ReplyToRequester(message);
}

void HostListDeleteCommand(TMSlotMessage message)
{
    message.Bool = false;
    TStringList lines;
    if (FileExists(HostListPath())) {
        LoadDataLinesOrRaise(HostListPath(), lines);
        int at = IndexOfText(lines, message.Data.Str());
        if (at >= 0) {
            lines.erase(lines.begin() + at);
            SaveDataLinesOrRaise(HostListPath(), lines);
            message.Bool = true;
        }
    }
    ReplyToRequester(message);
}
