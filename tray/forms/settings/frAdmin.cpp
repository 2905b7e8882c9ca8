#include "frAdmin.h"

TfAdmin::TfAdmin(gui::TContainer& host) : TSwitchPage(host)
{
    gbAdminMain = AddGroup(*Body, nullptr, 8, 2);
    cbTaskman = AddSwitch(*gbAdminMain, 1, "adm_taskmgr", "Polices_Taskmgr");
    cbRegedit = AddSwitch(*gbAdminMain, 2, "adm_regedit", "Polices_Regedit");
}

void RegisterAdminPage()
{
    RegisterSettingsPage(kPageAdmin, [](gui::TContainer& host) { return host.Make<TfAdmin>(); });
}
