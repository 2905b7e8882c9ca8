#include "uJail.h"

#include "Trust.h"
#include "md5.h"
#include "qvFiles.h"
#include "qvHandles.h"
#include "qvOwnFolder.h"
#include "qvPlainFiles.h"
#include "uCommonUtils.h"
#include "uDispatcherThread.h"
#include "uLogThread.h"

std::string JailFolder() { return GetDataFolder() + "jail"; }

void JailFile(const std::string& path)
{
    if (!FileExists(path)) return;
    const std::string jail = JailFolder();
    for (const std::string& folder : {GetDataFolder(), jail}) {
        if (DirectoryExists(folder)) continue;
        const TOwnFolderResult made = TakeOwnFolder(folder);
        if (!made.Note.empty()) WriteServiceLog("карантин: " + made.Note);
        if (!made.Usable) return;
    }
    if (IsKnownGoodFile(path)) return;
    // The file's folder and the jail are held while the file moves, and the
    // file itself must be plain: a link or junction on either side would
    // have the service take or put a file where the user could not.
    const std::string target = jail + "\\" + GetTimeStamp() + ExtractFileName(path) + ".zlo";
    std::string why;
    if (!MoveFileHeld(path, target, why)) {
        WriteServiceLog("файл не перемещён в карантин: " + why);
        return;
    }
    WriteServiceLog(target);
    RecordEvent(evkJail, evmMovedToJail, target, "", GetReadableFileMD5(target));
}
