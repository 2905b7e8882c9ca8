#include "uSystemEventsProcedures.h"

#include "uAutorunProcedures.h"
#include "uChangeFilesProcedures.h"
#include "uHostsProcedures.h"
#include "uReportEvent.h"
#include "uWinLogonProcedures.h"

void OnWinlogonChanged(TRegEngine&) { RepairWinlogon(RegView::Default); }
void OnWinlogon64Changed(TRegEngine&) { RepairWinlogon(RegView::Key64); }
void OnIfeoChanged(TRegEngine&) { RepairImageFileOptions(); }
void OnMachinePolicyChanged(TRegEngine&) { RepairSystemPolicies(); }
void OnAppInitChanged(TRegEngine& ref) { CheckAppInitDlls(ref, RegView::Default); }
void OnAppInit64Changed(TRegEngine& ref) { CheckAppInitDlls(ref, RegView::Key64); }
void OnMachineRunChanged(TRegEngine& ref) { CheckRunKey(evkRun, ref, RegView::Default); }
void OnMachineRun64Changed(TRegEngine& ref) { CheckRunKey(evkRun64, ref, RegView::Key64); }
void OnMachineRunOnce64Changed(TRegEngine& ref) { CheckRunKey(evkRunOnce64, ref, RegView::Key64); }
void OnMachineRunOnceEx64Changed(TRegEngine& ref) { CheckRunKey(evkRunOnceEx64, ref, RegView::Key64); }
void OnMachineRunOnceChanged(TRegEngine& ref) { CheckRunKey(evkRunOnce, ref, RegView::Default); }
void OnMachineRunOnceExChanged(TRegEngine& ref) { CheckRunKey(evkRunOnceEx, ref, RegView::Default); }
void OnMachinePoliciesRunChanged(TRegEngine& ref) { CheckRunKey(evkPoliciesExplorerRun, ref, RegView::Default); }
void OnCommonStartupChanged(const std::string& folder) { CheckStartupFolder(evkCommonStartup, folder); }
void OnSystemFolderChanged(const std::string&) { CheckProtectedFilesDelayed(); }
void OnDllcacheChanged(const std::string&) {}
void OnHostsChanged(const std::string& folder) { OnHostsFolderChanged(folder); }
