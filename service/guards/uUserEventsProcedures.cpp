#include "uUserEventsProcedures.h"

#include "uAutorunProcedures.h"
#include "uDispatcherThread.h"
#include "uLogThread.h"
#include "uReportEvent.h"
#include "uWinLogonProcedures.h"

namespace {

// The guards never write through a link, so a user's guarded key made one
// would keep every entry its target holds from being repaired, and run them
// at the next logon. The link itself goes (its target stays as it is); the
// guard then examines the name as the plain key, perhaps missing, it is now.
void RemoveKeyLink(int32_t kind, TRegEngine& ref)
{
    std::string target;
    switch (RemoveUserKeyLink(ref, target)) {
    case TLinkRemoval::NotALink: return;
    case TLinkRemoval::Removed:
        WriteServiceLog("раздел пользователя был ссылкой на " + target + ", ссылка удалена: " + ref.Key);
        RecordEvent(kind, evmDelete, ref.Key, target);
        return;
    case TLinkRemoval::Failed:
        WriteServiceLog("раздел пользователя - ссылка на " + target + ", удалить её не удалось (" + RegErrorText(ref) +
                        "): " + ref.Key);
        return;
    }
}

}  // namespace

void OnUserWinlogonChanged(TRegEngine& ref)
{
    RemoveKeyLink(evkUserWinlogonShell, ref);
    RepairUserShell(evkUserWinlogonShell, ref);
}

void OnUserPoliciesRunChanged(TRegEngine& ref)
{
    RemoveKeyLink(evkUserPoliciesRun, ref);
    CheckRunKey(evkUserPoliciesRun, ref, RegView::Default);
}

void OnUserRunChanged(TRegEngine& ref)
{
    RemoveKeyLink(evkUserRun, ref);
    CheckRunKey(evkUserRun, ref, RegView::Default);
}

void OnUserRunOnceChanged(TRegEngine& ref)
{
    RemoveKeyLink(evkUserRunOnce, ref);
    CheckRunKey(evkUserRunOnce, ref, RegView::Default);
}

void OnUserPoliciesSystemChanged(TRegEngine& ref)
{
    RemoveKeyLink(evkUserPoliciesShell, ref);
    RepairUserShell(evkUserPoliciesShell, ref);
    RepairUserPolicies(ref);
}

void OnUserWindowsChanged(TRegEngine& ref)
{
    RemoveKeyLink(evkUserRunValue, ref);
    TRegEngine load = ref;
    load.Value = "load";
    CheckUserLoadRun(load);
    TRegEngine run = ref;
    run.Value = "run";
    CheckUserLoadRun(run);
}

void OnUserStartupChanged(const std::string& sid, const std::string& folder)
{
    CheckStartupFolder(evkUserStartup, folder, sid);
}
