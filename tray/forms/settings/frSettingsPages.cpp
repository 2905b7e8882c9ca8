// The one list of settings page units: each registers its page here.
#include "frAbout.h"
#include "frAdmin.h"
#include "frAutoruns.h"
#include "frChangeFile.h"
#include "frInet.h"
#include "frLocalization.h"
#include "frSettingsPage.h"
#include "frShell.h"
#include "frUpdate.h"

void RegisterSettingsPages()
{
    RegisterShellPage();
    RegisterAdminPage();
    RegisterAutorunPage();
    RegisterChangeFilePage();
    RegisterAboutPage();
    RegisterUpdatePage();
    RegisterLocalPage();
    RegisterInetPage();
}
