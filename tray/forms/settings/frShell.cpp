#include "frShell.h"

TfrmShell::TfrmShell(gui::TContainer& host) : TSwitchPage(host)
{
    constexpr int kMachineRows = 7;
    gbAllWinlogon = AddGroup(*Body, "shl_gball", 8, kMachineRows);
    gbShellUser = AddGroup(*Body, "shl_gbuser", 16 + GroupHeight(kMachineRows), 3);
    // In the order the load reads them.
    cbUShell = AddSwitch(*gbShellUser, 1, "shl_cbushell", "User_shell");
    cbUserinit = AddSwitch(*gbAllWinlogon, 2, "shl_cbuserinit", "All_userinit");
    cbUPoliceShell = AddSwitch(*gbShellUser, 2, "shl_cbpolushell", "User_PoliceShell");
    cbTaskman = AddSwitch(*gbAllWinlogon, 3, "shl_cbtaskman", "All_taskman");
    cbShell = AddSwitch(*gbAllWinlogon, 1, "shl_cbshell", "All_shell");
    cbParazite = AddSwitch(*gbAllWinlogon, 6, "shl_cbparazite", "All_parazite");
    cbMessage = AddSwitch(*gbAllWinlogon, 5, "shl_cbmessage", "All_message");
    cbLoad = AddSwitch(*gbShellUser, 3, "shl_cbload", "User_load");
    cbGina = AddSwitch(*gbAllWinlogon, 4, "shl_cbgina", "All_gina");
    cbPolicesShell = AddSwitch(*gbAllWinlogon, 7, "shl_cbpolshell", "All_polices_shell");
}

void RegisterShellPage()
{
    RegisterSettingsPage(kPageShell, [](gui::TContainer& host) { return host.Make<TfrmShell>(); });
}
