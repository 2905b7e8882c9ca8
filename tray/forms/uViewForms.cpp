#include "uViewForms.h"

#include "fmBrowser.h"
#include "fmSplash.h"
#include "fmStatus.h"

void RegisterViewForms()
{
    RegisterStatusForm();
    RegisterSplashForm();
    RegisterBrowserForm();
}
