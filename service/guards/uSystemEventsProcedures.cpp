#include "uSystemEventsProcedures.h"

#include "uAutorunProcedures.h"
#include "uChangeFilesProcedures.h"
#include "uHostsProcedures.h"
#include "uReportEvent.h"
#include "uWinLogonProcedures.h"

void OnWinlogonChanged(TRegEngine&) { RepairWinlogon(); }
void OnIfeoChanged(TRegEngine&) { RepairImageFileOptions(); }
void OnMachinePolicyChanged(TRegEngine&) { RepairSystemPolicies(); }
void OnAppInitChanged(TRegEngine& ref) { CheckAppInitDlls(ref); }
void OnMachineRunChanged(TRegEngine& ref) { CheckRunKey(evkRun, ref, false); }
void OnMachineRun64Changed(TRegEngine& ref) { CheckRunKey(evkRun64, ref, true); }
void OnMachineRunOnce64Changed(TRegEngine& ref) { CheckRunKey(evkRunOnce64, ref, true); }
void OnMachineRunOnceEx64Changed(TRegEngine& ref) { CheckRunKey(evkRunOnceEx64, ref, true); }
void OnMachineRunOnceChanged(TRegEngine& ref) { CheckRunKey(evkRunOnce, ref, false); }
void OnMachineRunOnceExChanged(TRegEngine& ref) { CheckRunKey(evkRunOnceEx, ref, false); }
void OnMachinePoliciesRunChanged(TRegEngine& ref) { CheckRunKey(evkPoliciesExplorerRun, ref, false); }
void OnCommonStartupChanged(const std::string& folder) { CheckStartupFolder(evkCommonStartup, folder); }
void OnSystemFolderChanged(const std::string&) { CheckProtectedFilesDelayed(); }
void OnDllcacheChanged(const std::string&) {}
void OnHostsChanged(const std::string& folder) { OnHostsFolderChanged(folder); }
