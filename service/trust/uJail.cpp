#include "uJail.h"

#include "Trust.h"
#include "md5.h"
#include "qvFiles.h"
#include "qvHandles.h"
#include "uCommonUtils.h"
#include "uDispatcherThread.h"
#include "uLogThread.h"

std::string JailFolder() { return GetDataFolder() + "jail"; }

void JailFile(const std::string& path)
{
    if (!FileExists(path)) return;
    const std::string jail = JailFolder();
    WriteServiceLog(jail);
    if (!DirectoryExists(jail) && !ForceDirectories(jail)) return;
    if (IsKnownGoodFile(path)) return;
    // Neither the file nor the jail may be reached through a link: the move
    // would take or put a file where the link points.
    UniqueHandle jailHandle = OpenPlainFolder(jail);
    if (!jailHandle || !HasNoLinkOnTheWay(path)) {
        WriteServiceLog("файл не перемещён в карантин, на пути ссылка: " + path);
        return;
    }
    const std::string target = jail + "\\" + GetTimeStamp() + ExtractFileName(path) + ".zlo";
    WriteServiceLog(target);
    if (!RenameFile(path, target)) return;
    RecordEvent(evkJail, evmMovedToJail, target, "", GetReadableFileMD5(target));
    if (FileExists(path)) RemoveFile(path);
}
