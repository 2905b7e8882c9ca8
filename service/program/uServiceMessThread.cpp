#include "uServiceMessThread.h"

#include <windows.h>

#include <cctype>

#include "RegistryUtils.h"
#include "md5.h"
#include "qvCaught.h"
#include "qvFaults.h"
#include "qvFiles.h"
#include "qvHandles.h"
#include "qvProtocol.h"
#include "uCommonUtils.h"
#include "uDispatcherThread.h"
#include "uHostsProcedures.h"
#include "uImpersonation.h"
#include "uLanguageFile.h"
#include "uKillerUtils.h"
#include "uLogThread.h"
#include "uServiceManage.h"
#include "uServiceUtils.h"
#include "uThreadPass.h"
#include "uTrustCommands.h"
#include "uUserSIDThreads.h"

std::unique_ptr<TServiceMessThread> gServiceMessThread;

namespace {

void SendTypeToTray(proto::Type type) { SendToMailSlot(proto::Message(type), kTraySlot); }

void FirstRunCommand()
{
    if (IsFirstRun()) SendTypeToTray(proto::kFirstRun);
}

void OpenHostsManagerCommand(const TMSlotMessage& request)
{
    TMSlotMessage message = proto::ToTray(proto::kHostsCopyResult);
    message.B = proto::kCopied;
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
    static const TStringList files = ListLanguageFiles(ModuleFolder() + "language");
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
    case proto::kWriteKindBool: WriteRegBool(rec, message.Bool); break;
    case proto::kWriteKindInt: WriteRegInteger(rec, message.B); break;
    case proto::kWriteKindString: WriteRegString(rec, message.Data.Str()); break;
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
        // the current language is not among the files: no answer
        if (!usable || !PutLanguageFirst(list, language)) return;
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
        // Any process may ask: a file its user may not read has no digest for it.
        ConsoleUserImpersonation asUser;
        if (asUser.Active()) {
            Wow64RedirectionOff redirection;
            digest = GetFileMD5(path);
        }
    }
    message.Mess.Set(digest);
    ReplyToRequester(message);
}

static void DispatchServiceCommand(const TMSlotMessage& message)
{
    switch (message.A) {
    case proto::kStopService: StopServiceByName("Quorvane"); break;
    case proto::kRunKiller: RunKiller(); break;
    case proto::kFirstRunCheck: FirstRunCommand(); break;
    case proto::kCopyHostsOut: CopyHostsCommand(message); break;
    case proto::kOpenHostsCopy: OpenHostsManagerCommand(message); break;
    case proto::kInstallHosts: InstallHostsFile(message); break;
    case proto::kSplashAllowed: TrayPingStateCommand(message); break;
    case proto::kVersion: VersionCommand(message); break;
    default: break;
    }
}

// The handler of one command.
static void RunCommand(const TMSlotMessage& message)
{
    switch (message.Type) {
    case proto::kGuiLog: WriteGuiLogLine(message.Data.Str()); break;
    case proto::kControl: DispatchServiceCommand(message); break;
    case proto::kWriteSetting: WriteSettingCommand(message); break;
    case proto::kReport: ReportDumpCommand(message); break;
    case proto::kTrustedDigests: GoodListToAutorunCommand(message); break;
    case proto::kAddTrustedDigest: AddGoodListCommand(message); break;
    case proto::kTrustList: TrustListToTrayCommand(message); break;
    case proto::kTrustAdd: AddTrustListCommand(message); break;
    case proto::kTrustDelete: DeleteTrustListCommand(message); break;
    case proto::kLanguage: LanguageCommand(message); break;
    case proto::kRestartUserPart:
        if (gUserSIDThreads) gUserSIDThreads->RestartUserPart();
        break;
    case proto::kReadBool: ReadBoolCommand(message); break;
    case proto::kReadString: ReadStringCommand(message); break;
    case proto::kWriteBool: WriteBoolCommand(message); break;
    case proto::kWriteString: WriteStringCommand(message); break;
    case proto::kShowStatus: SendTypeToTray(proto::kShowStatus); break;
    case proto::kClearReport: DeleteReportCommand(message); break;
    case proto::kFileMd5: FileMd5Command(message); break;
    case proto::kHostListLookup: HostListLookupCommand(message); break;
    case proto::kHostListAdd: HostListAddCommand(message); break;
    case proto::kHostListDelete: HostListDeleteCommand(message); break;
    case proto::kReadInt: ReadIntCommand(message); break;
    case proto::kWriteInt: WriteIntCommand(message); break;
    default: break;
    }
}

void DispatchCommand(const TMSlotMessage& received)
{
    const TMSlotMessage message = received;
    // a failed handler sends nothing; the requester's wait runs out
    RunLoggedPass("command " + IntToStr(message.Type) + " failed", [&] { RunCommand(message); });
}

void TServiceMessThread::WakeToStop()
{
    Terminate();
    if (!Finished()) SendToMailSlot(proto::Message(proto::kNone), kServiceSlot);  // dropped unread
}

bool TServiceMessThread::OpenServiceSlot(TMSlot& slot)
{
    CreateMailSlot(slot, false);
    slotCreated_ = slot.Active;
    if (!slot.Active && !slotFailureLogged_) {
        ReportSystemError("command thread: the service slot was not created (tried again every second)", GetLastError());
        slotFailureLogged_ = true;
    }
    return slot.Active;
}

void TServiceMessThread::ServeNextCommand(TMSlot& slot)
{
    FaultPoint("commands.receive");
    TMSlotMessage message;
    if (ReceiveMailSlot(slot, message, kStopCheckMs))
        DispatchCommand(message);
    else if (GetLastError() != ERROR_SEM_TIMEOUT)
        Pause(10);  // a failing slot must not spin the thread
}

void TServiceMessThread::Execute()
{
    TMSlot slot;
    InitMailSlot(slot);
    slot.Name = kServiceSlot;
    // Every waiting datagram is taken at once, one command at a time in order
    // of arrival: a flood of junk costs each request only the reading of it.
    // A stop wakes the read with a datagram of its own; the read's time-out
    // only bounds how late a stop is seen when that cannot be delivered. A
    // slot that cannot be made yet, and a pass that fails, are tried again.
    while (!Terminated()) {
        if (!slot.Active && !OpenServiceSlot(slot)) {
            if (!Pause(kSlotRetryMs)) break;
            continue;
        }
        if (!RunLoggedPass("command thread", [&] { ServeNextCommand(slot); }) && !Pause(kPauseAfterFailedPassMs))
            break;
    }
    CloseMailSlot(slot);
}
