#include "uJail.h"

#include "Trust.h"
#include "md5.h"
#include "qvFiles.h"
#include "qvHandles.h"
#include "qvOwnFolder.h"
#include "qvPlainFiles.h"
#include "qvWideText.h"
#include "uCommonUtils.h"
#include "uDispatcherThread.h"
#include "uLogThread.h"

std::string JailFolder() { return GetDataFolder() + "jail"; }

void JailFile(const std::string& path) { JailFileW(AnsiToWide(path)); }

// JailFile(TFileDigest) passes over a missing file, which has nothing to digest.
void JailFileW(const std::wstring& path) { JailFile(DigestFileW(path)); }

void JailFile(const TFileDigest& file)
{
    const std::wstring& path = file.Path;
    if (!FileExistsW(path)) return;
    const std::string jail = JailFolder();
    for (const std::string& folder : {GetDataFolder(), jail}) {
        if (DirectoryExists(folder)) continue;
        const TOwnFolderResult made = TakeOwnFolder(folder);
        if (!made.Note.empty()) WriteServiceLog("карантин: " + made.Note);
        if (!made.Usable) return;
    }
    if (IsKnownGoodFile(file)) return;
    // The file's folder and the jail are held while the file moves, and the
    // file itself must be plain: a link or junction on either side would
    // have the service take or put a file where the user could not.
    // Under its real name: the jail keeps what the owner called the file.
    const std::wstring target = AnsiToWide(jail + "\\" + GetTimeStamp()) + ExtractFileNameW(path) + L".zlo";
    std::string why;
    if (!MoveFileHeldW(path, target, why)) {
        WriteServiceLog("файл не перемещён в карантин: " + why);
        return;
    }
    const std::string recordForm = WideToAnsiForRecord(target);
    WriteServiceLog(recordForm);
    RecordEvent(evkJail, evmMovedToJail, recordForm, "", file.Md5);
}
