#include "uImpersonation.h"

#include <windows.h>

#include <mutex>
#include <utility>

#include "qvHandles.h"
#include "qvStrings.h"
#include "uLogThread.h"
#include "uRunFileFromSrv.h"

namespace {

bool ImpersonateConsoleUser()
{
    UniqueHandle token;
    if (!QueryConsoleUserToken(token)) {
        WriteServiceLog("нет пользователя консоли, от имени которого работать с файлом");
        return false;
    }
    if (!ImpersonateLoggedOnUser(token.Get())) {
        WriteServiceLog("не удалось действовать от имени пользователя консоли (ошибка " + IntToStr(GetLastError()) +
                        ")");
        return false;
    }
    return true;
}

void RevertToService()
{
    // A thread left as the user would do the service's own work with the
    // user's rights: that must show in the log.
    if (!RevertToSelf()) WriteServiceLog("возврат к правам службы не удался (ошибка " + IntToStr(GetLastError()) + ")");
}

std::mutex gSeamsLock;
TImpersonationSeams gSeams;

TImpersonationSeams CurrentSeams()
{
    std::lock_guard<std::mutex> guard(gSeamsLock);
    TImpersonationSeams seams = gSeams;
    if (!seams.Impersonate) seams.Impersonate = ImpersonateConsoleUser;
    if (!seams.Revert) seams.Revert = RevertToService;
    return seams;
}

}  // namespace

void SetImpersonationSeams(TImpersonationSeams seams)
{
    std::lock_guard<std::mutex> guard(gSeamsLock);
    gSeams = std::move(seams);
}

ConsoleUserImpersonation::ConsoleUserImpersonation()
{
    TImpersonationSeams seams = CurrentSeams();
    revert_ = std::move(seams.Revert);
    active_ = seams.Impersonate();
}

ConsoleUserImpersonation::~ConsoleUserImpersonation()
{
    if (active_) revert_();
}
