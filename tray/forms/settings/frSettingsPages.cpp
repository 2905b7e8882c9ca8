// The one list of settings page units: each registers its page here.
#include "frAdmin.h"
#include "frAutoruns.h"
#include "frChangeFile.h"
#include "frSettingsPage.h"
#include "frShell.h"

void RegisterSettingsPages()
{
    RegisterShellPage();
    RegisterAdminPage();
    RegisterAutorunPage();
    RegisterChangeFilePage();
}
