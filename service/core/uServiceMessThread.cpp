#include "uServiceMessThread.h"

#include <windows.h>

#include <cctype>

#include "RegistryUtils.h"
#include "md5.h"
#include "qvFiles.h"
#include "qvHandles.h"
#include "uCommonUtils.h"
#include "uDispatcherThread.h"
#include "uHostsProcedures.h"
#include "uLanguageFile.h"
#include "uKillerUtils.h"
#include "uLogThread.h"
#include "uServiceManage.h"
#include "uServiceUtils.h"
#include "uUserSIDThreads.h"

std::unique_ptr<TServiceMessThread> gServiceMessThread;

namespace {

TMSlotMessage ClearedMessage(uint8_t type)
{
    TMSlotMessage message;
    ClearMailSlotMessage(message);
    message.Type = type;
    return message;
}

void SendTypeToTray(uint8_t type)
{
    SendToMailSlot(ClearedMessage(type), kTraySlot);
}

void FirstRunCommand()
{
    if (IsFirstRun()) SendTypeToTray(8);
}

void OpenHostsManagerCommand(const TMSlotMessage& request)
{
    TMSlotMessage message = ClearedMessage(13);
    message.A = 15;
    message.B = 777;
    message.Data = request.Data;
    SendToMailSlot(message, kTraySlot);
}

void TrayPingStateCommand(TMSlotMessage message)
{
    message.Bool = gTrayPingOk.load();
    ReplyToRequester(message);
}

void VersionCommand(TMSlotMessage message)
{
    message.Data.Set(GetVersionText());
    ReplyToRequester(message);
}

// The language files of the "language\" folder, listed once per process.
const TStringList& LanguageFiles()
{
    static TStringList files;
    static bool listed = false;
    if (!listed) {
        listed = true;
        WIN32_FIND_DATAA data{};
        UniqueFindHandle find(FindFirstFileA((ModuleFolder() + "language\\*.lng").c_str(), &data));
        if (find) {
            do {
                if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
                std::string name = data.cFileName;
                if (ExtractFileExt(name) == ".ini") continue;
                files.push_back(name);
            } while (FindNextFileA(find.Get(), &data));
        }
    }
    return files;
}

std::string ReadIniText(const std::string& file, const std::string& section, const std::string& key)
{
    char buffer[2048] = {};
    GetPrivateProfileStringA(section.c_str(), key.c_str(), "", buffer, sizeof(buffer), file.c_str());
    return buffer;
}

// A missing key is added with an empty value, so the file shows what it lacks;
// only a key the programs look up (any process may ask for any text), and
// only by adding a line: the file is never written shorter than it was.
void AddMissingLanguageKey(const std::string& file, const std::string& section, const std::string& key)
{
    if (section.empty() || !IsSafeIniKey(key) || !IsProgramLanguageKey(section, key)) return;
    std::string text;
    if (!FileExists(file) || !ReadFileBytes(file, text)) return;
    const std::optional<std::string> longer = WithEmptyIniKey(text, section, key);
    if (!longer) return;
    // Written beside it and moved over it: a failed write leaves the old file.
    const std::string temporary = file + ".new";
    if (!WriteFileBytes(temporary, *longer) ||
        !MoveFileExA(temporary.c_str(), file.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        RemoveFile(temporary);
}

}  // namespace

bool IsSafeLanguageFileName(const std::string& name)
{
    if (name.empty() || name.find_first_of("\\/:") != std::string::npos) return false;
    if (name.find("..") != std::string::npos) return false;
    return EndsWith(LowerCase(name), ".lng") && name.size() > 4;
}

bool IsSafeIniKey(const std::string& key)
{
    return !key.empty() && key.find_first_of("=[]\r\n") == std::string::npos;
}

void WriteSettingCommand(TMSlotMessage message)
{
    if (!IsWritableSettingName(message.Mess.Str())) return;
    TRegEngine rec = SettingRef(message.Mess.Str());
    switch (message.A) {
    case 3: WriteRegBool(rec, message.Bool); break;
    case 4: WriteRegInteger(rec, message.B); break;
    case 5: WriteRegString(rec, message.Data.Str()); break;
    default: break;
    }
}

void LanguageCommand(TMSlotMessage message)
{
    const TStringList& listed = LanguageFiles();
    message.Data.Clear();
    const std::string language = ReadSettingString("language");
    const bool usable = IsSafeLanguageFileName(language);
    const std::string file = ModuleFolder() + "language\\" + language;

    if (SameText(message.Mess.Str(), "initlanguage")) {
        TStringList list = listed;
        int current = usable ? IndexOfText(list, language) : -1;
        if (current < 0) return;  // the current language is not among the files: no answer
        std::swap(list[0], list[static_cast<size_t>(current)]);
        message.Data.Set(JoinLines(list));
        ReplyToRequester(message);
        return;
    }

    const std::string section = LanguageSectionName(message.A);
    const std::string key = message.Mess.Str();
    if (usable) message.Data.Set(ReadIniText(file, section, key));
    if (message.Data.Empty() && usable) AddMissingLanguageKey(file, section, key);
    ReplyToRequester(message);
}

void ReadBoolCommand(TMSlotMessage message)
{
    message.Bool = ReadSettingBool(message.Mess.Str());
    ReplyToRequester(message);
}

void ReadStringCommand(TMSlotMessage message)
{
    message.Data.Set(ReadSettingString(message.Mess.Str()));
    ReplyToRequester(message);
}

void ReadIntCommand(TMSlotMessage message)
{
    message.A = ReadSettingInt(message.Mess.Str());
    ReplyToRequester(message);
}

void WriteBoolCommand(const TMSlotMessage& message)
{
    if (!IsWritableSettingName(message.Mess.Str())) return;
    TRegEngine rec = SettingRef(message.Mess.Str());
    WriteRegBool(rec, message.Bool);
}

void WriteStringCommand(const TMSlotMessage& message)
{
    if (!IsWritableSettingName(message.Mess.Str())) return;
    TRegEngine rec = SettingRef(message.Mess.Str());
    WriteRegString(rec, message.Data.Str());
}

void WriteIntCommand(const TMSlotMessage& message)
{
    if (!IsWritableSettingName(message.Mess.Str())) return;
    TRegEngine rec = SettingRef(message.Mess.Str());
    WriteRegInteger(rec, message.A);
}

// Only a local absolute path ("X:\..."): the service never opens network or
// device paths on a caller's behalf.
static bool IsLocalAbsolutePath(const std::string& path)
{
    return path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' &&
           path[2] == '\\';
}

void FileMd5Command(TMSlotMessage message)
{
    const std::string path = message.Data.Str();
    std::string digest;
    if (IsLocalAbsolutePath(path)) {
        Wow64RedirectionOff redirection;
        digest = GetFileMD5(path);
    }
    message.Mess.Set(digest);
    ReplyToRequester(message);
}

static void DispatchServiceCommand(const TMSlotMessage& message)
{
    switch (message.A) {
    case 6: StopServiceByName("Quorvane"); break;
    case 7: RunKiller(); break;
    case 14: FirstRunCommand(); break;
    case 15: CopyHostsCommand(message); break;
    case 16: OpenHostsManagerCommand(message); break;
    case 17: InstallHostsFile(message); break;
    case 19: TrayPingStateCommand(message); break;
    case 20: VersionCommand(message); break;
    default: break;
    }
}

void DispatchCommand(const TMSlotMessage& received)
{
    const TMSlotMessage message = received;
    try {
        switch (message.Type) {
        case 12: WriteGuiLogLine(message.Data.Str()); break;
        case 13: DispatchServiceCommand(message); break;
        case 16: WriteSettingCommand(message); break;
        case 17: ReportDumpCommand(message); break;
        case 18: GoodListToAutorunCommand(message); break;
        case 19: AddGoodListCommand(message); break;
        case 21: TrustListToTrayCommand(message); break;
        case 22: AddTrustListCommand(message); break;
        case 23: DeleteTrustListCommand(message); break;
        case 31: LanguageCommand(message); break;
        case 32:
            if (gUserSIDThreads) gUserSIDThreads->RestartUserPart();
            break;
        case 33: ReadBoolCommand(message); break;
        case 37: ReadStringCommand(message); break;
        case 38: WriteBoolCommand(message); break;
        case 39: WriteStringCommand(message); break;
        case 40: SendTypeToTray(40); break;
        case 41: DeleteReportCommand(message); break;
        case 42: FileMd5Command(message); break;
        case 43: HostListLookupCommand(message); break;
        case 44: HostListAddCommand(message); break;
        case 45: HostListDeleteCommand(message); break;
        case 46: ReadIntCommand(message); break;
        case 47: WriteIntCommand(message); break;
        default: break;
        }
    } catch (...) {
        // a failed handler sends nothing; the requester's wait runs out
    }
}

void TServiceMessThread::WakeToStop()
{
    Terminate();
    if (!Finished()) SendToMailSlot(MakeMessage(0), kServiceSlot);  // code 0 is dropped unread
}

void TServiceMessThread::Execute()
{
    TMSlot slot;
    InitMailSlot(slot);
    slot.Name = kServiceSlot;
    CreateMailSlot(slot, false);
    slotCreated_ = slot.Active;
    if (!slot.Active) return;
    // Every waiting datagram is taken at once, one command at a time in order
    // of arrival: a flood of junk costs each request only the reading of it.
    // A stop wakes the read with a datagram of its own; the read's time-out
    // only bounds how late a stop is seen when that cannot be delivered.
    while (!Terminated()) {
        TMSlotMessage message;
        if (ReceiveMailSlot(slot, message, kStopCheckMs)) {
            DispatchCommand(message);
        } else if (GetLastError() != ERROR_SEM_TIMEOUT) {
            if (!Pause(10)) break;  // a failing slot must not spin the thread
        }
    }
    try {
        CloseMailSlot(slot);
    } catch (...) {
    }
}
