#include "uUserEventsProcedures.h"

#include "uAutorunProcedures.h"
#include "uReportEvent.h"
#include "uWinLogonProcedures.h"

void OnUserWinlogonChanged(TRegEngine& ref) { RepairUserShell(evkUserWinlogonShell, ref); }
void OnUserPoliciesRunChanged(TRegEngine& ref) { CheckRunKey(evkUserPoliciesRun, ref, RegView::Default); }
void OnUserRunChanged(TRegEngine& ref) { CheckRunKey(evkUserRun, ref, RegView::Default); }
void OnUserRunOnceChanged(TRegEngine& ref) { CheckRunKey(evkUserRunOnce, ref, RegView::Default); }

void OnUserPoliciesSystemChanged(TRegEngine& ref)
{
    RepairUserShell(evkUserPoliciesShell, ref);
    RepairUserPolicies(ref);
}

void OnUserWindowsChanged(TRegEngine& ref)
{
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
