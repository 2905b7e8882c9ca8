#include "uViewForms.h"

#include "fmBrowser.h"
#include "fmSplash.h"

void RegisterViewForms()
{
    RegisterSplashForm();
    RegisterBrowserForm();
}
